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

// An RGB PNG of a picture of width x height pixels 0xRRGGBB, row by row (a
// window grab, a difference image). False on error.
bool write_rgb_png(int width, int height, const std::vector<uint32_t>& pixels,
                   const std::string& path);
// Reads an RGB PNG written by write_rgb_png back into 0xRRGGBB pixels.
bool read_rgb_png(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels);

// Where the tests leave files for a person to look at: file_name in
// TEST_OUTPUT_DIR when that is set, else in the build's test-output folder
// (created when missing).
std::string test_output_path(const std::string& file_name);

}  // namespace ws
