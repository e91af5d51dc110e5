#include <X11/Xlib.h>

#include <thread>

#include "app/app.h"
#include "app/window.h"
#include "screen/clock.h"
#include "screen/errors.h"
#include "screen/frames.h"
#include "screen/runtime.h"
#include "app/x11_message_box.h"

namespace ws {

namespace {

// A frame-thread pass; frames are built on every second one.
constexpr int64_t kPassMs = 16;

void program_thread_entry(Runtime* rt, ProgramProcedure procedure) {
  try {
    procedure(*rt);
  } catch (const ProgramParked&) {
  }
  // The thread ends parked: the frame thread ends the process.
  for (;;) sleep_real_ms(16);
}

}  // namespace

void run_exit_sequence(Runtime& rt) {
  rt.state.stop_requested.store(1, std::memory_order_seq_cst);
  rt.state.event_pending.store(1, std::memory_order_seq_cst);
  // The program thread parks at its next statement end, pause slice or poll.
  while ((rt.state.exit_handshake.load(std::memory_order_acquire) & kProgramParked) == 0)
    sleep_real_ms(16);
  // No files are open; the window goes with the process.
  rt.process.end_process(0);
  for (;;) sleep_real_ms(16);
}

void frame_thread_loop(Runtime& rt) {
  bool building_pass = false;
  for (;;) {
    if (rt.state.close_request.load(std::memory_order_acquire) != 0) run_exit_sequence(rt);
    // One sleep for the whole pass: every wake-up costs, and nothing happens
    // between its two parts.
    sleep_real_ms(kPassMs);
    if (rt.state.program_ended.load(std::memory_order_acquire) != 0) run_exit_sequence(rt);
    if (const int32_t n = rt.state.critical_signal.load(std::memory_order_acquire); n != 0)
      report_critical_error(rt, n);
    // The lock toggles need no pass of their own: the window's connection is
    // told of each change (see the window hook).
    building_pass = !building_pass;
    if (building_pass) build_frame(rt.frames, rt.pages, rt.boxes);
  }
}

void runtime_main(int argc, char** argv, ProgramProcedure procedure) {
  // Several threads talk to X (the window, message boxes, the keyboard at start),
  // each on a connection of its own.
  XInitThreads();
  static SteadyClock clock;
  static ExitProcess process;
  static X11MessageBoxes x11_boxes;
  static LoggingMessageBox boxes(&x11_boxes);
  static Runtime rt(clock, boxes, process);

  // The window is resizable: a size change by the user is not undone.
  rt.window.window_snap_back.store(false, std::memory_order_relaxed);
  record_keyboard_state_at_start(rt);

  // No timer thread: no timed event exists in this program, so the exit
  // sequence waits for the program thread alone.
  // Marked running before any thread starts, so that no screen-mode change can
  // miss the display lock while the frame thread is starting.
  rt.state.frame_thread_running.store(true, std::memory_order_release);
  std::thread(program_thread_entry, &rt, procedure).detach();
  std::thread(frame_thread_loop, std::ref(rt)).detach();

  run_window(rt, argc, argv, x11_boxes);
}

}  // namespace ws
