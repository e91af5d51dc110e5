// The run state: the flags by which the program, window and frame threads
// tell each other that the program must hold, end or stop, and the runtime
// error state of the program thread's current statement.
//
// Each flag is one atomic word with a fixed set of writers; the others poll
// it. No mutex guards any of them. A store that hands something over is a
// release, the load that takes it an acquire, unless said otherwise.
#pragma once

#include <atomic>
#include <cstdint>

namespace ws {

// The bit of exit_handshake by which the program thread says it has parked.
constexpr uint32_t kProgramParked = 1;

// Runtime error state of the current statement; program thread only.
struct ErrorState {
  uint32_t pending_error = 0;  // the first error raised in the statement, 0 for none
  int32_t error_line = 0;      // the line the report names
};

struct RunState {
  // Written by the frame thread's exit sequence (0 -> 1, never cleared), with
  // sequentially consistent order before event_pending. Read by the program
  // thread (number input, end prompt, display-lock wait: acquire; the
  // statement-end handler: sequentially consistent, see event_pending).
  std::atomic<uint8_t> stop_requested{0};
  // Written by the exit sequence (after stop_requested) and by Pause on the
  // window thread (after pause_requested), each flag and then this one
  // sequentially consistent; by a runtime error on the program thread
  // (release; the error state is the program thread's own). Cleared only by
  // the statement-end handler on the program thread, seq_cst, before it looks
  // at the other flags with seq_cst loads: a request whose store here came
  // before the clear is seen by those loads (all of them are in one total
  // order), one made after it is seen at the next statement end. Every
  // animator statement ends with one acquire load of it.
  std::atomic<int32_t> event_pending{0};
  // Bit 0: set by Pause (or Num Lock switched on with Ctrl held; seq_cst,
  // before event_pending), cleared by the next key press (release); both in
  // the key handling under the keyboard's mutex (window thread; the
  // keyboard's report at start on the same main thread). Read by the
  // statement-end handler (seq_cst) and the presenter (acquire).
  std::atomic<uint8_t> pause_requested{0};
  // Set (never cleared) by the end prompt and the No of an error report
  // (program thread) and by Ctrl+Break (window thread), release. Read by the
  // frame thread, acquire, which then runs the exit sequence.
  std::atomic<uint8_t> program_ended{0};
  // Bit 0 set (never cleared), acq_rel: on the window thread by the window's
  // close hook, or when the window has gone some other way; on any thread by
  // the handler of the session's end signals (SIGTERM, SIGINT, SIGHUP), which
  // is why it is a lock-free fetch_or. Read by the frame thread at the start
  // of each pass.
  std::atomic<uint32_t> close_request{0};
  // kProgramParked, or-ed in by the program thread when it parks, or when
  // its procedure returned (acq_rel); the exit sequence on the frame thread
  // waits for it (acquire).
  std::atomic<uint32_t> exit_handshake{0};
  // Set by the start before the program and frame threads run (release): a
  // screen-mode change waits for the frame thread's grant of the display
  // lock. Read by the program thread, acquire.
  std::atomic<bool> frame_thread_running{false};
  // The number of a critical error raised by the arithmetic-signal handler
  // (0 for none), on whichever thread took the signal: the handler only
  // stores it (release); the frame thread (acquire, each pass and while its
  // exit sequence waits) shows the report and ends the process.
  std::atomic<int32_t> critical_signal{0};

  // Program thread only.
  ErrorState error;
};

}  // namespace ws
