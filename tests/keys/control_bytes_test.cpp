// The control bytes in printed text: which of the 255 non-zero bytes print
// nothing and leave the cursor where it was (the number input refuses the
// same bytes as typed keys).
#include <gtest/gtest.h>

#include <string>

#include "screen/text.h"
#include "support/headless.h"

namespace ws::test {
namespace {

TEST(ControlBytes, OnlyBellTabTheLineBytesEnterAnd28To31PrintNothing) {
  std::string silent;
  for (int b = 1; b < 256; ++b) {
    Headless h;
    set_screen_mode(h.rt, 12);
    locate_cursor(h.rt, 3, 5);
    const char text[] = {'A', static_cast<char>(b), 'B'};
    print_string(h.rt, std::string_view(text, sizeof text), 0);
    const ScreenPage& page = h.page();
    ASSERT_EQ(page.cursor_row, 3) << b;
    if (page.cursor_col == 7) {
      // 'B' stands right after 'A'.
      EXPECT_EQ(row_text(page, 3, 5, 7), "AB ") << b;
      silent += std::to_string(b) + " ";
    } else {
      EXPECT_EQ(page.cursor_col, 8) << b;
    }
  }
  EXPECT_EQ(silent, "7 9 10 11 12 13 28 29 30 31 ");
}

}  // namespace
}  // namespace ws::test
