// Headless runs of the screen runtime: a virtual clock, scripted message-box
// answers, scripted keys and a process control that throws, so that a
// procedure (the animator or a small test procedure) runs on the test's own
// thread in milliseconds. The harness also plays the frame thread's part in
// the end of a run: a close request or program_ended becomes the stop request.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
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
