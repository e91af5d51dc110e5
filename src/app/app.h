// Process start: the threads and the window around a procedure of the screen
// runtime (the animator in the real program, a test procedure in the window
// tests). The threads' work itself is portable: screen/threads.h.
#pragma once

namespace ws {

struct Runtime;

using ProgramProcedure = void (*)(Runtime&);

// The process's work after its start-up: starts the program thread (named
// "program") and the frame thread ("frame"), opens the window and runs its
// event loop on the calling thread. Does not return.
[[noreturn]] void runtime_main(int argc, char** argv, ProgramProcedure procedure);

}  // namespace ws
