// What a report box sees of itself and of the root window (BoxSight,
// message_box_return.h), taken from the box's events and read from the
// properties they name, on the box's connection. Internal to the box
// (x11_message_box.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "app/message_box_return.h"
#include "app/x11_box_window.h"

// Last: X defines macros such as None and Bool.
#include <X11/Xlib.h>

namespace ws {

class BoxSightReader {
 public:
  // Asks for the root's property changes ("show desktop", the desktop
  // shown) and reads them once; the box itself is new: unmapped, and
  // nothing set of it by a manager yet.
  BoxSightReader(Display* d, const BoxWindow& box);

  const BoxSight& sight() const { return sight_; }
  // Takes in one event: true when it may have changed the sight (the box
  // mapped or unmapped, a property the box looks at changed).
  bool take(const XEvent& ev);

 private:
  std::vector<unsigned long> property(Window w, Atom name);
  bool read_box(Atom a);
  bool read_root(Atom a);

  Display* d_;
  const Window box_, root_;
  const BoxAtoms& atoms_;
  BoxSight sight_;
};

}  // namespace ws
