// The keyboard state as the X server keeps it: the modifier keys down and the
// lock toggles on at start (read on a connection of its own), the lock
// toggles' modifier bits, and the modifier keys of a key vector.
#include "app/display_name.h"
#include "app/keyboard_x11.h"
#include "screen/keyboard.h"
#include "screen/runtime.h"

// After the runtime's headers: X defines macros such as None.
#include <GL/freeglut.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ws {

LockMasks lock_masks(Display* d) {
  LockMasks m;
  m.caps = LockMask;
  m.num = XkbKeysymToModifiers(d, XK_Num_Lock);
  return m;
}

LockToggles lock_toggles(unsigned locked, const LockMasks& m) {
  return {(locked & m.caps) != 0, m.num != 0 && (locked & m.num) != 0};
}

ModifierKeycodes modifier_keycodes(Display* d) {
  ModifierKeycodes c;
  c.left_shift = XKeysymToKeycode(d, XK_Shift_L);
  c.right_shift = XKeysymToKeycode(d, XK_Shift_R);
  c.left_ctrl = XKeysymToKeycode(d, XK_Control_L);
  c.right_ctrl = XKeysymToKeycode(d, XK_Control_R);
  c.left_alt = XKeysymToKeycode(d, XK_Alt_L);
  c.right_alt = XKeysymToKeycode(d, XK_Alt_R);
  return c;
}

ModifierKeys modifiers_down(const char (&keys)[32], const ModifierKeycodes& c) {
  auto down = [&keys](uint8_t code) {
    return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
  };
  ModifierKeys m;
  m.left_shift = down(c.left_shift);
  m.right_shift = down(c.right_shift);
  m.left_ctrl = down(c.left_ctrl);
  m.right_ctrl = down(c.right_ctrl);
  m.left_alt = down(c.left_alt);
  m.right_alt = down(c.right_alt);
  return m;
}

void record_keyboard_state_at_start(Runtime& rt, const std::optional<std::string>& display_name) {
  Display* d = open_display(display_name);
  if (d == nullptr) return;
  char keys[32];
  XQueryKeymap(d, keys);
  KeyboardAtStart at_start{modifiers_down(keys, modifier_keycodes(d))};
  XkbStateRec state;
  if (XkbGetState(d, XkbUseCoreKbd, &state) == Success) {
    const LockToggles t = lock_toggles(state.locked_mods, lock_masks(d));
    at_start.caps_lock = t.caps;
    at_start.num_lock = t.num;
  }
  XCloseDisplay(d);
  report_keyboard_at_start(rt.keyboard, at_start);
}

}  // namespace ws
