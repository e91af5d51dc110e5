// The report box's window on the box's own connection: made at its layout's
// place and size with every hint the window manager reads at the first
// mapping, drawn, made the program's window's dialog, and mapped again when
// the box comes back. Internal to the box (x11_message_box.cpp), which turns
// its events into answers and into what the box sees.
#pragma once

#include <string>

#include "app/message_box_layout.h"
#include "app/x11_box_drawing.h"

// Last: X defines macros such as None and Bool.
#include <X11/Xlib.h>

namespace ws {

// The atoms a box sets, reads and compares events with, interned once.
struct BoxAtoms {
  explicit BoxAtoms(Display* d);
  Atom wm_state, net_wm_state, hidden, above, skip_taskbar, showing_desktop, wm_desktop,
      current_desktop, wm_delete, active_window;
};

class BoxWindow {
 public:
  // The window, unmapped, with its caption and hints; the transient window
  // of `owner` when that is known (not 0).
  BoxWindow(Display* d, const std::string& caption, const BoxLayout& layout, Window owner);
  // Destroys the window unless another client did. On a lost connection
  // these calls only free what Xlib holds: nothing is sent any more.
  ~BoxWindow();
  BoxWindow(const BoxWindow&) = delete;
  BoxWindow& operator=(const BoxWindow&) = delete;

  Window id() const { return window_; }
  const BoxAtoms& atoms() const { return atoms_; }
  // Another client destroyed it.
  void destroyed() { destroyed_ = true; }

  // The first mapping, above the other windows.
  void map();
  void draw(int pressed) { painter_.draw(layout_, pressed); }
  // Makes the box the transient window of the program's window, known only
  // now (the box was shown before the window existed), and raises it.
  void follow_owner(Window owner);
  // Maps the box again and asks the window manager to activate it, as a
  // pager would (source 2): that takes an iconified window back to the
  // normal state and also ends "show desktop". A box the manager has let go
  // (withdrawn) starts anew, with the states it first asked for.
  void show_again(bool withdrawn);

 private:
  void set_window_manager_hints(Window owner);
  void set_first_states();

  Display* d_;
  const BoxLayout& layout_;
  BoxAtoms atoms_;
  BoxPainter painter_;
  Window window_ = 0;
  bool destroyed_ = false;
};

}  // namespace ws
