// Key handling: translation of window-library key events into key codes, the
// actions (Break, Pause, resume, Alt+Enter) and queueing into the KeyRing.
//
// A key code is a character 1..255, a scan code * 256 for a function or
// cursor key (F1 0x3B00, Delete 0x5300), or one of the named codes below.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <mutex>

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

// The Delete key (character 127 arrives as this code).
constexpr int32_t kKeyDelete = 0x5300;

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

struct KeyboardState {
  // Serialises key handling from the window thread and the frame thread's
  // lock-key reports.
  std::mutex mutex;
  // Caps Lock and Num Lock are in the set while their toggle is on.
  HeldKeys held_keys;           // guarded by mutex
  bool scroll_lock_on = false;  // guarded by mutex
};

// Modifier bits of a key event, as the window library reports them.
constexpr int kModShift = 1, kModCtrl = 2, kModAlt = 4;

// The window library's special key numbers.
enum LibraryKey : int {
  kLibF1 = 1,
  kLibF10 = 10,
  kLibF11 = 11,
  kLibF12 = 12,
  kLibLeft = 100,
  kLibUp,
  kLibRight,
  kLibDown,
  kLibPageUp,
  kLibPageDown,
  kLibHome,
  kLibEnd,
  kLibInsert,
  kLibNumLock,
  kLibBegin,
  kLibDelete,
  kLibShiftL,
  kLibShiftR,
  kLibCtrlL,
  kLibCtrlR,
  kLibAltL,
  kLibAltR,
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

// Window thread: the window library's keyboard callbacks. modifiers are the
// kMod* bits the library reports for the event.
void on_key_down(Runtime& rt, unsigned char character, int modifiers);
void on_key_up(Runtime& rt, unsigned char character, int modifiers);
void on_special_key_down(Runtime& rt, int library_key);
void on_special_key_up(Runtime& rt, int library_key);

void handle_key_press(Runtime& rt, int32_t code);
void handle_key_release(Runtime& rt, int32_t code);

// Window thread, when the window loses the keyboard: the Shift, Ctrl and Alt
// keys still held are released, since their releases will go to another
// window.
void release_modifier_keys(Runtime& rt);

// Frame thread (every pass without frame building): the lock toggles as the
// keyboard shows them now; changes are reported as presses and releases.
void report_lock_toggles(Runtime& rt, bool caps_lock, bool num_lock, bool scroll_lock);

// The keyboard as found at start.
struct KeyboardAtStart {
  bool left_shift = false, right_shift = false;
  bool left_ctrl = false, right_ctrl = false;
  bool left_alt = false, right_alt = false;
  bool caps_lock = false, num_lock = false, scroll_lock = false;
};
// Reports the toggles that are on and the modifier keys that are down as
// presses. The toggles go first: Num Lock found on while Ctrl happens to be
// held at start is no request to pause.
void report_keyboard_at_start(Runtime& rt, const KeyboardAtStart& keys);

}  // namespace ws
