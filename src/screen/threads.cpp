#include "screen/threads.h"

#include <exception>
#include <string>

#include "screen/error_stream.h"
#include "screen/errors.h"
#include "screen/frames.h"
#include "screen/runtime.h"

namespace ws {

void run_program(Runtime& rt, const std::function<void(Runtime&)>& procedure) {
  try {
    procedure(rt);
  } catch (const ProgramParked&) {
    return;
  } catch (const std::exception& e) {
    // What failed, for whoever reads stderr; the box says what the user
    // needs to know.
    write_error_line(std::string("program thread: ") + e.what());
    report_critical_error(rt, kGeneralStorageFailure);
    return;
  }
  rt.state.exit_handshake.fetch_or(kProgramParked, std::memory_order_acq_rel);
}

void request_stop(RunState& state) {
  state.stop_requested.store(1, std::memory_order_seq_cst);
  state.event_pending.store(1, std::memory_order_seq_cst);
}

void run_exit_sequence(Runtime& rt) {
  request_stop(rt.state);
  // The program thread parks at its next statement end, pause slice or poll.
  while ((rt.state.exit_handshake.load(std::memory_order_acquire) & kProgramParked) == 0) {
    if (const int32_t n = rt.state.critical_signal.load(std::memory_order_acquire); n != 0)
      report_critical_error(rt, n);
    rt.clock.sleep_ms(kFramePassMs);
  }
  // No files are open; the window goes with the process.
  rt.process.end_process(0);
  for (;;) rt.clock.sleep_ms(kFramePassMs);
}

void frame_thread_loop(Runtime& rt) {
  bool building_pass = false;
  for (;;) {
    if (rt.state.close_request.load(std::memory_order_acquire) != 0) run_exit_sequence(rt);
    // One sleep for the whole pass: every wake-up costs, and nothing happens
    // between its two parts.
    rt.clock.sleep_ms(kFramePassMs);
    if (rt.state.program_ended.load(std::memory_order_acquire) != 0) run_exit_sequence(rt);
    if (const int32_t n = rt.state.critical_signal.load(std::memory_order_acquire); n != 0)
      report_critical_error(rt, n);
    // The lock toggles need no pass of their own: the window's connection is
    // told of each change (see the window hook).
    building_pass = !building_pass;
    if (building_pass) build_frame(rt.frames, rt.pages, rt.boxes);
  }
}

}  // namespace ws
