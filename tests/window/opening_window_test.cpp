// The real program under Xvfb: typing 24 and 4 shows the prompts, the typed
// numbers and the three derived values on row 3, and the first number table
// grows by one number per second.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "support/xvfb.h"

namespace ws::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kProgram = WS_BINARY_DIR "/winding-scheme";

TEST(OpeningWindow, TypedNumbersGiveRow3AndTheTableGrowsStepByStep) {
  XServer x;
  ASSERT_TRUE(x.ok()) << x.error();
  Program p(x, kProgram);
  ASSERT_TRUE(p.started());
  const auto w = x.wait_for_page_window(p);
  ASSERT_TRUE(w) << "no 640 x 480 window; " << p.stderr_text();
  ASSERT_TRUE(x.grab_page_until(*w, [](const RgbImage& img) {
    return grab_text(img, 3).substr(6, 3) == " Z=";
  }, 10000)) << "no prompt; " << p.stderr_text();

  ASSERT_TRUE(x.send_keys(*w, {"2", "4", "Return", "4", "Return"}));
  const auto values = x.grab_page_until(
      *w, [](const RgbImage& img) { return grab_cell(img, 3, 73) == '2'; }, 10000);
  ASSERT_TRUE(values) << "row 3 never showed the value after \" m = \"";
  std::string row3(80, ' ');
  for (auto [col, text] : {std::pair<int, std::string>{7, " Z=24"}, {22, " p'=4"},
                           {37, " y1=   6 "}, {52, " z= 6 "}, {67, " m =  2 "}})
    row3.replace(col - 1, text.size(), text);
  EXPECT_EQ(grab_text(*values, 3), row3);
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
  const auto first = x.grab_page_until(*w, [](const RgbImage& img) {
    return grab_cell(img, 7, 13) != ' ';
  }, 5000);
  const auto t1 = Clock::now();
  ASSERT_TRUE(first);
  int colour;
  EXPECT_EQ(grab_cell(*first, 7, 13, &colour), '1');
  EXPECT_EQ(colour, 15);
  EXPECT_EQ(grab_cell(*first, 10, 13), ' ');
  const auto second = x.grab_page_until(*w, [](const RgbImage& img) {
    return grab_cell(img, 10, 13) != ' ';
  }, 5000);
  const auto t2 = Clock::now();
  ASSERT_TRUE(second);
  EXPECT_EQ(grab_cell(*second, 10, 13, &colour), '2');
  EXPECT_EQ(colour, 15);
  EXPECT_EQ(grab_cell(*second, 16, 13), ' ');
  const auto step_ms = std::chrono::duration_cast<std::chrono::milliseconds>(t2 - t1).count();
  // Steps a second apart; the grabs' own latency only shortens the interval
  // seen, so this holds under load too.
  EXPECT_GT(step_ms, 400);

  ASSERT_TRUE(x.request_close(*w));
  EXPECT_EQ(p.wait_exit(5000), 0) << p.stderr_text();
}

}  // namespace
}  // namespace ws::test
