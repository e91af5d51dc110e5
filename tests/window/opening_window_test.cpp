// The real program under Xvfb: typing 24 and 4 shows the prompts, the typed
// numbers and the three derived values on row 3, and the first number table
// grows by one number per second.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "support/xvfb_suite.h"

namespace ws::test {
namespace {

using Clock = std::chrono::steady_clock;

// A step of the table is a second; none is this short.
constexpr auto kMinStep = std::chrono::milliseconds(400);

long long ms(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Grabs of the page, each with the span of time in which it was taken, so
// that a change seen in them can be placed in time however slow the grabs.
class PageWatch {
 public:
  PageWatch(XServer& x, WindowId w) : x_(x), w_(w) {}

  struct Sighting {
    RgbImage img;  // the first grab that satisfied the condition
    // The change came before that grab ended and, when an earlier grab did
    // not satisfy the condition, after the last such grab began.
    Clock::time_point before;
    std::optional<Clock::time_point> after;
  };

  // Grabs until a grab satisfies pred; the latest grab is looked at first.
  std::optional<Sighting> until(const std::function<bool(const RgbImage&)>& pred) {
    std::optional<Clock::time_point> after;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    for (int n = 0;; ++n) {
      if (last_) {
        if (pred(last_->img)) return Sighting{last_->img, last_->ended, after};
        after = last_->began;
      }
      if (Clock::now() >= deadline) return std::nullopt;
      if (n > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      const auto began = Clock::now();
      auto img = x_.grab(w_);
      if (img && img->width == 640 && img->height == 480)
        last_ = Grab{std::move(*img), began, Clock::now()};
    }
  }

 private:
  struct Grab {
    RgbImage img;
    Clock::time_point began, ended;
  };
  XServer& x_;
  WindowId w_;
  std::optional<Grab> last_;
};

auto lit(int row, int col) {
  return [row, col](const RgbImage& img) { return grab_cell(img, row, col) != ' '; };
}

class OpeningWindow : public ProgramAtFirstPrompt {};

TEST_F(OpeningWindow, TypedNumbersGiveRow3AndTheTableGrowsStepByStep) {
  ASSERT_TRUE(x().send_keys(window(), {"2", "4", "Return", "4", "Return"}));
  PageWatch watch(x(), window());
  const auto values = watch.until([](const RgbImage& img) { return grab_cell(img, 3, 73) == '2'; });
  ASSERT_TRUE(values) << "row 3 never showed the value after \" m = \"";
  std::string row3(80, ' ');
  for (auto [col, text] : {std::pair<int, std::string>{7, " Z=24"}, {22, " p'=4"},
                           {37, " y1=   6 "}, {52, " z= 6 "}, {67, " m =  2 "}})
    row3.replace(col - 1, text.size(), text);
  EXPECT_EQ(grab_text(values->img, 3), row3);
  for (int col : {8, 9, 10, 11, 23, 24, 25, 26}) {
    int colour;
    grab_cell(values->img, 3, col, &colour);
    EXPECT_EQ(colour, 14) << "column " << col;
  }
  for (int col : {38, 39, 40, 44, 53, 54, 56, 68, 70, 73}) {
    int colour;
    grab_cell(values->img, 3, col, &colour);
    EXPECT_EQ(colour, 11) << "column " << col;
  }

  // The first column of the table, one number per step of a second: 1 on
  // row 7, then 2 on row 10, each in white; the third comes on row 16. A
  // grab taken within less than a step of a number's drawing cannot show the
  // next one yet; a slower grab proves nothing either way.
  auto within_a_step = [](const PageWatch::Sighting& s) {
    if (s.after && s.before - *s.after < kMinStep) return true;
    std::cout << "a grab too slow to tell whether the next number was there yet\n";
    return false;
  };
  const auto first = watch.until(lit(7, 13));
  ASSERT_TRUE(first);
  int colour;
  EXPECT_EQ(grab_cell(first->img, 7, 13, &colour), '1');
  EXPECT_EQ(colour, 15);
  if (within_a_step(*first)) {
    EXPECT_EQ(grab_cell(first->img, 10, 13), ' ');
  }
  const auto second = watch.until(lit(10, 13));
  ASSERT_TRUE(second);
  EXPECT_EQ(grab_cell(second->img, 10, 13, &colour), '2');
  EXPECT_EQ(colour, 15);
  if (within_a_step(*second)) {
    EXPECT_EQ(grab_cell(second->img, 16, 13), ' ');
  }
  // The grabs bound the time from 1 to 2: at most from the start of the
  // last grab without 1 to the end of the first with 2, at least from the
  // end of the first with 1 to the start of the last without 2. A slow
  // machine only widens the bounds, so the upper one is the check.
  if (first->after) {
    const long long at_most = ms(second->before - *first->after);
    EXPECT_GT(at_most, ms(kMinStep)) << "the second number came too soon after the first";
    const long long at_least = second->after ? ms(*second->after - first->before) : 0;
    RecordProperty("step_ms_at_least", std::to_string(at_least));
    RecordProperty("step_ms_at_most", std::to_string(at_most));
    std::cout << "table step seen: between " << at_least << " and " << at_most << " ms\n";
  } else {
    std::cout << "table step not measured: the first grab already showed the first number\n";
  }

  ASSERT_TRUE(x().request_close(window()));
  EXPECT_EQ(program().wait_exit(kPatienceMs), 0) << program().stderr_text();
}

}  // namespace
}  // namespace ws::test
