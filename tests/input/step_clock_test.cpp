// The animator's step clock block against the key poll and the pause.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/headless.h"
#include "winding/animator.h"

namespace ws::test {
namespace {

struct StepClockLines {
  int32_t poll, minus, plus, pause;
};

// The five copies of the block in the animator procedure.
constexpr StepClockLines kCopies[] = {
    {108, 109, 110, 112}, {134, 135, 136, 138}, {180, 181, 182, 184},
    {311, 312, 313, 315}, {429, 430, 431, 433},
};
constexpr StepClockLines kReturnHalf = kCopies[4];

struct StepRun {
  Headless h;
  Animator animator{h.rt};
  std::vector<int64_t> pauses_ms;  // the virtual time each step took
  RunEnd end = RunEnd::Returned;

  void steps(int count, float initial_delay, StepClockLines lines = kReturnHalf) {
    animator.step_delay = initial_delay;
    end = h.run([&](Runtime&) {
      for (int k = 0; k < count; ++k) {
        const int64_t before = h.clock.now_us;
        animator.step_clock(lines.poll, lines.minus, lines.plus, lines.pause);
        pauses_ms.push_back((h.clock.now_us - before) / 1000);
      }
    });
  }
  void queue(std::initializer_list<KeyPair> keys) {
    for (KeyPair k : keys) ASSERT_TRUE(h.rt.keyboard.ring.push(k));
  }
};

constexpr KeyPair kMinus{'-', 0x0C}, kPlus{'+', 0x0D};

TEST(StepClock, KeysChangeTheSameStepsPause) {
  const float tiny = std::numeric_limits<float>::denorm_min();
  const struct {
    const char* name;
    std::vector<KeyPair> keys;
    float initial;
    std::vector<int64_t> pauses;
    float final_delay;
  } cases[] = {
      {"no key", {}, 1, {1000}, 1},
      {"'-' doubles before the pause", {kMinus}, 1, {2000}, 2},
      {"'+' halves before the pause", {kPlus}, 1, {500}, 0.5f},
      {"another character is taken and dropped", {{'a', 0x1E}}, 1, {1000, 1000}, 1},
      {"Ctrl+'-' (31) is dropped", {{31, 0x0C}}, 1, {1000}, 1},
      {"Alt+'-', a two-byte key, is dropped", {{0, 0x82}}, 1, {1000, 1000}, 1},
      {"the pair (0, 0) is dropped", {{0, 0}}, 1, {1000}, 1},
      {"one key per step, oldest first", {kPlus, kMinus, {'x', 0}, kMinus}, 1,
       {500, 1000, 1000, 2000, 2000}, 2},
      {"the smallest delay sleeps 1 ms", {}, tiny, {1}, tiny},
      {"halving the smallest gives 0; 0 stays under '-'", {kPlus, kMinus}, tiny, {0, 0}, 0},
  };
  for (const auto& c : cases) {
    StepRun run;
    for (KeyPair k : c.keys) ASSERT_TRUE(run.h.rt.keyboard.ring.push(k));
    run.steps(static_cast<int>(c.pauses.size()), c.initial);
    EXPECT_EQ(run.end, RunEnd::Returned) << c.name;
    EXPECT_EQ(run.pauses_ms, c.pauses) << c.name;
    EXPECT_EQ(run.animator.step_delay.value(), c.final_delay) << c.name;
    EXPECT_EQ(run.h.rt.keyboard.ring.size(), 0) << c.name;
    EXPECT_TRUE(run.h.boxes.shown.empty()) << c.name;
  }
}

TEST(StepClock, KeysTypedDuringAPauseAreTakenOnePerStep) {
  StepRun run;
  run.h.type("+++++", 100, 50);  // through the key handling, during the first pause
  run.steps(7, 1);
  EXPECT_EQ(run.pauses_ms, (std::vector<int64_t>{1000, 500, 250, 125, 62, 31, 31}));
  EXPECT_EQ(run.animator.step_delay.value(), 1.0f / 32);
}

// From 1, the 22nd net '-' makes step_delay 4194304 s, past the longest
// pause: every pause line then reports error 5 and waits nothing, until a
// '+' halves it again before its step's pause.
TEST(StepClock, TooLongAPauseIsReportedWithTheCopysPauseLine) {
  for (const StepClockLines& lines : kCopies) {
    StepRun run;
    run.queue({kMinus, {'a', 0}, kPlus});
    run.h.close_at(60'000);  // ends the legal 2097152 s pause of the third step
    run.steps(3, 2097152.0f, lines);
    EXPECT_EQ(run.end, RunEnd::Parked);
    ASSERT_EQ(run.h.boxes.shown.size(), 2u) << lines.pause;
    for (const ShownBox& box : run.h.boxes.shown) {
      EXPECT_EQ(box.caption, "Unhandled Error #5");
      EXPECT_EQ(box.text, "Line:" + std::to_string(lines.pause) + "\nIllegal function call\nContinue?");
    }
    EXPECT_EQ(run.pauses_ms, (std::vector<int64_t>{0, 0})) << "the failed pauses wait nothing";
    EXPECT_EQ(run.animator.step_delay.value(), 2097152.0f);
    EXPECT_EQ(run.h.rt.state.error.pending_error, 0u) << "Yes clears the error";
  }
}

TEST(StepClock, DoublingPastTheRangeOfSingleGivesInfinityWhichHalvingKeeps) {
  StepRun run;
  run.queue({kMinus, kPlus});
  run.steps(2, std::ldexp(1.0f, 127));
  EXPECT_TRUE(std::isinf(run.animator.step_delay.value()));
  EXPECT_EQ(run.h.boxes.shown.size(), 2u);
}

}  // namespace
}  // namespace ws::test
