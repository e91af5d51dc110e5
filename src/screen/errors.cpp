#include "screen/errors.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "screen/runtime.h"

namespace ws {

namespace {

// The run state the arithmetic-signal handler reports to.
std::atomic<RunState*> g_signal_state{nullptr};
// The program thread's kernel thread id, recorded at install.
std::atomic<pid_t> g_program_thread{0};

const RuntimeErrorKind* find_error(int64_t n) {
  for (const RuntimeErrorKind& e : kRuntimeErrors)
    if (n >= e.first && n <= e.last) return &e;
  return nullptr;
}

// SIGFPE, whichever thread takes it. The store is all a handler may safely
// do here; the frame thread shows the report and ends the process (each pass,
// and while its exit sequence waits). A fault of the processor must not
// return: the instruction would run again. The program thread does not return
// either, since its statement cannot go on. A signal sent by kill or tgkill
// (si_code <= 0) to any other thread is only the news of the error: that
// thread returns to its work, so that the frame thread, or the window thread
// it interrupted, goes on to report and end.
void on_arithmetic_signal(int, siginfo_t* info, void*) {
  if (RunState* state = g_signal_state.load(std::memory_order_acquire))
    state->critical_signal.store(kDivisionByZero, std::memory_order_release);
  const bool sent = info != nullptr && info->si_code <= 0;
  if (sent && gettid() != g_program_thread.load(std::memory_order_relaxed)) return;
  for (;;) pause();
}

}  // namespace

const char* runtime_error_message(uint32_t number) {
  const RuntimeErrorKind* e = find_error(number);
  return e != nullptr ? e->message : "Unprintable error";
}

bool is_critical_error(int32_t n) {
  const RuntimeErrorKind* e = find_error(n);
  return e != nullptr && e->critical;
}

void report_critical_error(Runtime& rt, int32_t n) {
  const std::string caption =
      n == kDivisionByZero ? std::string("Critical Error") : "Critical Error #" + std::to_string(n - 500);
  rt.boxes.show(caption, runtime_error_message(static_cast<uint32_t>(n)), BoxKind::Ok);
  rt.process.end_process(0);
}

void raise_runtime_error(Runtime& rt, int32_t n) {
  if (is_critical_error(n)) {
    report_critical_error(rt, n);
    return;
  }
  if (rt.state.error.pending_error != 0) return;
  rt.state.error.pending_error = static_cast<uint32_t>(n);
  rt.state.event_pending.store(1, std::memory_order_release);
}

void handle_statement_event(Runtime& rt, int32_t line) {
  // Cleared before the states are examined, so a request made after this
  // point is seen at the next statement end. The clear and the loads are
  // sequentially consistent, as are the requests' stores (the flag, then
  // event_pending): should a request's event_pending come before this clear,
  // its flag is seen by the loads below; otherwise event_pending stays set.
  rt.state.event_pending.store(0, std::memory_order_seq_cst);
  while (rt.state.pause_requested.load(std::memory_order_seq_cst) != 0 ||
         rt.state.stop_requested.load(std::memory_order_seq_cst) != 0) {
    if (rt.state.stop_requested.load(std::memory_order_seq_cst) != 0) park_program_thread(rt);
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

void install_arithmetic_signal_handler(Runtime& rt) {
  g_program_thread.store(gettid(), std::memory_order_relaxed);
  g_signal_state.store(&rt.state, std::memory_order_release);
  struct sigaction action {};
  action.sa_sigaction = on_arithmetic_signal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);
}

}  // namespace ws
