// The window and the window manager: the state the manager shows the window
// in (_NET_WM_STATE: maximised, full screen), whether a manager manages it at
// all, full screen asked of the manager (or, with none running, left in the
// window's own state for the next one to adopt), and the pointer's buttons
// while a user's size waits to be answered. Internal to the window; run_window
// wires it up, the presenter calls it.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "app/window_context.h"
#include "screen/presenting.h"

typedef struct _XDisplay Display;

namespace ws {

// The manager's view of the window from the atoms of its _NET_WM_STATE:
// maximised in either direction or both, full screen.
WindowManagerState window_manager_state(const std::vector<unsigned long>& states,
                                        const WindowStateAtoms& atoms);

// The window manager's side, a part of the window side (WindowSide), made
// with the window's context: the converters its hook chains to, what the hook
// recorded, the full screen the program made itself while no manager ran,
// and the guard around its own requests on the window. The hook reaches it
// through window_manager_side() (window_context.h).
class WindowManagerSide {
 public:
  explicit WindowManagerSide(WindowContext& context);
  ~WindowManagerSide();
  WindowManagerSide(const WindowManagerSide&) = delete;
  WindowManagerSide& operator=(const WindowManagerSide&) = delete;

  // Hooks the conversion of PropertyNotify and ReparentNotify events on the
  // window's connection (after the previous converter, which they chain
  // to), adds property changes to the window's events and reads the
  // window's state once.
  void install();
  // Acts on what the hook recorded (after the window library's event
  // processing returned): reads the window's _NET_WM_STATE when it changed
  // and hands it to the presenter; when a manager has taken the window on
  // again, tells it the full-screen state the program is in. While a report
  // box is open the manager's full screen is not handed on (a manager may
  // change it for the box's sake), and once the boxes are gone the manager
  // is asked for the program's full-screen state should it show another.
  void follow();
  // Asks for full screen or the window: of the manager by the standard
  // client message (add or remove, never a toggle); while the window is not
  // managed also in the window's own _NET_WM_STATE, which a manager adopts
  // when it takes the window on.
  void request_full_screen(bool on);
  // Whether the X error of that connection and request serial is one of this
  // part's own requests on the window (its state read or written, the
  // pointer asked), which may fail once the window is gone: such an error is
  // noted and passes. For the process's X error handler, on the window
  // thread.
  bool expected_error(Display* display, unsigned long serial);
  // Whether a pointer button is held (one round trip to the server).
  bool pointer_button_held();

 private:
  struct State;
  friend struct ManagerWire;
  template <class Requests>
  bool guarded(Requests requests);
  bool managed() const;
  void cover_screen();

  WindowContext& context_;
  std::unique_ptr<State> state_;
  // The window may be gone (destroyed by another client, or by the window
  // library while the process ends) when its state is read or written: an
  // error of those requests is not a reason to end the process. The window
  // thread stores the first serial, then raises the guard (release); the X
  // error handler, on whichever thread meets an error, looks at the first
  // serial only once it has seen the guard up (acquire). Only errors of the
  // window's connection count, and those meet the window thread, which then
  // notes guard_error_ for itself.
  std::atomic<bool> guarding_{false};
  unsigned long guard_first_serial_ = 0;
  bool guard_error_ = false;
};

}  // namespace ws
