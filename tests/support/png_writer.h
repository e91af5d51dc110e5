// Debugging aid for tests and probes: writes a page (or an RGBA picture) to a
// PNG file and reads one back. Not part of the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ws {

class ScreenPage;

// A palette PNG of the page's pixels with the page's palette. False on error.
bool write_page_png(const ScreenPage& page, const std::string& path);
// Reads a palette PNG written by write_page_png back into colour numbers.
bool read_page_png(const std::string& path, int& width, int& height, std::vector<uint8_t>& pixels);

}  // namespace ws
