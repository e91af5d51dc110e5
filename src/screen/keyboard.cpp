#include "screen/keyboard.h"

#include <optional>
#include <utility>


namespace ws {

namespace {

using Table = std::array<KeyCodeRow, 528>;

constexpr int32_t extended(int scan) { return special_key_code(static_cast<uint8_t>(scan)); }

constexpr void set_row(Table& t, int row, int scan, int32_t plain, int32_t shift, int32_t ctrl,
                       int32_t alt) {
  t[row][kColScan] = scan;
  t[row][kColPlain] = plain;
  t[row][kColShift] = shift;
  t[row][kColCtrl] = ctrl;
  t[row][kColAlt] = alt;
}

// A character key: plain and Shift give the character itself, as the window
// library delivered it.
constexpr void set_character(Table& t, int row, int scan, int32_t ctrl, int32_t alt) {
  set_row(t, row, scan, row, row, ctrl, alt);
}

// A function or cursor key: alone it gives its own key code; with Shift, Ctrl
// and Alt the key codes of the scan codes given.
constexpr void set_special(Table& t, int32_t key, int shift, int ctrl, int alt) {
  const int scan = scan_code_of(key);
  set_row(t, 256 + scan, scan, key, extended(shift), extended(ctrl), extended(alt));
}

constexpr Table make_key_code_table() {
  Table t{};
  for (int row = 0; row < 512; ++row) t[row][kColBase] = row < 256 ? row : extended(row - 256);

  // Letters in alphabetical order, with the scan codes of their keys.
  constexpr int kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                   0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                   0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; ++i) {
    const int scan = kLetterScan[i];
    set_character(t, 'a' + i, scan, kCtrlA + i, extended(scan));
    set_character(t, 'A' + i, scan, kCtrlA + i, extended(scan));
  }

  // The other printable keys: both characters of a key, its scan code, and
  // what it gives with Ctrl and with Alt.
  struct PrintableKey {
    char plain, shifted;
    int scan;
    int32_t ctrl, alt;
  };
  constexpr PrintableKey kPrintable[] = {
      {'1', '!', 0x02, 0, extended(0x78)},     {'2', '@', 0x03, extended(0x03), extended(0x79)},
      {'3', '#', 0x04, 0, extended(0x7A)},     {'4', '$', 0x05, 0, extended(0x7B)},
      {'5', '%', 0x06, 0, extended(0x7C)},     {'6', '^', 0x07, 0x1E, extended(0x7D)},
      {'7', '&', 0x08, 0, extended(0x7E)},     {'8', '*', 0x09, 0, extended(0x7F)},
      {'9', '(', 0x0A, 0, extended(0x80)},     {'0', ')', 0x0B, 0, extended(0x81)},
      {'-', '_', 0x0C, 0x1F, extended(0x82)},  {'=', '+', 0x0D, 0, extended(0x83)},
      {'[', '{', 0x1A, 0x1B, extended(0x1A)},  {']', '}', 0x1B, 0x1D, extended(0x1B)},
      {'\\', '|', 0x2B, 0x1C, extended(0x2B)}, {';', ':', 0x27, 0, extended(0x27)},
      {'\'', '"', 0x28, 0, extended(0x28)},    {'`', '~', 0x29, 0, extended(0x29)},
      {',', '<', 0x33, 0, extended(0x33)},     {'.', '>', 0x34, 0, extended(0x34)},
      {'/', '?', 0x35, 0, extended(0x35)},
  };
  for (const PrintableKey& k : kPrintable) {
    set_character(t, static_cast<unsigned char>(k.plain), k.scan, k.ctrl, k.alt);
    set_character(t, static_cast<unsigned char>(k.shifted), k.scan, k.ctrl, k.alt);
  }

  set_row(t, ' ', 0x39, 0x20, 0x20, 0x20, 0);
  set_row(t, kEnter, 0x1C, kEnter, kEnter, kLinefeed, 0);
  set_row(t, kBackspace, 0x0E, kBackspace, kBackspace, kDeleteCharacter, extended(0x0E));
  set_row(t, kTab, 0x0F, kTab, extended(0x0F), extended(0x94), 0);
  set_row(t, kEscape, 0x01, kEscape, kEscape, kEscape, 0);
  // Control characters that X delivers without the Ctrl conversion to a
  // letter: Linefeed is Ctrl+Enter; 28..31 come from Ctrl with \ ] 6 -
  // (and Ctrl+4..7 on X) and give what those keys give with Ctrl.
  set_row(t, kLinefeed, 0x1C, kLinefeed, kLinefeed, kLinefeed, 0);
  set_row(t, 28, 0x2B, 0x1C, 0x1C, 0x1C, 0);
  set_row(t, 29, 0x1B, 0x1D, 0x1D, 0x1D, 0);
  set_row(t, 30, 0x07, 0x1E, 0x1E, 0x1E, 0);
  set_row(t, 31, 0x0C, 0x1F, 0x1F, 0x1F, 0);

  // Function and cursor keys: the key, then its scan codes with Shift, Ctrl
  // and Alt.
  for (int i = 0; i < 10; ++i) set_special(t, kKeyF1 + extended(i), 0x54 + i, 0x5E + i, 0x68 + i);
  set_special(t, kKeyF11, 0x85, 0x89, 0x8B);
  set_special(t, kKeyF12, 0x86, 0x8A, 0x8C);
  set_special(t, kKeyHome, 0x47, 0x77, 0x97);
  set_special(t, kKeyUp, 0x48, 0x8D, 0x98);
  set_special(t, kKeyPageUp, 0x49, 0x84, 0x99);
  set_special(t, kKeyLeft, 0x4B, 0x73, 0x9B);
  set_special(t, kKeyRight, 0x4D, 0x74, 0x9D);
  set_special(t, kKeyEnd, 0x4F, 0x75, 0x9F);
  set_special(t, kKeyDown, 0x50, 0x91, 0xA0);
  set_special(t, kKeyPageDown, 0x51, 0x76, 0xA1);
  set_special(t, kKeyInsert, 0x52, 0x92, 0xA2);
  set_special(t, kKeyDelete, 0x53, 0x93, 0xA3);
  // The keypad rows stay empty: the window library delivers keypad keys as
  // characters or as the cursor keys above.
  return t;
}

// The pair a table code stands for, read from a row.
std::optional<KeyPair> pair_from(const KeyCodeRow& row, int32_t code) {
  if (code == 0) return std::nullopt;
  if ((code & 0xFF) == 0 && code <= 0xFF00) return KeyPair{0, scan_code_of(code)};
  return KeyPair{static_cast<uint8_t>(code), static_cast<uint8_t>(row[kColScan])};
}

// Each modifier key of a ModifierKeys with its key code.
std::array<std::pair<bool, int32_t>, 6> modifier_codes(const ModifierKeys& keys) {
  return {{{keys.left_shift, kKeyLeftShift},
           {keys.right_shift, kKeyRightShift},
           {keys.left_ctrl, kKeyLeftCtrl},
           {keys.right_ctrl, kKeyRightCtrl},
           {keys.left_alt, kKeyLeftAlt},
           {keys.right_alt, kKeyRightAlt}}};
}

int column_for(const HeldKeys& held) {
  if (held.alt()) return kColAlt;
  if (held.ctrl()) return kColCtrl;
  if (held.shift()) return kColShift;
  return kColPlain;
}

// The pair a key code queues with the modifiers now held, if any.
std::optional<KeyPair> translate(int32_t code, const HeldKeys& held) {
  if (code >= 1 && code <= 255) {
    const KeyCodeRow& row = key_code_table[code];
    return pair_from(row, row[column_for(held)]);
  }
  if (code >= 256 && code <= 0xFFFF) {
    const uint8_t scan = scan_code_of(code);
    const KeyCodeRow& row = key_code_table[256 + scan];
    if (row[kColPlain] == 0) return KeyPair{0, scan};
    return pair_from(row, row[column_for(held)]);
  }
  return std::nullopt;  // named codes queue nothing
}

}  // namespace

// The key handling proper; the caller holds mutex_.
void Keyboard::press(int32_t code) {
  held_keys_.insert(code);
  if (code == kKeyBreak) {
    state_.program_ended.store(1, std::memory_order_release);
    return;
  }
  if (code == kKeyPause || (code == kKeyNumLock && held_keys_.ctrl())) {
    // Sequentially consistent, as the statement-end handler's clear and
    // loads: a handler that clears this event_pending sees the pause.
    state_.pause_requested.fetch_or(1, std::memory_order_seq_cst);
    state_.event_pending.store(1, std::memory_order_seq_cst);
    return;
  }
  // Every writer of pause_requested holds the mutex.
  if ((state_.pause_requested.load(std::memory_order_relaxed) & 1) != 0) {
    state_.pause_requested.fetch_and(static_cast<uint8_t>(~1u), std::memory_order_release);
    return;
  }
  if (code == kEnter && held_keys_.alt()) {
    on_alt_enter_();
    return;
  }
  // A full ring drops the key without a sign.
  if (const auto pair = translate(code, held_keys_)) ring.push(*pair);
}

// Reports each lock toggle that differs from the recorded one as a press (on)
// or a release (off).
void Keyboard::report_toggles(bool caps_lock, bool num_lock) {
  const std::pair<int32_t, bool> toggles[] = {{kKeyCapsLock, caps_lock}, {kKeyNumLock, num_lock}};
  for (const auto& [code, on] : toggles) {
    if (on == held_keys_.contains(code)) continue;
    if (on)
      press(code);
    else
      held_keys_.erase(code);
  }
}

constinit const std::array<KeyCodeRow, 528> key_code_table = make_key_code_table();

void handle_key_press(Keyboard& kb, int32_t code) {
  std::lock_guard lock(kb.mutex_);
  kb.press(code);
}

void handle_key_release(Keyboard& kb, int32_t code) {
  std::lock_guard lock(kb.mutex_);
  kb.held_keys_.erase(code);
}

void release_modifier_keys(Keyboard& kb) { hold_modifier_keys(kb, {}); }

void report_lock_toggles(Keyboard& kb, bool caps_lock, bool num_lock) {
  std::lock_guard lock(kb.mutex_);
  kb.report_toggles(caps_lock, num_lock);
}

void hold_modifier_keys(Keyboard& kb, const ModifierKeys& down) {
  std::lock_guard lock(kb.mutex_);
  for (const auto& [is_down, code] : modifier_codes(down)) {
    if (is_down)
      kb.held_keys_.insert(code);
    else
      kb.held_keys_.erase(code);
  }
}

void report_keyboard_at_start(Keyboard& kb, const KeyboardAtStart& keys) {
  std::lock_guard lock(kb.mutex_);
  kb.report_toggles(keys.caps_lock, keys.num_lock);
  for (const auto& [down, code] : modifier_codes(keys))
    if (down) kb.press(code);
}

}  // namespace ws
