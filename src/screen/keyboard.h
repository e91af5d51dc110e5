// The keyboard: the key ring the program's key poll empties, the keys held
// down, and the key handling that turns each press into an action (Break,
// Pause, resume, Alt+Enter) or a key in the ring.
//
// The key codes are named in key_codes.h. The window side turns the window
// library's key events into key codes (src/app/key_callbacks.h).
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <mutex>

#include "screen/key_codes.h"
#include "screen/key_ring.h"
#include "screen/run_state.h"

namespace ws {

struct KeyboardAtStart;
struct ModifierKeys;

// The set of key codes that are down: one bit per character or special code
// and per named code, so that pressing and releasing never allocates. Codes
// outside those ranges are never held.
class HeldKeys {
 public:
  void insert(int32_t code) {
    if (const int i = index(code); i >= 0) bits_.set(static_cast<size_t>(i));
  }
  void erase(int32_t code) {
    if (const int i = index(code); i >= 0) bits_.reset(static_cast<size_t>(i));
  }
  bool contains(int32_t code) const {
    const int i = index(code);
    return i >= 0 && bits_.test(static_cast<size_t>(i));
  }
  bool shift() const { return contains(kKeyLeftShift) || contains(kKeyRightShift); }
  bool ctrl() const { return contains(kKeyLeftCtrl) || contains(kKeyRightCtrl); }
  bool alt() const { return contains(kKeyLeftAlt) || contains(kKeyRightAlt); }

 private:
  static constexpr int kCodes = 0x10000;
  static constexpr int kNamed = kKeyBreak - 0x10000 + 1;
  static int index(int32_t code) {
    if (code >= 0 && code < kCodes) return code;
    if (code > kCodes && code <= kKeyBreak) return code;
    return -1;
  }
  std::bitset<kCodes + kNamed> bits_;
};

// The key handling's state and what it reaches: the run state's pause and
// end flags, the key ring, and through on_alt_enter the full-screen cycle
// (the presenter's, above the keyboard).
class Keyboard {
 public:
  Keyboard(RunState& state, std::function<void()> on_alt_enter)
      : state_(state), on_alt_enter_(std::move(on_alt_enter)) {}
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // Filled by the key handling (window thread), emptied by the key poll
  // (program thread).
  KeyRing ring;

 private:
  friend void handle_key_press(Keyboard& kb, int32_t code);
  friend void handle_key_release(Keyboard& kb, int32_t code);
  friend void release_modifier_keys(Keyboard& kb);
  friend void hold_modifier_keys(Keyboard& kb, const ModifierKeys& down);
  friend void report_lock_toggles(Keyboard& kb, bool caps_lock, bool num_lock);
  friend void report_keyboard_at_start(Keyboard& kb, const KeyboardAtStart& keys);
  void press(int32_t code);
  void report_toggles(bool caps_lock, bool num_lock);

  RunState& state_;
  std::function<void()> on_alt_enter_;
  // In the program the key handling runs on the window thread only (the
  // report at start on the same main thread, before the other threads run):
  // Alt+Enter reaches the presenter, which is that thread's alone. The mutex
  // keeps the held keys and the pause flag's clear whole all the same
  // against a caller on another thread (the tests' threads).
  std::mutex mutex_;
  // Caps Lock and Num Lock are in the set while their toggle is on.
  HeldKeys held_keys_;  // guarded by mutex_
};

// The key code table: row c (0..255) for the character c, row 256 + s for
// the key with scan code s, rows 512..527 for the numeric keypad. Columns:
enum KeyColumn : int {
  kColBase = 0,   // the code that selects the row
  kColScan = 1,   // the key's scan code
  kColPlain = 2,  // the code the key gives alone,
  kColShift = 3,  // with Shift,
  kColCtrl = 4,   // with Ctrl,
  kColAlt = 5,    // with Alt; columns 6..9 hold keypad codes (unused here)
};
// A code 0xSS00 is the pair (0, SS); another non-zero code c the pair
// (c, the row's scan code); 0 means the combination gives no key.
using KeyCodeRow = std::array<int32_t, 10>;
extern const std::array<KeyCodeRow, 528> key_code_table;

// A press or release of a key code.
void handle_key_press(Keyboard& kb, int32_t code);
void handle_key_release(Keyboard& kb, int32_t code);

// When the window loses the keyboard: the Shift, Ctrl and Alt keys still held
// are released, since their releases will go to another window.
void release_modifier_keys(Keyboard& kb);

// The lock toggles as the keyboard shows them now; changes are reported as
// presses and releases (Scroll Lock has no effect here).
void report_lock_toggles(Keyboard& kb, bool caps_lock, bool num_lock);

// The Shift, Ctrl and Alt keys that are down, as the keyboard shows them.
struct ModifierKeys {
  bool left_shift = false, right_shift = false;
  bool left_ctrl = false, right_ctrl = false;
  bool left_alt = false, right_alt = false;
  bool operator==(const ModifierKeys&) const = default;
};

// When the window gets the keyboard (back): the Shift, Ctrl and Alt keys down
// at that moment count as held, the others as let go. The user may have kept
// one down while the keyboard was elsewhere (a window manager that moves the
// focus out and back in when the window goes full screen, say), and its press
// went to another window. No key is queued and a pause goes on: nobody
// pressed a key in the window.
void hold_modifier_keys(Keyboard& kb, const ModifierKeys& down);

// The keyboard as found at start.
struct KeyboardAtStart : ModifierKeys {
  bool caps_lock = false, num_lock = false;
};
// Reports the toggles that are on and the modifier keys that are down as
// presses. The toggles go first: Num Lock found on while Ctrl happens to be
// held at start is no request to pause.
void report_keyboard_at_start(Keyboard& kb, const KeyboardAtStart& keys);

}  // namespace ws
