// The keyboard's state as the X server keeps it: the lock toggles (Caps
// Lock, Num Lock) as the X keyboard extension reports them, the modifier
// keys down in a key vector, the one bit per keycode that XQueryKeymap and a
// KeymapNotify event give, and the reading of both at start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "screen/keyboard.h"

typedef struct _XDisplay Display;

namespace ws {

struct Runtime;

struct LockMasks {
  unsigned caps = 0;
  unsigned num = 0;  // 0 when Num Lock sets no modifier on this keymap
};
LockMasks lock_masks(Display* display);

struct LockToggles {
  bool caps = false, num = false;
};
LockToggles lock_toggles(unsigned locked_mods, const LockMasks& masks);

// The keycodes of the six modifier keys on a connection's keymap, looked up
// once (0 for a key the keymap does not have).
struct ModifierKeycodes {
  uint8_t left_shift = 0, right_shift = 0;
  uint8_t left_ctrl = 0, right_ctrl = 0;
  uint8_t left_alt = 0, right_alt = 0;
};
ModifierKeycodes modifier_keycodes(Display* display);

// The modifier keys down in a key vector of 32 bytes (bit k % 8 of byte k / 8
// for keycode k).
ModifierKeys modifiers_down(const char (&keys)[32], const ModifierKeycodes& codes);

// Records the Shift, Ctrl and Alt keys that are down and the lock toggles
// that are on at start, as presses, before the program thread starts. Uses
// a connection of its own to the display named (display_name.h); does
// nothing when that cannot be opened.
void record_keyboard_state_at_start(Runtime& rt, const std::optional<std::string>& display_name);

}  // namespace ws
