// The real program under Xvfb: typing 24 and 4 shows the prompts, the typed
// numbers and the three derived values on row 3, and the first number table
// grows by one number per second.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "screen/font.h"
#include "support/xvfb.h"

namespace ws::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kProgram = WS_BINARY_DIR "/winding-scheme";

// A cell of a 640 x 480 grab read with the page font: lit pixels are those
// whose colour is not palette colour 0. ' ' for an unlit cell, '?' when no
// printable glyph matches; *colour gets the colour number of the lit pixels
// (-1 when unlit, -2 when they differ or lie outside the palette).
char grab_cell(const RgbImage& img, int row, int col, int* colour = nullptr) {
  uint8_t bits[16] = {};
  int ink = -1;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int c = palette_index(img.at((col - 1) * 8 + x, (row - 1) * 16 + y));
      if (c == 0) continue;
      bits[y] |= static_cast<uint8_t>(0x80 >> x);
      ink = (ink == -1 || ink == c) ? c : -2;
    }
  }
  if (colour) *colour = ink;
  if (ink == -1) return ' ';
  for (int g = 33; g < 127; ++g) {
    bool same = true;
    for (int y = 0; y < 16 && same; ++y) same = bits[y] == kPageFont[g][y];
    if (same) return static_cast<char>(g);
  }
  return '?';
}

std::string grab_row(const RgbImage& img, int row) {
  std::string s;
  for (int col = 1; col <= 80; ++col) s += grab_cell(img, row, col);
  return s;
}

// Grabs until pred holds for a 640 x 480 picture or timeout_ms passes.
template <class Pred>
std::optional<RgbImage> grab_until(XServer& x, WindowId w, int timeout_ms, Pred pred) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
  do {
    auto img = x.grab(w);
    if (img && img->width == 640 && img->height == 480 && pred(*img)) return img;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (Clock::now() < end);
  return std::nullopt;
}

TEST(OpeningWindow, TypedNumbersGiveRow3AndTheTableGrowsStepByStep) {
  XServer x;
  ASSERT_TRUE(x.ok()) << x.error();
  Program p(x, kProgram);
  ASSERT_TRUE(p.started());
  const auto w = x.wait_for_window_of(p, 10000);
  ASSERT_TRUE(w && x.wait_mapped(*w, 5000)) << p.stderr_text();
  ASSERT_TRUE(x.wait_client_size(*w, 640, 480, 10000));
  ASSERT_TRUE(grab_until(x, *w, 10000, [](const RgbImage& img) {
    return grab_row(img, 3).substr(6, 3) == " Z=";
  })) << "no prompt; " << p.stderr_text();

  ASSERT_TRUE(x.send_keys(*w, {"2", "4", "Return", "4", "Return"}));
  const auto values = grab_until(
      x, *w, 10000, [](const RgbImage& img) { return grab_cell(img, 3, 73) == '2'; });
  ASSERT_TRUE(values) << "row 3 never showed the value after \" m = \"";
  std::string row3(80, ' ');
  for (auto [col, text] : {std::pair<int, std::string>{7, " Z=24"}, {22, " p'=4"},
                           {37, " y1=   6 "}, {52, " z= 6 "}, {67, " m =  2 "}})
    row3.replace(col - 1, text.size(), text);
  EXPECT_EQ(grab_row(*values, 3), row3);
  for (int col : {8, 9, 10, 11, 23, 24, 25, 26}) {
    int colour;
    grab_cell(*values, 3, col, &colour);
    EXPECT_EQ(colour, 14) << "column " << col;
  }
  for (int col : {38, 39, 40, 44, 53, 54, 56, 68, 70, 73}) {
    int colour;
    grab_cell(*values, 3, col, &colour);
    EXPECT_EQ(colour, 11) << "column " << col;
  }

  // The first column of the table, one number per step of a second: 1 on
  // row 7, then 2 on row 10, each in white.
  const auto first = grab_until(x, *w, 5000, [](const RgbImage& img) {
    return grab_cell(img, 7, 13) != ' ';
  });
  const auto t1 = Clock::now();
  ASSERT_TRUE(first);
  int colour;
  EXPECT_EQ(grab_cell(*first, 7, 13, &colour), '1');
  EXPECT_EQ(colour, 15);
  EXPECT_EQ(grab_cell(*first, 10, 13), ' ');
  const auto second = grab_until(x, *w, 5000, [](const RgbImage& img) {
    return grab_cell(img, 10, 13) != ' ';
  });
  const auto t2 = Clock::now();
  ASSERT_TRUE(second);
  EXPECT_EQ(grab_cell(*second, 10, 13, &colour), '2');
  EXPECT_EQ(colour, 15);
  EXPECT_EQ(grab_cell(*second, 16, 13), ' ');
  const auto step_ms = std::chrono::duration_cast<std::chrono::milliseconds>(t2 - t1).count();
  EXPECT_GT(step_ms, 600);
  EXPECT_LT(step_ms, 1600);

  ASSERT_TRUE(x.request_close(*w));
  EXPECT_EQ(p.wait_exit(5000), 0) << p.stderr_text();
}

}  // namespace
}  // namespace ws::test
