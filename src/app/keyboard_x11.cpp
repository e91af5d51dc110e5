// The keyboard state as the X server keeps it: the modifier keys down and the
// lock toggles on at start (read on a connection of its own), and the lock
// toggles' modifier bits.
#include "app/display_name.h"
#include "app/lock_keys.h"
#include "app/window.h"
#include "screen/keyboard.h"
#include "screen/runtime.h"

// After the runtime's headers: X defines macros such as None.
#include <GL/freeglut.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ws {

namespace {

bool key_down(Display* d, const char keys[32], KeySym sym) {
  const KeyCode code = XKeysymToKeycode(d, sym);
  return code != 0 && (keys[code / 8] & (1 << (code % 8))) != 0;
}

}  // namespace

LockMasks lock_masks(Display* d) {
  LockMasks m;
  m.caps = LockMask;
  m.num = XkbKeysymToModifiers(d, XK_Num_Lock);
  return m;
}

LockToggles lock_toggles(unsigned locked, const LockMasks& m) {
  return {(locked & m.caps) != 0, m.num != 0 && (locked & m.num) != 0};
}

void record_keyboard_state_at_start(Runtime& rt, const std::optional<std::string>& display_name) {
  Display* d = open_display(display_name);
  if (d == nullptr) return;
  KeyboardAtStart at_start;
  char keys[32];
  XQueryKeymap(d, keys);
  at_start.left_shift = key_down(d, keys, XK_Shift_L);
  at_start.right_shift = key_down(d, keys, XK_Shift_R);
  at_start.left_ctrl = key_down(d, keys, XK_Control_L);
  at_start.right_ctrl = key_down(d, keys, XK_Control_R);
  at_start.left_alt = key_down(d, keys, XK_Alt_L);
  at_start.right_alt = key_down(d, keys, XK_Alt_R);
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
