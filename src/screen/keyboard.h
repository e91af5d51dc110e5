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

// Modifier bits of a key event, as the window library reports them.
constexpr int kModShift = 1, kModCtrl = 2, kModAlt = 4;

// Window thread: the window library's keyboard callbacks.
void on_key_down(Runtime& rt, unsigned char character, int modifiers);
void on_key_up(Runtime& rt, unsigned char character, int modifiers);
void on_special_key_down(Runtime& rt, int library_key);
void on_special_key_up(Runtime& rt, int library_key);

void handle_key_press(Runtime& rt, int32_t code);
void handle_key_release(Runtime& rt, int32_t code);

// Frame thread (every pass without frame building): the lock toggles as the
// keyboard shows them now; changes are reported as presses and releases.
void report_lock_toggles(Runtime& rt, bool caps_lock, bool num_lock, bool scroll_lock);

}  // namespace ws
