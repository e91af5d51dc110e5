// The signals by which the session around the program ends it: SIGTERM (a
// desktop's log-out, kill), SIGINT (Ctrl+C in the terminal) and SIGHUP (the
// terminal closed).
//
// Each ends the program as closing its window does: the handler sets
// close_request, and the frame thread runs the exit sequence (the stop
// request, the program thread parks, exit code 0) in whatever state the
// program is: at a prompt, animating, paused. Nobody is left to answer a
// report box once the session ends, so the signal also answers the boxes: an
// open one ends as No (a question) or OK (a notice), and any box shown after
// it ends so at once (session_ended, polled through session_end_fd).
//
// The handler is async-signal-safe: a read of the published side, a few
// lock-free atomic operations and one write to an eventfd, nothing else; no
// Xlib call, no lock, no allocation.
#pragma once

#include <atomic>

namespace ws {

struct RunState;

// The session's end as the signal handler records it, a part of the window
// side (WindowSide), which the handler reaches through published_session_end()
// (window_context.h). What the handler touches must be lock-free: a locked
// atomic could be held by the very thread the signal interrupted.
class SessionEnd {
 public:
  static_assert(std::atomic<bool>::is_always_lock_free);
  static_assert(std::atomic<int>::is_always_lock_free);

  explicit SessionEnd(RunState& state) : state_(state) {}
  SessionEnd(const SessionEnd&) = delete;
  SessionEnd& operator=(const SessionEnd&) = delete;

  // Installs the handler of the three signals for the whole process; it
  // reports to the run state. runtime_main calls it once, after publishing
  // the window side and before the program and frame threads start
  // (the handler is process-wide; whichever thread the kernel picks runs
  // it). A signal ignored when the program started (nohup's SIGHUP, SIGINT of
  // a command a shell runs in the background) stays ignored.
  void install();
  // What the handler does: marks the end, asks for the close, wakes the boxes.
  void on_signal();

  bool ended() const { return ended_.load(std::memory_order_acquire); }
  int wake_fd() const { return wake_fd_.load(std::memory_order_acquire); }

 private:
  RunState& state_;
  // The eventfd the handler writes to: stored by install (release) before
  // the handler is installed, loaded (acquire) by the handler and the boxes.
  std::atomic<int> wake_fd_{-1};
  // Set by the handler (release), never cleared; read by the boxes (acquire).
  std::atomic<bool> ended_{false};
};

// Whether one of the three signals has come (never cleared). Any thread.
bool session_ended();

// A descriptor that becomes readable when the session ends and stays so (it
// is never read): a box's event loop polls it beside its connection. -1 when
// none could be made (then only session_ended tells, at a poll's timeout).
int session_end_fd();

}  // namespace ws
