// Key handling: translation of window-library key events into key codes, the
// actions (Break, Pause, resume, Alt+Enter) and queueing into the KeyRing.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>

namespace ws {

struct Runtime;

// Named key codes, above 65535.
enum NamedKey : int32_t {
  kKeyLeftShift = 0x10001,
  kKeyRightShift,
  kKeyLeftCtrl,
  kKeyRightCtrl,
  kKeyLeftAlt,
  kKeyRightAlt,
  kKeyCapsLock,
  kKeyNumLock,
  kKeyScrollLock,
  kKeyPause,
  kKeyBreak,
};

struct KeyboardState {
  // Serialises key handling from the window thread and the frame thread's
  // lock-key reports.
  std::mutex mutex;
  std::set<int32_t> held_keys;  // guarded by mutex
  bool scroll_lock_on = false;  // guarded by mutex
};

void handle_key_press(Runtime& rt, int32_t code);
void handle_key_release(Runtime& rt, int32_t code);

}  // namespace ws
