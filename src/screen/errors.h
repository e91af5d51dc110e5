// Runtime errors and the statement-end handler.
#pragma once

#include <cstdint>

namespace ws {

struct Runtime;

// The runtime errors the program can meet. Reported errors stop at the end
// of their statement in a Yes/No box; critical errors show an OK box at once
// and end the process.
constexpr int32_t kIllegalFunctionCall = 5;
constexpr int32_t kOverflow = 6;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kDivisionByZero = 11;
// The storage failures 500 + k, each named after the store that could not be
// had ("Critical Error #k"). 507 is the general one, for an allocation that
// failed outside the stores with numbers of their own.
constexpr int32_t kGeneralStorageFailure = 507;
constexpr int32_t kStartCopyFailed = 516;  // the number input's copy of the page
constexpr int32_t kWorkCopyFailed = 517;   // the number input's work page

// One row per number or range of numbers: the one table of numbers, messages
// and kinds.
struct RuntimeErrorKind {
  int32_t first;
  int32_t last;
  const char* message;
  bool critical;
};
inline constexpr RuntimeErrorKind kRuntimeErrors[] = {
    {kIllegalFunctionCall, kIllegalFunctionCall, "Illegal function call", false},
    {kOverflow, kOverflow, "Overflow", false},
    {kSubscriptOutOfRange, kSubscriptOutOfRange, "Subscript out of range", false},
    {kDivisionByZero, kDivisionByZero, "Division by zero", true},
    {502, 518, "Out of memory", true},
};

// Thrown by park_program_thread once the stop request has come: it unwinds the
// program thread out of the animator, whose entry then waits for the process
// to end.
struct ProgramParked {};

// The message of error n ("Unprintable error" for a number not in the table).
const char* runtime_error_message(uint32_t number);
bool is_critical_error(int32_t n);

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
// for the storage failures 500 + k), then the end of the process with exit
// code 0. Shown on whichever thread meets the error.
void report_critical_error(Runtime& rt, int32_t n);
// Installs on_arithmetic_signal for SIGFPE, reporting through rt's run state.
// Called on the program thread, which it records as the one whose statement a
// fault interrupts.
void install_arithmetic_signal_handler(Runtime& rt);

}  // namespace ws
