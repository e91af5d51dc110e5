// The window: the freeglut window and its event loop on the main thread, made
// with the parts of the window side (window_side.h); the process's X error
// handlers; the keyboard's state at start.
#pragma once

namespace ws {

struct Runtime;
struct WindowSide;
class X11MessageBoxes;

// The window's part of the start, once the program and frame threads run:
// initialises the window library with the command line, creates the window
// (exit code 1 when the display mode is impossible or no display can be
// opened), initialises GLEW, registers the callbacks and runs the event loop
// on the calling (main) thread. The message boxes are told the window, so
// that they stay above it. The window, its connection and atoms go into the
// side's context, and its parts are installed. Does
// not return.
[[noreturn]] void run_window(WindowSide& side, int argc, char** argv, X11MessageBoxes& boxes);

// Installs the process's X error handlers; runtime_main calls it first,
// before any thread but the main one talks to X (a box may open on the
// program or frame thread at once). A lost display and an X error (except a
// box connection's, and any once another client destroyed the window) write
// one line to stderr and end the process through the published window
// side's runtime with code 1. run_window installs them again should this not have
// run.
void install_x_error_handlers();

}  // namespace ws
