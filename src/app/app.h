// Process start: the threads and the window around a procedure of the screen
// runtime (the animator in the real program, a test procedure in the window
// tests).
#pragma once

namespace ws {

struct Runtime;

using ProgramProcedure = void (*)(Runtime&);

// The process's work after its start-up: starts the program and frame
// threads, opens the window and runs its event loop. Does not return.
[[noreturn]] void runtime_main(int argc, char** argv, ProgramProcedure procedure);

// The frame thread's passes of about 16 ms: close and end detection, and
// frame building on every second pass; the exit sequence.
[[noreturn]] void frame_thread_loop(Runtime& rt);
// Sets stop_requested, then event_pending, waits until the program thread
// has parked and ends the process with exit code 0.
[[noreturn]] void run_exit_sequence(Runtime& rt);

}  // namespace ws
