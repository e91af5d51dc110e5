// The ends of the process, on real threads: the real program-thread work
// (run_program), the real frame-thread loop and exit sequence, with a
// virtual clock that both threads advance and a process end that throws.
// Every way to the end must end the process with exit code 0; a run that
// hangs is abandoned and fails, saying where it stood. Labelled threads:
// run under ThreadSanitizer as well.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "screen/display_lock.h"
#include "screen/end_prompt.h"
#include "screen/errors.h"
#include "screen/key_poll.h"
#include "screen/text.h"
#include "screen/threads.h"
#include "support/headless.h"
#include "winding/statement.h"

namespace ws::test {
namespace {

// Procedures written in statements, as the animator is.
class Statements : public Procedure {
 public:
  Statements(Runtime& rt, SharedVirtualClock& clock) : Procedure(rt), clock_(clock) {}

  // Statement after statement, none of which sleeps.
  [[noreturn]] void forever() {
    for (;;) {
      end(7);
      if (clock_.abandoned()) throw RunAbandoned{};
    }
  }
  // The wait for any key before the end prompt, then the prompt.
  void wait_then_end_prompt() {
    for (;;) {
      if (!poll_key(rt).empty()) break;
      end(510);
    }
    end_program(rt);
  }
  // A reported error answered No.
  void error_answered_no() {
    raise_runtime_error(rt, kIllegalFunctionCall);
    end(124);
    forever();
  }

 private:
  SharedVirtualClock& clock_;
};

// A program thread that never reaches a statement end again, as one held
// in the arithmetic-signal handler.
[[noreturn]] void held(Runtime& rt) {
  for (;;) rt.clock.sleep_ms(16);
}

// Real time one way to the end may take: its threads need milliseconds of
// it, and a run that takes longer has hung.
constexpr int kEndPatienceMs = 5000;

const char* lock_state_name(DisplayLockState s) {
  switch (s) {
    case DisplayLockState::Free: return "free";
    case DisplayLockState::Requested: return "requested";
    case DisplayLockState::Granted: return "granted";
  }
  return "?";
}

// Where a run that did not end stands: the flags of the way to the end.
std::string where_it_stands(ThreadedRun& run) {
  const RunState& s = run.rt.state;
  return std::string("close request ") + std::to_string(s.close_request.load()) +
         ", program ended " + std::to_string(s.program_ended.load()) + ", stop requested " +
         std::to_string(s.stop_requested.load()) + ", program parked " +
         ((s.exit_handshake.load() & kProgramParked) != 0 ? "yes" : "no") +
         ", display lock " + lock_state_name(run.rt.pages.display_lock().state());
}

// Polls until done() holds, for at most kEndPatienceMs of real time.
template <class Done>
bool wait_until(Done done) {
  const auto limit =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndPatienceMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= limit) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(ExitPaths, EveryWayToTheEndEndsTheProcessWithZero) {
  struct Case {
    const char* name;
    std::function<void(RunState&)> before;  // before either thread starts
    std::function<void(Runtime&, SharedVirtualClock&)> program;
    bool program_after_stop;  // the program thread starts once the stop is requested
    bool parks;
    std::vector<std::string> boxes;
  };
  const auto close = [](RunState& s) { s.close_request.fetch_or(1); };
  const auto statements = [](Runtime& rt, SharedVirtualClock& c) { Statements(rt, c).forever(); };
  const Case cases[] = {
      {"close while statements run", close, statements, false, true, {}},
      {"Ctrl+Break while statements run", [](RunState& s) { s.program_ended.store(1); },
       statements, false, true, {}},
      {"close while paused",
       [](RunState& s) {
         s.pause_requested.store(1);
         s.event_pending.store(1);
         s.close_request.fetch_or(1);
       },
       statements, false, true, {}},
      {"close at the wait before the end prompt", close,
       [](Runtime& rt, SharedVirtualClock& c) { Statements(rt, c).wait_then_end_prompt(); }, false,
       true, {}},
      {"No in an error report", [](RunState&) {},
       [](Runtime& rt, SharedVirtualClock& c) { Statements(rt, c).error_answered_no(); }, false,
       true, {"Unhandled Error #5"}},
      // The frame thread, busy with the exit sequence, grants no display
      // lock: the waiting screen-mode change parks on the stop.
      {"close while a screen-mode change waits for the display lock", close,
       [](Runtime& rt, SharedVirtualClock& c) {
         set_screen_mode(rt, 12);
         Statements(rt, c).forever();
       },
       true, true, {}},
      {"a critical signal while the program thread is held",
       [](RunState& s) { s.critical_signal.store(kDivisionByZero); },
       [](Runtime& rt, SharedVirtualClock&) { held(rt); }, false, false, {"Critical Error"}},
      // Both found in one pass: the close is taken first, and the exit
      // sequence must not wait for a thread held in the handler.
      {"close and a critical signal in one pass",
       [](RunState& s) {
         s.close_request.fetch_or(1);
         s.critical_signal.store(kDivisionByZero);
       },
       [](Runtime& rt, SharedVirtualClock&) { held(rt); }, false, false, {"Critical Error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ThreadedRun run;
    run.boxes.default_answer = BoxAnswer::No;
    c.before(run.rt.state);
    const auto program = [&c, &run](Runtime& rt) { c.program(rt, run.clock); };
    if (c.program_after_stop) {
      run.start_frame_thread();
      ASSERT_TRUE(wait_until([&run] { return run.rt.state.stop_requested.load() != 0; }))
          << "waited for the frame thread's stop request: " << where_it_stands(run);
      run.start_program(program);
    } else {
      run.start_program(program);
      run.start_frame_thread();
    }
    const std::optional<int> code = run.wait_end(kEndPatienceMs);
    ASSERT_TRUE(code.has_value()) << "waited " << kEndPatienceMs
                                  << " ms for the process to end: " << where_it_stands(run);
    EXPECT_EQ(*code, 0);
    EXPECT_EQ(run.program_parked(), c.parks);
    std::vector<std::string> captions;
    for (const ShownBox& b : run.boxes.shown) captions.push_back(b.caption);
    EXPECT_EQ(captions, c.boxes);
    EXPECT_EQ(run.rt.pages.display_lock().state(), DisplayLockState::Free);
  }
}

// The exit sequence against the wait for a key before the end prompt (a
// poll and a statement end, over and over): a statement end that takes the
// stop request's event_pending must see stop_requested as well, or the wait
// runs on and the exit sequence waits for ever. The moment when one store is
// made and the other not yet is short, so the race is run many times: the
// program thread waits again after each park, the flags are reset while it
// waits, and a watchdog abandons an exit sequence that makes no progress.
TEST(ExitPaths, TheWaitBeforeTheEndPromptNeverMissesTheExitSequence) {
  // As many trials as five seconds allow (the bound is on the work, not
  // an expectation of speed: a slower build runs fewer).
  constexpr int kTrials = 2'000'000;
  const auto budget_end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  SharedVirtualClock clock;
  clock.yields = false;  // the poll's sleep of 0 ms, at full speed
  ScriptedBoxes boxes;
  ThrowingProcess process;
  Runtime rt(clock, boxes, process);
  std::atomic<int> trial{-1}, parked{-1};
  std::thread program([&] {
    for (int n = 0; n < kTrials; ++n) {
      while (trial.load(std::memory_order_acquire) != n)
        if (clock.abandoned()) return;
      try {
        Statements(rt, clock).wait_then_end_prompt();
      } catch (const ProgramParked&) {
      } catch (const RunAbandoned&) {
        return;
      }
      parked.store(n, std::memory_order_release);
    }
  });
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    int seen = -1;
    auto since = std::chrono::steady_clock::now();
    while (!finished.load(std::memory_order_acquire)) {
      const int now_at = trial.load(std::memory_order_acquire);
      if (now_at != seen) {
        seen = now_at;
        since = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - since > std::chrono::seconds(2)) {
        clock.abandon();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  int missed_at = -1, n = 0;
  for (; n < kTrials && std::chrono::steady_clock::now() < budget_end; ++n) {
    rt.state.stop_requested.store(0);
    rt.state.event_pending.store(0);
    rt.state.exit_handshake.store(0);
    trial.store(n, std::memory_order_release);
    // Let the wait run for a varying while before the exit sequence starts.
    for (int spin = 0; spin < (n * 37) % 3000; ++spin) std::atomic_signal_fence(std::memory_order_seq_cst);
    try {
      run_exit_sequence(rt);
    } catch (const ProcessEnded& e) {
      EXPECT_EQ(e.code, 0);
    } catch (const RunAbandoned&) {
      missed_at = n;
      break;
    }
    while (parked.load(std::memory_order_acquire) != n) std::this_thread::yield();
  }
  finished.store(true, std::memory_order_release);
  clock.abandon();
  watchdog.join();
  program.join();
  RecordProperty("trials", n);
  EXPECT_EQ(missed_at, -1) << "the exit sequence of trial " << missed_at << " never ended";
}

// SIGFPE sent by kill or tgkill lands on any thread. Taken by a thread other
// than the program thread, the handler returns and the frame thread reports
// the critical error and ends the process; before, the handler held the
// thread for ever, and when that was the frame thread nothing ended.
TEST(ExitPaths, AnArithmeticSignalSentToAnotherThreadIsReportedAndEnds) {
  struct Case {
    const char* name;
    bool to_frame_thread;
  };
  for (const Case c : {Case{"the frame thread", true}, Case{"a bystander thread", false}}) {
    SCOPED_TRACE(c.name);
    ThreadedRun run;
    std::atomic<bool> installed{false}, bystander_done{false};
    std::atomic<int> bystander_rounds{0};
    run.start_program([&](Runtime& rt) {
      install_arithmetic_signal_handler(rt);
      installed.store(true, std::memory_order_release);
      held(rt);
    });
    while (!installed.load(std::memory_order_acquire)) std::this_thread::yield();
    // The window thread's part: a thread that goes about its work.
    std::thread bystander([&] {
      while (!bystander_done.load(std::memory_order_acquire)) {
        bystander_rounds.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    run.start_frame_thread();
    pthread_kill(c.to_frame_thread ? run.frame_thread().native_handle() : bystander.native_handle(),
                 SIGFPE);
    const std::optional<int> code = run.wait_end(5000);
    // The bystander goes on after the signal.
    const int rounds = bystander_rounds.load();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (bystander_rounds.load() == rounds && std::chrono::steady_clock::now() < limit)
      std::this_thread::yield();
    const bool bystander_went_on = bystander_rounds.load() != rounds;
    bystander_done.store(true, std::memory_order_release);
    if (bystander_went_on)
      bystander.join();
    else
      bystander.detach();
    EXPECT_TRUE(bystander_went_on);
    ASSERT_TRUE(code.has_value()) << "the process never ended";
    EXPECT_EQ(*code, 0);
    ASSERT_EQ(run.boxes.shown.size(), 1u);
    EXPECT_EQ(run.boxes.shown[0].caption, "Critical Error");
    EXPECT_EQ(run.boxes.shown[0].text, "Division by zero");
    EXPECT_EQ(run.boxes.shown[0].kind, BoxKind::Ok);
  }
}

// What leaves the program's procedure, on the program thread.
TEST(ProgramThread, AnExceptionIsAStorageFailureAndAReturnCountsAsParked) {
  struct Case {
    const char* name;
    std::function<void(Runtime&)> procedure;
    RunEnd end;
    bool parked;
    const char* caption;  // the box, if any
  };
  const Case cases[] = {
      {"no storage", [](Runtime&) { throw std::bad_alloc(); }, RunEnd::ProcessEnded, false,
       "Critical Error #7"},
      {"a size beyond any storage",
       [](Runtime&) { std::vector<int>().reserve(std::vector<int>().max_size() + 1); },
       RunEnd::ProcessEnded, false, "Critical Error #7"},
      {"parked", [](Runtime& rt) { park_program_thread(rt); }, RunEnd::Returned, true, nullptr},
      {"returned", [](Runtime&) {}, RunEnd::Returned, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Headless h;
    h.rt.state.stop_requested.store(1);
    const RunEnd end = h.run([&](Runtime& rt) { run_program(rt, c.procedure); });
    EXPECT_EQ(end, c.end);
    EXPECT_EQ((h.rt.state.exit_handshake.load() & kProgramParked) != 0, c.parked);
    if (c.caption == nullptr) {
      EXPECT_TRUE(h.boxes.shown.empty());
      continue;
    }
    EXPECT_EQ(h.exit_code, 0);
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].caption, c.caption);
    EXPECT_EQ(h.boxes.shown[0].text, "Out of memory");
    EXPECT_EQ(h.boxes.shown[0].kind, BoxKind::Ok);
  }
}

}  // namespace
}  // namespace ws::test
