// The window and the window manager: the state the manager shows the window
// in (_NET_WM_STATE: maximised, full screen), whether a manager manages it at
// all, full screen asked of the manager (or, with none running, left in the
// window's own state for the next one to adopt), and the pointer's buttons
// while a user's size waits to be answered. Internal to the window; run_window
// wires it up, the presenter calls it.
#pragma once

#include <vector>

#include "screen/presenting.h"

typedef struct _XDisplay Display;

namespace ws {

struct Runtime;

// The atoms of the states in _NET_WM_STATE that the presenter follows.
struct WindowStateAtoms {
  unsigned long full_screen = 0, maximised_vert = 0, maximised_horz = 0;
};
// The manager's view of the window from the atoms of its _NET_WM_STATE:
// maximised in either direction or both, full screen.
WindowManagerState window_manager_state(const std::vector<unsigned long>& states,
                                        const WindowStateAtoms& atoms);

// Hooks the conversion of PropertyNotify and ReparentNotify events on the
// window library's connection (after the previous converter, which they
// chain to), adds property changes to the window's events and reads the
// window's state once.
void install_window_manager_hook(Runtime& rt, Display* display);
// Acts on what the hook recorded (after the window library's event
// processing returned): reads the window's _NET_WM_STATE when it changed and
// hands it to the presenter's state; when a manager has taken the window on
// again, tells it the full-screen state the program is in.
void follow_window_manager(Runtime& rt);
// Asks for full screen or the window: of the manager by the standard client
// message (add or remove, never a toggle); while the window is not managed
// also in the window's own _NET_WM_STATE, which a manager adopts when it
// takes the window on.
void request_full_screen(bool on);
// Whether the X error of that connection and request serial is one of this
// part's own requests on the window (its state read or written, the pointer
// asked), which may fail once the window is gone: such an error is noted and
// passes. For the process's X error handler, on the window thread.
bool expected_window_manager_error(Display* display, unsigned long serial);
// Whether a pointer button is held (one round trip to the server).
bool pointer_button_held();

}  // namespace ws
