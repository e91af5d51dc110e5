// The key codes and control bytes, named once: the window side's key
// callbacks (src/app/key_callbacks.cpp) produce these codes, the key handling
// and its key code table (keyboard.cpp) turn them into key pairs, and the
// printing and the number input act on the control bytes.
//
// A key code is a character 1..255, a scan code * 256 for a function or
// cursor key (F1 0x3B00, Delete 0x5300), or one of the named codes above
// 65535 (the modifier keys, the lock keys, Pause and Break).
#pragma once

#include <cstdint>

namespace ws {

// Control bytes, as characters of a key and as bytes of a printed text.
inline constexpr uint8_t kBell = 7;
inline constexpr uint8_t kBackspace = 8;
inline constexpr uint8_t kTab = 9;
inline constexpr uint8_t kLinefeed = 10;
inline constexpr uint8_t kEnter = 13;
inline constexpr uint8_t kEscape = 27;
// The character that the Delete key types; it reaches the key handling as
// the Delete key's code.
inline constexpr uint8_t kDeleteCharacter = 127;
// With Ctrl held the window library delivers the letters a..z as these
// control codes.
inline constexpr uint8_t kCtrlA = 1, kCtrlZ = 26;

// Bytes that print nothing and do not move the cursor: Tab, Linefeed, the
// vertical tab, the form feed, Enter, and 28..31. The number input takes
// none of them as typed text (Tab and Enter have their own meaning there, and
// reach it before this test).
constexpr bool is_silent_control(uint8_t c) {
  return (c >= kTab && c <= kEnter) || (c >= 28 && c <= 31);
}

// The key code of a function or cursor key, from its scan code (set 1 of a
// US keyboard), and back.
constexpr int32_t special_key_code(uint8_t scan) { return int32_t{scan} << 8; }
constexpr uint8_t scan_code_of(int32_t special_code) {
  return static_cast<uint8_t>(special_code >> 8);
}

// The function and cursor keys that the window library reports.
enum SpecialKey : int32_t {
  kKeyF1 = 0x3B00,  // F1..F10 follow each other: 0x3B00..0x4400
  kKeyF10 = 0x4400,
  kKeyF11 = 0x8500,
  kKeyF12 = 0x8600,
  kKeyHome = 0x4700,
  kKeyUp = 0x4800,
  kKeyPageUp = 0x4900,
  kKeyLeft = 0x4B00,
  kKeyRight = 0x4D00,
  kKeyEnd = 0x4F00,
  kKeyDown = 0x5000,
  kKeyPageDown = 0x5100,
  kKeyInsert = 0x5200,
  kKeyDelete = 0x5300,
};

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

}  // namespace ws
