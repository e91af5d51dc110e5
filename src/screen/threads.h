// The work of the program thread and of the frame thread around the screen
// runtime: the program's procedure, the frame thread's passes and the exit
// sequence. The process start (src/app) runs them on their threads; the
// tests run the same functions on threads of their own, with a virtual clock
// and a process end that throws.
#pragma once

#include <cstdint>
#include <functional>

namespace ws {

struct Runtime;
struct RunState;

// A frame-thread pass; frames are built on every second one.
constexpr int64_t kFramePassMs = 16;

// The program thread's work: runs the procedure. A stop ends it parked; an
// exception of the standard library (no storage to be had, in this program)
// is the critical error kGeneralStorageFailure. Should the procedure return,
// the thread counts as parked: it runs no statement again.
void run_program(Runtime& rt, const std::function<void(Runtime&)>& procedure);

// The stop request: stop_requested, then event_pending, both sequentially
// consistent. In this order, a statement end that finds event_pending finds
// the stop as well.
void request_stop(RunState& state);

// The exit sequence on the frame thread: the stop request, then a wait (in
// passes through rt.clock) until the program thread has parked, then the end
// of the process with exit code 0 through rt.process. A critical signal
// reported meanwhile ends the process through its report: the program thread
// may be held in the signal handler and never park.
[[noreturn]] void run_exit_sequence(Runtime& rt);

// The frame thread's passes of about 16 ms (rt.clock): close and end
// detection, critical signals, and frame building on every second pass.
// Leaves only through rt.process (in the real program, the end of the
// process).
[[noreturn]] void frame_thread_loop(Runtime& rt);

}  // namespace ws
