// Headless runs of the screen runtime: a virtual clock, scripted message-box
// answers, scripted keys and a process control that throws, so that a
// procedure (the animator or a small test procedure) runs on the test's own
// thread in milliseconds. The harness also plays the frame thread's part in
// the end of a run: a close request or program_ended becomes the stop request.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "screen/runtime.h"

namespace ws::test {

class VirtualClock final : public Clock {
 public:
  int64_t ticks_ms() override;
  void sleep_ms(int64_t ms) override;

  // Virtual time in microseconds; a zero-length sleep advances it by 10 us so
  // that busy waits move on.
  int64_t now_us = 0;
  // Added to the millisecond count before it is cut to 32 bits (wrap tests).
  int64_t raw_offset_ms = 0;
  std::vector<int64_t> sleeps;  // every sleep requested, in ms
  bool record_sleeps = false;
  std::function<void()> on_advance;
};

struct ShownBox {
  std::string caption;
  std::string text;
  BoxKind kind;
};

class ScriptedBoxes final : public MessageBoxPresenter {
 public:
  BoxAnswer show(const std::string& caption, const std::string& text, BoxKind kind) override;
  std::deque<BoxAnswer> answers;           // taken in order for Yes/No boxes
  BoxAnswer default_answer = BoxAnswer::Yes;
  std::vector<ShownBox> shown;
  std::function<void(const ShownBox&)> on_show;
};

struct ProcessEnded {
  int code;
};

class ThrowingProcess final : public ProcessControl {
 public:
  void end_process(int code) override { throw ProcessEnded{code}; }
};

enum class RunEnd { Returned, Parked, ProcessEnded, TimedOut };

class Headless {
 public:
  Headless();
  Headless(const Headless&) = delete;

  VirtualClock clock;
  ScriptedBoxes boxes;
  ThrowingProcess process;
  Runtime rt;

  // A key press (and its release) delivered through the key handling at a
  // virtual time. Codes as the key handling takes them: a character 1..255,
  // scan code * 256 for a special key, or a named key.
  void press_at(int64_t ms, int32_t code);
  // Types each byte of text, the first at start_ms, then every spacing_ms.
  // Returns the time after the last key.
  int64_t type(const std::string& text, int64_t start_ms, int64_t spacing_ms = 20);
  // Puts the bytes of text straight into the key ring (character, scan 0),
  // bypassing the key handling; the first at start_ms, then every spacing_ms.
  int64_t enqueue(const std::string& text, int64_t start_ms, int64_t spacing_ms = 20);
  // The window's close button at a virtual time.
  void close_at(int64_t ms);
  // Runs fn at a virtual time (from inside a sleep of the program thread).
  void at(int64_t ms, std::function<void()> fn);

  // Runs a procedure on the calling thread until it returns, parks or ends
  // the process, or virtual time passes limit_ms (then a close request ends
  // it and the result is TimedOut).
  RunEnd run(const std::function<void(Runtime&)>& procedure, int64_t limit_ms = 36'000'000);
  int exit_code = -1;

  ScreenPage& page() { return rt.pages.page(); }
  int64_t now_ms() const { return clock.now_us / 1000; }

 private:
  struct Event {
    int64_t at_us;
    std::function<void()> fn;
  };
  void advance();
  std::vector<Event> events_;  // kept sorted by time
  int64_t limit_us_ = INT64_MAX;  // no limit outside run()
  bool timed_out_ = false;
};

// Real threads around the real thread work (screen/threads.h): the program
// thread runs run_program, the frame thread frame_thread_loop, on a virtual
// clock that both advance; the process end throws on the thread that ends
// it. A run that hangs is abandoned: every sleep then throws RunAbandoned,
// which unwinds both threads.
struct RunAbandoned {};

class SharedVirtualClock final : public Clock {
 public:
  int64_t ticks_ms() override;
  // Advances the shared time and yields the processor for real (unless
  // yields is clear: then a loop of sleeps runs at full speed).
  void sleep_ms(int64_t ms) override;
  void abandon() { abandoned_.store(true, std::memory_order_release); }
  // For test loops that never sleep.
  bool abandoned() const { return abandoned_.load(std::memory_order_acquire); }

  std::atomic<int64_t> now_us{0};
  bool yields = true;

 private:
  std::atomic<bool> abandoned_{false};
};

// Real time a threaded run may take before it counts as hung.
inline constexpr int kThreadPatienceMs = 20000;

class ThreadedRun {
 public:
  ThreadedRun();
  ThreadedRun(const ThreadedRun&) = delete;
  // Abandons what still runs and joins it (a thread that does not come back,
  // as one held in a signal handler, is left behind detached).
  ~ThreadedRun();

  SharedVirtualClock clock;
  ScriptedBoxes boxes;  // shown on one thread at a time; read after wait_end
  ThrowingProcess process;
  Runtime rt;

  // The program thread, running procedure through run_program.
  void start_program(std::function<void(Runtime&)> procedure);
  // Marks the frame thread running (as the process start does), then starts
  // it.
  void start_frame_thread();
  std::thread& frame_thread() { return frame_; }

  // Waits until a thread has ended the process, for at most patience_ms of
  // real time, and then for a program thread that has parked to leave
  // run_program on its own; then abandons the rest. The exit code, or nothing
  // when the run hung.
  std::optional<int> wait_end(int patience_ms = kThreadPatienceMs);
  // After wait_end: how the program thread left run_program.
  bool program_parked() const { return program_parked_.load(); }

 private:
  void ended(int code);
  void stop_threads();

  std::thread program_, frame_;
  std::atomic<bool> program_done_{false}, frame_done_{false};
  std::atomic<bool> ended_{false};
  std::atomic<int> exit_code_{-1};
  std::atomic<bool> program_parked_{false};
};

// Reads the character in a text cell by matching its pixels against the page
// font (a pixel counts as set when it differs from colour 0); '?' when no
// glyph matches. A cell of colour 0 only reads as ' '.
char cell_char(const ScreenPage& page, int row, int column);
// The colour of the set pixels of a cell: -1 when the cell is blank, -2 when
// they differ.
int cell_colour(const ScreenPage& page, int row, int column);
// Columns from..to of a text row as characters.
std::string row_text(const ScreenPage& page, int row, int from = 1, int to = 80);

// Writes the page to a PNG under the test output directory and returns the
// path (for failure messages).
std::string dump_page(const ScreenPage& page, const std::string& name);

}  // namespace ws::test
