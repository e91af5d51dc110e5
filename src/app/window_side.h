// The window side of the process, the one place that composes its parts, and
// the one published instance of it.
//
// The window library's callbacks, Xlib's wire-event hooks, the X error
// handlers and the signal handler carry no user data: they reach the parts
// through the published side. The parts themselves see only the accessors
// declared with their context (window_context.h), which window_side.cpp
// defines.
#pragma once

#include <atomic>

#include "app/presenter.h"
#include "app/session_end.h"
#include "app/window_context.h"
#include "app/window_manager.h"
#include "app/x11_hook.h"
#include "screen/runtime.h"

namespace ws {

// The window's context and the parts made with it. The process's start makes
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
// that carry no user data; once, before any thread but the main one starts
// and before any of them is installed, and never changed: every thread sees
// it without further ordering (the threads start after the store).
void publish_window_side(WindowSide& side);

// The published side, or nullptr before it is published (an error or a
// signal that early). Any thread.
WindowSide* published_window_side();

}  // namespace ws
