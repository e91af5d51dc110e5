#include "support/headless.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "screen/errors.h"
#include "screen/keyboard.h"
#include "screen/threads.h"
#include "support/png_writer.h"
#include "support/glyph_match.h"

namespace ws::test {

int64_t VirtualClock::ticks_ms() {
  const int64_t ms = now_us / 1000 + raw_offset_ms;
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

void VirtualClock::sleep_ms(int64_t ms) {
  if (record_sleeps) sleeps.push_back(ms);
  now_us += ms <= 0 ? 10 : ms * 1000;
  if (on_advance) on_advance();
}

BoxAnswer ScriptedBoxes::show(const std::string& caption, const std::string& text, BoxKind kind) {
  shown.push_back({caption, text, kind});
  if (on_show) on_show(shown.back());
  if (kind == BoxKind::Ok) return BoxAnswer::Ok;
  if (answers.empty()) return default_answer;
  const BoxAnswer a = answers.front();
  answers.pop_front();
  return a;
}

Headless::Headless() : rt(clock, boxes, process) {
  clock.on_advance = [this] { advance(); };
}

void Headless::at(int64_t ms, std::function<void()> fn) {
  Event e{ms * 1000, std::move(fn)};
  auto pos = std::upper_bound(events_.begin(), events_.end(), e.at_us,
                              [](int64_t t, const Event& x) { return t < x.at_us; });
  events_.insert(pos, std::move(e));
}

void Headless::press_at(int64_t ms, int32_t code) {
  at(ms, [this, code] {
    handle_key_press(rt.keyboard, code);
    handle_key_release(rt.keyboard, code);
  });
}

int64_t Headless::type(const std::string& text, int64_t start_ms, int64_t spacing_ms) {
  int64_t t = start_ms;
  for (unsigned char c : text) {
    press_at(t, c);
    t += spacing_ms;
  }
  return t;
}

int64_t Headless::enqueue(const std::string& text, int64_t start_ms, int64_t spacing_ms) {
  int64_t t = start_ms;
  for (unsigned char c : text) {
    at(t, [this, c] { rt.keyboard.ring.push(KeyPair{c, 0}); });
    t += spacing_ms;
  }
  return t;
}

void Headless::close_at(int64_t ms) {
  at(ms, [this] { rt.state.close_request.fetch_or(1); });
}

void Headless::advance() {
  while (!events_.empty() && events_.front().at_us <= clock.now_us) {
    auto fn = std::move(events_.front().fn);
    events_.erase(events_.begin());
    fn();
  }
  if (!timed_out_ && clock.now_us > limit_us_) {
    timed_out_ = true;
    rt.state.close_request.fetch_or(1);
  }
  // The frame thread's exit sequence, as far as the program thread sees it:
  // its stop request.
  if ((rt.state.close_request.load() != 0 || rt.state.program_ended.load() != 0) &&
      rt.state.stop_requested.load() == 0)
    request_stop(rt.state);
}

RunEnd Headless::run(const std::function<void(Runtime&)>& procedure, int64_t limit_ms) {
  limit_us_ = clock.now_us + limit_ms * 1000;
  timed_out_ = false;
  RunEnd end = RunEnd::Returned;
  try {
    procedure(rt);
  } catch (const ProgramParked&) {
    end = RunEnd::Parked;
  } catch (const ProcessEnded& e) {
    exit_code = e.code;
    end = RunEnd::ProcessEnded;
  }
  if (end == RunEnd::Parked) exit_code = 0;
  limit_us_ = INT64_MAX;
  return timed_out_ ? RunEnd::TimedOut : end;
}

int64_t SharedVirtualClock::ticks_ms() {
  const int64_t ms = now_us.load(std::memory_order_relaxed) / 1000;
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

void SharedVirtualClock::sleep_ms(int64_t ms) {
  if (abandoned_.load(std::memory_order_acquire)) throw RunAbandoned{};
  now_us.fetch_add(ms <= 0 ? 10 : ms * 1000, std::memory_order_relaxed);
  if (yields) std::this_thread::yield();
}

ThreadedRun::ThreadedRun() : rt(clock, boxes, process) {}

ThreadedRun::~ThreadedRun() { stop_threads(); }

void ThreadedRun::ended(int code) {
  int none = -1;
  exit_code_.compare_exchange_strong(none, code);
  ended_.store(true, std::memory_order_release);
}

void ThreadedRun::start_program(std::function<void(Runtime&)> procedure) {
  program_ = std::thread([this, procedure = std::move(procedure)] {
    try {
      run_program(rt, procedure);
      program_parked_.store(
          (rt.state.exit_handshake.load(std::memory_order_acquire) & kProgramParked) != 0);
    } catch (const ProcessEnded& e) {
      ended(e.code);
    } catch (const RunAbandoned&) {
    }
    program_done_.store(true, std::memory_order_release);
  });
}

void ThreadedRun::start_frame_thread() {
  rt.state.frame_thread_running.store(true, std::memory_order_release);
  frame_ = std::thread([this] {
    try {
      frame_thread_loop(rt);
    } catch (const ProcessEnded& e) {
      ended(e.code);
    } catch (const RunAbandoned&) {
    }
    frame_done_.store(true, std::memory_order_release);
  });
}

std::optional<int> ThreadedRun::wait_end(int patience_ms) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(patience_ms);
  while (!ended_.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::microseconds(20));
  const bool ended = ended_.load(std::memory_order_acquire);
  // A program thread that parked before the stop request (the end prompt, No
  // in an error report) leaves run_program at its next look at the request:
  // wait for that, rather than abandon it on its way out, where it would not
  // count as parked.
  if (ended && program_.joinable() &&
      (rt.state.exit_handshake.load(std::memory_order_acquire) & kProgramParked) != 0 &&
      rt.state.stop_requested.load(std::memory_order_acquire) != 0) {
    while (!program_done_.load(std::memory_order_acquire) &&
           std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::microseconds(20));
  }
  stop_threads();
  if (!ended) return std::nullopt;
  return exit_code_.load();
}

void ThreadedRun::stop_threads() {
  clock.abandon();
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (auto [thread, done] : {std::pair{&program_, &program_done_}, {&frame_, &frame_done_}}) {
    if (!thread->joinable()) continue;
    while (!done->load(std::memory_order_acquire) && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::microseconds(20));
    if (done->load(std::memory_order_acquire))
      thread->join();
    else
      thread->detach();
  }
}

namespace {

CellRead read_page_cell(const ScreenPage& page, int row, int column) {
  return read_cell(row, column, [&page](int x, int y) { return int{page.pixel(x, y)}; });
}

}  // namespace

char cell_char(const ScreenPage& page, int row, int column) {
  return read_page_cell(page, row, column).ch;
}

int cell_colour(const ScreenPage& page, int row, int column) {
  return read_page_cell(page, row, column).colour;
}

std::string row_text(const ScreenPage& page, int row, int from, int to) {
  std::string s;
  for (int c = from; c <= to; ++c) s += cell_char(page, row, c);
  return s;
}

std::string dump_page(const ScreenPage& page, const std::string& name) {
  const std::string path = test_output_path(name + ".png");
  write_page_png(page, path);
  return path;
}

}  // namespace ws::test
