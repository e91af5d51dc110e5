// The 8 x 16 page font: 256 glyphs with the shapes of code page 437, 16 rows
// per glyph, top row first, most significant bit the leftmost pixel.
#pragma once

#include <cstdint>

namespace ws {

extern const uint8_t kPageFont[256][16];

}  // namespace ws
