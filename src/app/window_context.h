// The window's context: the runtime, the display connection, the window (its
// id fetched once, when it is made) and its atoms. run_window fills it in
// once; each part of the window side (the X hook, the window manager side,
// the GL presenter) is made with it and reads it, and none changes it.
//
// The window library's callbacks, Xlib's wire-event hooks and the signal
// handler carry no user data: they reach their part through the accessors
// below, which read the one published WindowSide (window_side.h, where they
// are defined). It is published once, by the process's start, before any
// thread but the main one runs and before any of those handlers is
// installed, and never changed: every thread sees it without further
// ordering (the threads start after the store).
#pragma once

typedef struct _XDisplay Display;

namespace ws {

struct Runtime;
class GlPresenter;
class SessionEnd;
class WindowHook;
class WindowManagerSide;

// The atoms of the states in _NET_WM_STATE that the presenter follows.
struct WindowStateAtoms {
  unsigned long full_screen = 0, maximised_vert = 0, maximised_horz = 0;
};

// The atoms the window side compares events and properties with, interned
// once on the window's connection.
struct WindowAtoms {
  unsigned long wm_protocols = 0, wm_delete_window = 0, net_wm_state = 0;
  WindowStateAtoms states;
};

struct WindowContext {
  explicit WindowContext(Runtime& runtime) : rt(runtime) {}
  WindowContext(const WindowContext&) = delete;
  WindowContext& operator=(const WindowContext&) = delete;

  Runtime& rt;
  // Set once by run_window when it has made the window (window thread),
  // before any hook or callback that reads them is installed.
  Display* display = nullptr;
  unsigned long window = 0;  // the window's id; 0 (None) if it could not be had
  unsigned long root = 0;
  WindowAtoms atoms;
};

// The parts of the published window side, for the callbacks and hooks that
// carry no user data; only once it is published (the hooks and callbacks
// are installed after that).
WindowHook& window_hook();
WindowManagerSide& window_manager_side();
GlPresenter& gl_presenter();
// The session's end, or nullptr before the window side is published (a
// signal or a box that early).
SessionEnd* published_session_end();

}  // namespace ws
