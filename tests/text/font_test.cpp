#include "screen/font.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace ws::test {
namespace {

struct TellingRows {
  uint8_t code;
  std::array<uint8_t, 16> rows;
};

// Rows of the VGA text-mode font by which the page font is recognised.
const TellingRows kTellingRows[] = {
    {0x20, {}},
    {0x31, {0x00, 0x00, 0x18, 0x38, 0x78, 0x18, 0x18, 0x18, 0x18, 0x18, 0x18, 0x7e, 0, 0, 0, 0}},
    {0x2E, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x18, 0x18, 0, 0, 0, 0}},
    {0x2D, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xfe, 0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0}},
    {0x45, {0x00, 0x00, 0xfe, 0x66, 0x62, 0x68, 0x78, 0x68, 0x60, 0x62, 0x66, 0xfe, 0, 0, 0, 0}},
    {0xDB, {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}},
};

TEST(PageFont, TellingRows) {
  for (const TellingRows& t : kTellingRows) {
    for (int r = 0; r < 16; ++r) {
      EXPECT_EQ(kPageFont[t.code][r], t.rows[r]) << "glyph 0x" << std::hex << int{t.code} << " row " << std::dec << r;
    }
  }
}

// The printable characters must be told apart: the test helpers read cells
// back by matching glyphs.
TEST(PageFont, PrintableGlyphsAreDistinct) {
  for (int a = 33; a < 127; ++a) {
    for (int b = a + 1; b < 127; ++b) {
      EXPECT_NE(std::to_array(kPageFont[a]), std::to_array(kPageFont[b])) << char(a) << " and " << char(b);
    }
  }
}

}  // namespace
}  // namespace ws::test
