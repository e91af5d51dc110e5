#include "app/x11_box_sight.h"

#include <algorithm>

#include <X11/Xutil.h>

#include "app/x11_support.h"

namespace ws {

namespace {

std::optional<uint32_t> first(const std::vector<unsigned long>& values) {
  if (values.empty()) return std::nullopt;
  return static_cast<uint32_t>(values[0]);
}

BoxWmState wm_state_of(std::optional<uint32_t> state) {
  if (!state) return BoxWmState::Missing;
  if (*state == WithdrawnState) return BoxWmState::Withdrawn;
  return *state == IconicState ? BoxWmState::Iconic : BoxWmState::Normal;
}

}  // namespace

BoxSightReader::BoxSightReader(Display* d, const BoxWindow& box)
    : d_(d), box_(box.id()), root_(DefaultRootWindow(d)), atoms_(box.atoms()) {
  XSelectInput(d_, root_, PropertyChangeMask);
  read_root(atoms_.showing_desktop);
  read_root(atoms_.current_desktop);
}

bool BoxSightReader::take(const XEvent& ev) {
  switch (ev.type) {
    case MapNotify:
    case UnmapNotify:
      if (ev.xany.window != box_) return false;
      sight_.mapped = ev.type == MapNotify;
      return true;
    case PropertyNotify:
      return ev.xproperty.window == box_ ? read_box(ev.xproperty.atom)
                                         : read_root(ev.xproperty.atom);
    default:
      return false;
  }
}

// The 32-bit values of a property (empty when it is missing).
std::vector<unsigned long> BoxSightReader::property(Window w, Atom name) {
  return property_values(d_, w, name, AnyPropertyType, 32);
}

bool BoxSightReader::read_box(Atom a) {
  if (a == atoms_.wm_state) {
    sight_.wm_state = wm_state_of(first(property(box_, a)));
  } else if (a == atoms_.net_wm_state) {
    const auto states = property(box_, a);
    sight_.hidden = std::find(states.begin(), states.end(), atoms_.hidden) != states.end();
  } else if (a == atoms_.wm_desktop) {
    sight_.desktop = first(property(box_, a));
  } else {
    return false;
  }
  return true;
}

bool BoxSightReader::read_root(Atom a) {
  if (a == atoms_.showing_desktop)
    sight_.showing_desktop = first(property(root_, a)) == 1u;
  else if (a == atoms_.current_desktop)
    sight_.current_desktop = first(property(root_, a));
  else
    return false;
  return true;
}

}  // namespace ws
