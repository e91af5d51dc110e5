// The lock toggles (Caps Lock, Num Lock) as the X keyboard
// extension reports them: which locked-modifier bit each one sets on a
// connection's keymap, and the toggles a set of locked modifiers stands for.
#pragma once

typedef struct _XDisplay Display;

namespace ws {

struct LockMasks {
  unsigned caps = 0;
  unsigned num = 0;  // 0 when Num Lock sets no modifier on this keymap
};
LockMasks lock_masks(Display* display);

struct LockToggles {
  bool caps = false, num = false;
};
LockToggles lock_toggles(unsigned locked_mods, const LockMasks& masks);

}  // namespace ws
