// Reading a text cell back from a picture of the page (the page itself in
// headless runs, a grab of the window under Xvfb): the cell's lit pixels
// matched against the page font.
#pragma once

#include <array>
#include <cstdint>

#include "screen/font.h"

namespace ws::test {

struct CellRead {
  // ' ' when no pixel is lit; '?' when the lit pixels are no printable glyph.
  char ch = ' ';
  // The colour number of the lit pixels: -1 when none is lit, -2 when they
  // differ or lie outside the palette.
  int colour = -1;
};

// The printable character whose glyph has exactly these rows (top row first,
// bit 7 the leftmost pixel); '?' when none has.
inline char match_glyph(const std::array<uint8_t, 16>& rows) {
  for (int g = 33; g < 127; ++g) {
    bool same = true;
    for (int y = 0; y < 16 && same; ++y) same = rows[y] == kPageFont[g][y];
    if (same) return static_cast<char>(g);
  }
  return '?';
}

// Reads the cell at text row `row`, column `col` (both from 1).
// colour_at(x, y) gives the colour number of the picture's pixel at (x, y):
// 0 is unlit, a negative number a lit pixel outside the palette.
template <class ColourAt>
CellRead read_cell(int row, int col, const ColourAt& colour_at) {
  std::array<uint8_t, 16> rows{};
  bool lit = false;
  int colour = -1;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int c = colour_at((col - 1) * 8 + x, (row - 1) * 16 + y);
      if (c == 0) continue;
      rows[y] |= static_cast<uint8_t>(0x80 >> x);
      if (c < 0 || (lit && c != colour))
        colour = -2;
      else
        colour = c;
      lit = true;
    }
  }
  if (!lit) return {};
  return {match_glyph(rows), colour};
}

}  // namespace ws::test
