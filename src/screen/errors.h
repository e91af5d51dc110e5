// Runtime errors and the statement-end handler.
#pragma once

#include <cstdint>

namespace ws {

struct Runtime;

// Thrown by park_program_thread once the stop request has come: it unwinds the
// program thread out of the animator, whose entry then waits for the process
// to end.
struct ProgramParked {};

const char* runtime_error_message(uint32_t number);

// Marks error n as the pending error of the statement (the first one wins).
// A critical number shows an OK box and ends the process with exit code 0.
void raise_runtime_error(Runtime& rt, int32_t n);
// Runs at a statement end when event_pending is set (and in every pause
// slice, with line 0): holds while paused, parks on a stop request, reports a
// pending error.
void handle_statement_event(Runtime& rt, int32_t line);
// The Yes/No report of the pending error.
void report_runtime_error(Runtime& rt);
// Acknowledges the stop (kProgramParked in exit_handshake) and never returns
// normally.
[[noreturn]] void park_program_thread(Runtime& rt);
// The OK box of critical error n ("Critical Error", or "Critical Error #k"
// for the memory errors 500 + k), then the end of the process with exit code
// 0.
void report_critical_error(Runtime& rt, int32_t n);
// Installs on_arithmetic_signal for SIGFPE, reporting through rt's run state.
void install_arithmetic_signal_handler(Runtime& rt);
// Stores the division-by-zero error in critical_signal for the frame thread
// (which reports it and ends the process) and waits for the end.
void on_arithmetic_signal(int signal_number);

}  // namespace ws
