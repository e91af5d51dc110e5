// Process start: the threads and the window around a procedure of the screen
// runtime (the animator in the real program, a test procedure in the window
// tests).
#pragma once

namespace ws {

struct Runtime;

using ProgramProcedure = void (*)(Runtime&);

// The process's work after its start-up: starts the program, timer and frame
// threads, opens the window and runs its event loop. Does not return.
[[noreturn]] void runtime_main(int argc, char** argv, ProgramProcedure procedure);

// The frame thread's passes: close and end detection, frame building on every
// second pass, lock-key reports on the others; the exit sequence.
[[noreturn]] void frame_thread_loop(Runtime& rt);
// Idle; acknowledges the stop request by adding 2 to exit_handshake.
void timer_thread_loop(Runtime& rt);
// Sets stop_requested, then event_pending, waits for both acknowledgements
// and ends the process with exit code 0.
[[noreturn]] void run_exit_sequence(Runtime& rt);

}  // namespace ws
