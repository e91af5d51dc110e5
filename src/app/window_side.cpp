#include "app/window_side.h"

namespace ws {

namespace {

// The process's one window side: published by the start before any thread
// but the main one runs, and before any callback or handler that reads it is
// installed; read on whichever thread meets an error or a signal.
WindowSide* g_side = nullptr;

}  // namespace

void publish_window_side(WindowSide& side) { g_side = &side; }
WindowSide* published_window_side() { return g_side; }

WindowHook& window_hook() { return g_side->hook; }
WindowManagerSide& window_manager_side() { return g_side->manager; }
GlPresenter& gl_presenter() { return g_side->presenter; }
SessionEnd* published_session_end() { return g_side != nullptr ? &g_side->session_end : nullptr; }

}  // namespace ws
