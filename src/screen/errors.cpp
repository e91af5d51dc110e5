#include "screen/errors.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string>

#include "screen/runtime.h"

namespace ws {

namespace {

// The run state the arithmetic-signal handler reports to.
std::atomic<RunState*> g_signal_state{nullptr};

constexpr int32_t kDivisionByZero = 11;

bool is_critical(int32_t n) { return n == 11 || (n >= 502 && n <= 518); }

}  // namespace

const char* runtime_error_message(uint32_t number) {
  switch (number) {
    case 5: return "Illegal function call";
    case 6: return "Overflow";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    default: return (number >= 502 && number <= 518) ? "Out of memory" : "Unprintable error";
  }
}

void report_critical_error(Runtime& rt, int32_t n) {
  const std::string caption =
      n == kDivisionByZero ? std::string("Critical Error") : "Critical Error #" + std::to_string(n - 500);
  rt.boxes.show(caption, runtime_error_message(static_cast<uint32_t>(n)), BoxKind::Ok);
  rt.process.end_process(0);
}

void raise_runtime_error(Runtime& rt, int32_t n) {
  if (is_critical(n)) {
    report_critical_error(rt, n);
    return;
  }
  if (rt.state.error.pending_error != 0) return;
  rt.state.error.pending_error = static_cast<uint32_t>(n);
  rt.state.event_pending.store(1, std::memory_order_release);
}

void handle_statement_event(Runtime& rt, int32_t line) {
  // Cleared before the states are examined, so a request made after this
  // point is seen at the next statement end.
  rt.state.event_pending.store(0, std::memory_order_seq_cst);
  while (rt.state.pause_requested.load(std::memory_order_acquire) != 0 ||
         rt.state.stop_requested.load(std::memory_order_acquire) != 0) {
    if (rt.state.stop_requested.load(std::memory_order_acquire) != 0) park_program_thread(rt);
    rt.clock.sleep_ms(10);
  }
  if (rt.state.error.pending_error != 0) {
    rt.state.error.error_line = line;
    report_runtime_error(rt);
  }
}

void report_runtime_error(Runtime& rt) {
  const uint32_t n = rt.state.error.pending_error;
  const std::string caption = "Unhandled Error #" + std::to_string(n);
  const std::string text = "Line:" + std::to_string(rt.state.error.error_line) + "\n" +
                           runtime_error_message(n) + "\nContinue?";
  const BoxAnswer answer = rt.boxes.show(caption, text, BoxKind::YesNo);
  if (answer == BoxAnswer::No) {
    rt.state.program_ended.store(1, std::memory_order_release);
    park_program_thread(rt);
  }
  // Yes, or no box could be shown: the error is cleared and the program goes on.
  rt.state.error.pending_error = 0;
}

void park_program_thread(Runtime& rt) {
  rt.state.exit_handshake.fetch_or(kProgramParked, std::memory_order_acq_rel);
  while (rt.state.stop_requested.load(std::memory_order_acquire) == 0) rt.clock.sleep_ms(16);
  throw ProgramParked{};
}

void on_arithmetic_signal(int) {
  // Only what is safe in a signal handler: one store for the frame thread,
  // which shows the report and ends the process, then wait for the end (a
  // return would run the faulting instruction again).
  if (RunState* state = g_signal_state.load(std::memory_order_acquire))
    state->critical_signal.store(kDivisionByZero, std::memory_order_release);
  for (;;) pause();
}

void install_arithmetic_signal_handler(Runtime& rt) {
  g_signal_state.store(&rt.state, std::memory_order_release);
  std::signal(SIGFPE, on_arithmetic_signal);
}

}  // namespace ws
