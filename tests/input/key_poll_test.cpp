#include "screen/key_poll.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "screen/errors.h"
#include "support/headless.h"

namespace ws::test {
namespace {

using namespace std::string_literals;

// Runs fn as the program thread of a headless run (the harness's clock and
// stop handling need it), expecting it to return.
void run_returning(Headless& h, const std::function<void(Runtime&)>& fn) {
  ASSERT_EQ(h.run(fn), RunEnd::Returned);
}

TEST(PollKey, TurnsPairsIntoKeyTextsOldestFirst) {
  Headless h;
  const struct {
    KeyPair pair;
    std::string text;
  } cases[] = {
      {{'A', 0x1E}, "A"},        // a character key: its character, scan code dropped
      {{0xC8, 0x05}, "\xC8"s},   // any non-zero character code
      {{0, 0}, "\0"s},           // both 0: the single byte 0
      {{0, 0x4B}, "\0\x4B"s},    // an extended key: 0 and the scan code
      {{0x1F, 0x0C}, "\x1F"s},
  };
  for (const auto& c : cases) ASSERT_TRUE(h.rt.keyboard.ring.push(c.pair));
  h.clock.record_sleeps = true;
  run_returning(h, [&](Runtime& rt) {
    for (const auto& c : cases) EXPECT_EQ(poll_key(rt), c.text);
    EXPECT_EQ(poll_key(rt), "");
  });
  // Every poll yields the processor once, with or without a key.
  EXPECT_EQ(h.clock.sleeps, std::vector<int64_t>(std::size(cases) + 1, 0));
}

TEST(PollKey, KeepsOrderAcrossTheEndOfTheRing) {
  Headless h;
  std::string taken;
  run_returning(h, [&](Runtime& rt) {
    for (int round = 0; round < 3; ++round) {
      for (uint8_t c = 'a'; c < 'a' + 11; ++c) ASSERT_TRUE(rt.keyboard.ring.push({c, 0}));
      for (std::string key; !(key = poll_key(rt)).empty();) taken += key;
    }
  });
  EXPECT_EQ(taken, "abcdefghijkabcdefghijkabcdefghijk");
}

TEST(PollKey, WithAnErrorPendingTakesNoKeyAndDoesNotYield) {
  Headless h;
  h.rt.keyboard.ring.push({'x', 0});
  h.rt.state.error.pending_error = 5;
  h.clock.record_sleeps = true;
  EXPECT_EQ(poll_key(h.rt), "");
  EXPECT_TRUE(h.clock.sleeps.empty());
  EXPECT_EQ(h.rt.keyboard.ring.size(), 1);
}

TEST(CharToString, GivesOneByteForEveryCodeAndRefusesOthers) {
  const struct {
    int32_t code;
    std::string text;
    uint32_t error;
  } cases[] = {
      {0, "\0"s, 0}, {43, "+", 0}, {45, "-", 0}, {255, "\xFF"s, 0},
      {256, "", 5},  {-1, "", 5},  {INT32_MIN, "", 5},
  };
  for (const auto& c : cases) {
    Headless h;
    EXPECT_EQ(char_to_string(h.rt, c.code), c.text) << c.code;
    EXPECT_EQ(h.rt.state.error.pending_error, c.error) << c.code;
  }
}

TEST(StringsEqual, SameLengthAndSameBytes) {
  EXPECT_EQ(strings_equal("", ""), -1);
  EXPECT_EQ(strings_equal("-", "-"), -1);
  EXPECT_EQ(strings_equal("\0\x4B"s, "\0\x4B"s), -1);
  EXPECT_EQ(strings_equal("-", "+"), 0);
  EXPECT_EQ(strings_equal("-", "--"), 0);
  EXPECT_EQ(strings_equal("\0"s, ""), 0);
}

// The pause against the virtual clock: every sleep it asks for, in order.
struct PauseCase {
  const char* name;
  double seconds;
  std::vector<int64_t> sleeps;
  uint32_t error;
};

TEST(DelaySeconds, SleepsInNineMillisecondSlicesThenTheRemainder) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const PauseCase cases[] = {
      {"50 ms", 0.05, {9, 9, 9, 9, 9, 5}, 0},
      {"9 ms: the remainder alone", 0.009, {9}, 0},
      {"10 ms: one slice and 1 ms", 0.010, {9, 1}, 0},
      {"18.5 ms: remainders truncated", 0.0185, {9, 9}, 0},
      {"0 s does not sleep", 0.0, {}, 0},
      {"-0 s does not sleep", -0.0, {}, 0},
      {"0.0005 s sleeps 1 ms", 0.0005, {1}, 0},
      {"not a number passes the checks and does not sleep", nan, {}, 0},
      {"negative", -0.001, {}, 5},
      {"past 2^31 - 1 ms", 2147483.648, {}, 5},
      {"infinity", std::numeric_limits<double>::infinity(), {}, 5},
  };
  for (const PauseCase& c : cases) {
    Headless h;
    h.clock.now_us = 400;  // the pause need not start on a millisecond
    h.clock.record_sleeps = true;
    run_returning(h, [&](Runtime& rt) { delay_seconds(rt, c.seconds); });
    EXPECT_EQ(h.clock.sleeps, c.sleeps) << c.name;
    EXPECT_EQ(h.rt.state.error.pending_error, c.error) << c.name;
  }
}

TEST(DelaySeconds, WithAnErrorPendingReturnsAtOnce) {
  Headless h;
  h.rt.state.error.pending_error = 6;
  h.clock.record_sleeps = true;
  run_returning(h, [](Runtime& rt) {
    delay_seconds(rt, -1.0);  // not even checked
    delay_seconds(rt, 1.0);
  });
  EXPECT_TRUE(h.clock.sleeps.empty());
  EXPECT_EQ(h.rt.state.error.pending_error, 6u);
}

TEST(DelaySeconds, EverySliceEndsInTheStatementEndHandler) {
  Headless h;
  // Flag an event at every sleep and note whether the handler has cleared
  // the flag of the sleep before.
  std::vector<int> cleared;
  auto advance = h.clock.on_advance;
  h.clock.on_advance = [&] {
    cleared.push_back(h.rt.state.event_pending.load() == 0);
    h.rt.state.event_pending.store(1);
    advance();
  };
  h.clock.record_sleeps = true;
  run_returning(h, [](Runtime& rt) { delay_seconds(rt, 0.05); });
  ASSERT_EQ(h.clock.sleeps, (std::vector<int64_t>{9, 9, 9, 9, 9, 5}));
  EXPECT_EQ(std::vector<int>(cleared.begin() + 1, cleared.end()), std::vector<int>(5, 1));
  EXPECT_EQ(h.rt.state.event_pending.load(), 1) << "no handler call after the last sleep";
}

TEST(DelaySeconds, TimeHeldByPauseCountsTowardThePause) {
  Headless h;
  h.rt.state.pause_requested.store(1);
  h.at(100, [&] { h.rt.state.pause_requested.store(0); });
  h.clock.record_sleeps = true;
  run_returning(h, [](Runtime& rt) { delay_seconds(rt, 0.02); });
  // One slice, then the handler holds in 10 ms steps until the release; the
  // 20 ms have passed by then.
  std::vector<int64_t> expected{9};
  expected.insert(expected.end(), 10, 10);
  EXPECT_EQ(h.clock.sleeps, expected);
}

TEST(DelaySeconds, KeepsCountingWhenTheClockWraps) {
  Headless h;
  // The 32-bit count wraps 20 ms into the pause: the slice in which it
  // wrapped is lost, the rest counts on.
  h.clock.raw_offset_ms = (int64_t{1} << 31) - 20;
  h.clock.record_sleeps = true;
  run_returning(h, [](Runtime& rt) { delay_seconds(rt, 0.05); });
  EXPECT_EQ(h.clock.sleeps, (std::vector<int64_t>{9, 9, 9, 9, 9, 9, 5}));
  EXPECT_LT(ticks_ms(h.rt), 0);
}

TEST(DelaySeconds, StopRequestEndsALongPauseWithinOneSlice) {
  Headless h;
  h.close_at(1000);
  const RunEnd end = h.run([](Runtime& rt) { delay_seconds(rt, 2147483.647); });
  EXPECT_EQ(end, RunEnd::Parked);
  EXPECT_EQ(h.rt.state.error.pending_error, 0u) << "the longest pause is allowed";
  EXPECT_LE(h.now_ms(), 1000 + 9);
}

}  // namespace
}  // namespace ws::test
