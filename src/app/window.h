// The window side: freeglut window, GL presenter, the Xlib event hook for the
// close request and the keyboard events the window library does not report,
// the event loop.
#pragma once

#include <atomic>

#include "app/presenter.h"
#include "app/session_end.h"
#include "app/window_context.h"
#include "app/window_manager.h"
#include "app/x11_hook.h"
#include "screen/runtime.h"

namespace ws {

class X11MessageBoxes;

// The window side of the process, the one place that composes its parts:
// the window's context and the parts made with it. The process's start makes
// one and publishes it (publish_window_side) before the other threads start.
struct WindowSide {
  explicit WindowSide(Runtime& rt) : context(rt), session_end(rt.state) {}
  WindowSide(const WindowSide&) = delete;
  WindowSide& operator=(const WindowSide&) = delete;

  WindowContext context;
  // Reached by the signal handler and the boxes (session_end.h).
  SessionEnd session_end;
  WindowHook hook{context};
  WindowManagerSide manager{context};
  GlPresenter presenter{context, manager};
  // Set by the first thread whose connection met a failure that ends the
  // process (the X error handlers); the others wait for the end. acq_rel
  // test_and_set: exactly one thread writes the line.
  std::atomic_flag failure_reported;
};

// Publishes the process's window side for the callbacks, hooks and handlers
// that carry no user data (window_context.h); once, before any thread but
// the main one starts and before any of them is installed.
void publish_window_side(WindowSide& side);

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
