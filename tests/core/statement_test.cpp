// The statement model: conversions, counted loops, conditionals and jumps, the
// pending-error rules and the statement-end handler, run headless.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <limits>
#include <vector>

#include "support/headless.h"
#include "winding/statement.h"

namespace ws::test {
namespace {

constexpr Real kInf = std::numeric_limits<Real>::infinity();
const Real kNaN = std::numeric_limits<Real>::quiet_NaN();

TEST(Conversions, Int16RoundsTiesToEvenWithinItsRange) {
  struct Case {
    double x;
    int32_t result;
    bool overflow;
  };
  const Case cases[] = {
      {2.5, 2, false},        {3.5, 4, false},          {-0.5, 0, false},
      {32766.5, 32766, false}, {32767.4, 32767, false}, {-32768.5, -32768, false},
      {32767.5, 0, true},     {-32768.6, 0, true},      {NAN, 0, true},
      {INFINITY, 0, true},    {-INFINITY, 0, true},     {7.4, 7, false},
  };
  for (const Case& c : cases) {
    Headless h;
    EXPECT_EQ(convert_to_int16(h.rt, c.x), c.result) << c.x;
    EXPECT_EQ(h.rt.state.error.pending_error, c.overflow ? 6u : 0u) << c.x;
  }
}

TEST(Conversions, Int64RoundsTiesToEvenAndGivesMinimumForTheUnrepresentable) {
  EXPECT_EQ(round_to_int64(2.5L), 2);
  EXPECT_EQ(round_to_int64(-1.5L), -2);
  EXPECT_EQ(round_to_int64(0.5L), 0);
  EXPECT_EQ(round_to_int64(1e18L), 1000000000000000000LL);
  EXPECT_EQ(round_to_int64(kNaN), INT64_MIN);
  EXPECT_EQ(round_to_int64(kInf), INT64_MIN);
  EXPECT_EQ(round_to_int64(-kInf), INT64_MIN);
  EXPECT_EQ(round_to_int64(1e19L), INT64_MIN);
  // The users take the low 32 bits: NaN gives a row, column or colour 0.
  EXPECT_EQ(low32(round_to_int64(kNaN)), 0);
  EXPECT_EQ(low32(round_to_int64(4294967297.0L)), 1);
}

TEST(Conversions, ArrayIndexOutsideTheArrayRaisesNineAndGivesZero) {
  Headless h;
  EXPECT_EQ(check_array_index(h.rt, 1000, 1001), 1000u);
  EXPECT_EQ(h.rt.state.error.pending_error, 0u);
  EXPECT_EQ(check_array_index(h.rt, 1001, 1001), 0u);
  EXPECT_EQ(h.rt.state.error.pending_error, 9u);
}

// A procedure of statements whose effects the tests record.
class Script : public Procedure {
 public:
  explicit Script(Runtime& rt) : Procedure(rt) {}
  Q v, limit, n;
  PointArray a{rt};
  std::vector<int> trail;  // lines whose actions ran, in order
  using Procedure::cint;
  using Procedure::end;
  using Procedure::enter;
  using Procedure::CountedLoop;
};

TEST(CountedLoops, LimitVariableAndReadBack) {
  struct Case {
    Real limit;
    std::vector<int> passes;
    float after;
  };
  const Case cases[] = {
      {0.5L, {}, 1.0f},
      {3.7L, {1, 2, 3}, 4.0f},
      {1.0L, {1}, 2.0f},
      {-3.0L, {}, 1.0f},
  };
  for (const Case& c : cases) {
    Headless h;
    Script s(h.rt);
    std::vector<int> passes;
    for (Script::CountedLoop loop(s, 105, s.v, c.limit); loop.test(); loop.next())
      passes.push_back(static_cast<int>(static_cast<Real>(s.v)));
    EXPECT_EQ(passes, c.passes) << static_cast<double>(c.limit);
    EXPECT_EQ(s.v.value(), c.after) << static_cast<double>(c.limit);
  }
}

TEST(CountedLoops, ABodyThatChangesItsVariableCarriesIntoTheNextPass) {
  Headless h;
  Script s(h.rt);
  const Real pole_count = 4;
  int passes = 0;
  for (Script::CountedLoop loop(s, 259, s.v, pole_count + 1); loop.test(); loop.next()) {
    ++passes;
    if (static_cast<Real>(s.v) == pole_count + 1) s.v = pole_count + 2;
  }
  EXPECT_EQ(passes, 5);
  EXPECT_EQ(s.v.value(), 7.0f);  // pole_count + 3
}

TEST(CountedLoops, AnInfiniteOrUndefinedLimitNeverEndsTheLoop) {
  for (Real limit : {kInf, kNaN}) {
    Headless h;
    Script s(h.rt);
    int passes = 0;
    const RunEnd end = h.run([&](Runtime& rt) {
      for (Script::CountedLoop loop(s, 107, s.v, limit); loop.test(); loop.next()) {
        if (++passes == 5000) {
          rt.state.stop_requested.store(1);
          rt.state.event_pending.store(1);
        }
      }
    });
    EXPECT_EQ(end, RunEnd::Parked);
    EXPECT_EQ(passes, 5000);
  }
}

TEST(Conditionals, APendingErrorMakesEveryConditionHoldAndStopsArrayStores) {
  Headless h;
  Script s(h.rt);
  s.a(3) = 7;
  EXPECT_FALSE(s.enter(10, false));
  raise_runtime_error(h.rt, 5);
  // The condition holds although it is false, and the handler runs first
  // (its report is answered Yes by default).
  EXPECT_TRUE(s.enter(11, false));
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.rt.state.error.pending_error, 0u);

  // An array read with a bad index raises 9 and reads element 0; a store in
  // the same statement then does nothing.
  EXPECT_EQ(static_cast<Real>(s.a(1001)), 0.0L);
  s.a(3) = 99;
  EXPECT_EQ(s.a.at(3), 7.0f);
  // Only the first error of a statement counts.
  raise_runtime_error(h.rt, 6);
  EXPECT_EQ(h.rt.state.error.pending_error, 9u);
  s.end(284);
  ASSERT_EQ(h.boxes.shown.size(), 2u);
  EXPECT_EQ(h.boxes.shown[1].caption, "Unhandled Error #9");
  EXPECT_EQ(h.boxes.shown[1].text, "Line:284\nSubscript out of range\nContinue?");
  s.a(3) = 99;
  EXPECT_EQ(s.a.at(3), 99.0f);
}

TEST(Conditionals, NaNComparesUnequalToEverything) {
  const Real nan = kNaN;
  EXPECT_FALSE(nan == 1);
  EXPECT_FALSE(nan < 1);
  EXPECT_FALSE(nan > 1);
  EXPECT_TRUE(nan != 1);
}

TEST(StatementEnd, ReportsWithTheStatementsLineAndGoesOnAfterYes) {
  Headless h;
  Script s(h.rt);
  const RunEnd end = h.run([&](Runtime&) {
    s.v = s.cint(40000);  // overflow: the store takes the 0
    s.end(40);
    s.trail.push_back(41);
  });
  EXPECT_EQ(end, RunEnd::Returned);
  EXPECT_EQ(s.v.value(), 0.0f);
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].caption, "Unhandled Error #6");
  EXPECT_EQ(h.boxes.shown[0].text, "Line:40\nOverflow\nContinue?");
  EXPECT_EQ(h.boxes.shown[0].kind, BoxKind::YesNo);
  EXPECT_EQ(s.trail, std::vector<int>{41});
}

TEST(StatementEnd, NoEndsTheProgramBeforeAnyFurtherStatement) {
  Headless h;
  h.boxes.answers = {BoxAnswer::No};
  Script s(h.rt);
  const RunEnd end = h.run([&](Runtime& rt) {
    raise_runtime_error(rt, 5);
    s.end(124);
    s.trail.push_back(125);
  });
  EXPECT_EQ(end, RunEnd::Parked);
  EXPECT_EQ(h.exit_code, 0);
  EXPECT_TRUE(s.trail.empty());
  EXPECT_EQ(h.rt.state.program_ended.load(), 1);
  EXPECT_EQ(h.rt.state.exit_handshake.load() & 1u, 1u);
}

TEST(StatementEnd, APauseHoldsBeforeTheErrorIsReported) {
  Headless h;
  Script s(h.rt);
  int64_t shown_at = -1;
  h.boxes.on_show = [&](const ShownBox&) { shown_at = h.now_ms(); };
  h.rt.state.pause_requested.store(1);
  h.rt.state.event_pending.store(1);
  h.at(500, [&] { h.rt.state.pause_requested.store(0); });
  h.run([&](Runtime& rt) {
    raise_runtime_error(rt, 5);
    s.end(124);
  });
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_GE(shown_at, 500);
  EXPECT_LT(shown_at, 520);
}

TEST(StatementEnd, AStopRequestParksEvenWhilePaused) {
  Headless h;
  Script s(h.rt);
  h.rt.state.pause_requested.store(1);
  h.rt.state.event_pending.store(1);
  h.close_at(1000);
  int statements = 0;
  const RunEnd end = h.run([&](Runtime&) {
    for (;;) {
      ++statements;
      s.end(7);
    }
  });
  EXPECT_EQ(end, RunEnd::Parked);
  EXPECT_EQ(statements, 1);
  EXPECT_LT(h.now_ms(), 1000 + 40);
}

TEST(StatementEnd, ARequestMadeWhileTheHandlerRunsIsSeenAtTheNextCheck) {
  Headless h;
  Script s(h.rt);
  // The box is answered while a pause request comes in: the handler has
  // already cleared the flag, so the request must survive for the next check.
  h.boxes.on_show = [&](const ShownBox&) {
    h.rt.state.pause_requested.store(1);
    h.rt.state.event_pending.store(1);
    h.at(h.now_ms() + 100, [&] { h.rt.state.pause_requested.store(0); });
  };
  h.run([&](Runtime& rt) {
    raise_runtime_error(rt, 5);
    s.end(1);
    s.end(2);
  });
  EXPECT_GE(h.now_ms(), 100);
}

TEST(CriticalErrors, ShowAnOkBoxAndEndTheProcessWithZero) {
  struct Case {
    int32_t n;
    const char* caption;
    const char* text;
  };
  const Case cases[] = {{11, "Critical Error", "Division by zero"},
                        {502, "Critical Error #2", "Out of memory"},
                        {507, "Critical Error #7", "Out of memory"},
                        {516, "Critical Error #16", "Out of memory"},
                        {517, "Critical Error #17", "Out of memory"},
                        {518, "Critical Error #18", "Out of memory"}};
  for (const Case& c : cases) {
    Headless h;
    const RunEnd end = h.run([&](Runtime& rt) { raise_runtime_error(rt, c.n); });
    EXPECT_EQ(end, RunEnd::ProcessEnded);
    EXPECT_EQ(h.exit_code, 0);
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].caption, c.caption);
    EXPECT_EQ(h.boxes.shown[0].text, c.text);
    EXPECT_EQ(h.boxes.shown[0].kind, BoxKind::Ok);
  }
}

TEST(CriticalErrors, NumbersBesideTheCriticalOnesArePendingErrors) {
  for (const int32_t n : {10, 12, 501, 519}) {
    Headless h;
    raise_runtime_error(h.rt, n);
    EXPECT_EQ(h.rt.state.error.pending_error, static_cast<uint32_t>(n));
    EXPECT_TRUE(h.boxes.shown.empty()) << n;
    EXPECT_STREQ(runtime_error_message(static_cast<uint32_t>(n)), "Unprintable error");
  }
}

TEST(ExtendedPrecision, ExpressionsAreEvaluatedWithASixtyFourBitSignificand) {
  set_extended_precision();
  // 1 + 2^-60 survives in the extended format but not in double.
  volatile Real one = 1;
  const Real tiny = std::ldexp(static_cast<Real>(1), -60);
  EXPECT_NE(one + tiny, one);
  // A store rounds to single precision once: 25 / 4 / 3.
  Q q;
  Q a, b;
  a = 25;
  b = 4;
  q = a / b / 3;
  EXPECT_EQ(q.value(), 2.0833333f);
}

}  // namespace
}  // namespace ws::test

namespace ws::test {
namespace {

// The stop protocol with real threads: the program thread runs statements
// while another thread plays the exit sequence (stop_requested, then
// event_pending) and waits for the park's acknowledgement.
TEST(StopProtocol, TheProgramThreadParksAtItsNextStatementEnd) {
  SteadyClock clock;
  ScriptedBoxes boxes;
  ThrowingProcess process;
  Runtime rt(clock, boxes, process);
  Script s(rt);
  std::atomic<bool> running{false};
  bool parked = false;
  std::thread program([&] {
    try {
      for (;;) {
        s.v = static_cast<Real>(s.v) + 1;
        s.end(1);
        running.store(true, std::memory_order_release);
      }
    } catch (const ProgramParked&) {
      parked = true;
    }
  });
  while (!running.load(std::memory_order_acquire)) std::this_thread::yield();
  rt.state.stop_requested.store(1, std::memory_order_seq_cst);
  rt.state.event_pending.store(1, std::memory_order_seq_cst);
  while ((rt.state.exit_handshake.load(std::memory_order_acquire) & 1u) == 0)
    std::this_thread::yield();
  program.join();
  EXPECT_TRUE(parked);
}

}  // namespace
}  // namespace ws::test
