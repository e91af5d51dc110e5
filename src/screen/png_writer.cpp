#include "screen/png_writer.h"

namespace ws {
bool write_page_png(const ScreenPage&, const std::string&) { return false; }
bool read_page_png(const std::string&, int&, int&, std::vector<uint8_t>&) { return false; }
}  // namespace ws
