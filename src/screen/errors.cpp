#include "screen/errors.h"

#include <csignal>
#include <string>

#include "screen/runtime.h"

namespace ws {

namespace {

Runtime* g_signal_runtime = nullptr;

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

void raise_runtime_error(Runtime& rt, int32_t n) {
  if (is_critical(n)) {
    const std::string caption =
        n == 11 ? std::string("Critical Error") : "Critical Error #" + std::to_string(n - 500);
    rt.boxes.show(caption, runtime_error_message(static_cast<uint32_t>(n)), BoxKind::Ok);
    rt.process.end_process(0);
    return;
  }
  if (rt.err.pending_error != 0) return;
  rt.err.pending_error = static_cast<uint32_t>(n);
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
  if (rt.err.pending_error != 0) {
    rt.err.error_line = line;
    report_runtime_error(rt);
  }
}

void report_runtime_error(Runtime& rt) {
  const uint32_t n = rt.err.pending_error;
  const std::string caption = "Unhandled Error #" + std::to_string(n);
  const std::string text = "Line:" + std::to_string(rt.err.error_line) + "\n" +
                           runtime_error_message(n) + "\nContinue?";
  const BoxAnswer answer = rt.boxes.show(caption, text, BoxKind::YesNo);
  if (answer == BoxAnswer::No) {
    rt.state.program_ended.store(1, std::memory_order_release);
    park_program_thread(rt);
  }
  // Yes, or no box could be shown: the error is cleared and the program goes on.
  rt.err.pending_error = 0;
}

void park_program_thread(Runtime& rt) {
  rt.state.exit_handshake.fetch_or(kProgramParked, std::memory_order_acq_rel);
  while (rt.state.stop_requested.load(std::memory_order_acquire) == 0) rt.clock.sleep_ms(16);
  throw ProgramParked{};
}

void on_arithmetic_signal(int) {
  if (g_signal_runtime != nullptr) raise_runtime_error(*g_signal_runtime, 11);
}

void install_arithmetic_signal_handler(Runtime& rt) {
  g_signal_runtime = &rt;
  std::signal(SIGFPE, on_arithmetic_signal);
}

}  // namespace ws
