// Key handling run headless: what each key event queues, the actions (Break,
// Pause, resume, Alt+Enter), the lock-key reports and the keyboard at start.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <GL/freeglut.h>

#include "app/key_callbacks.h"
#include "screen/key_codes.h"
#include "support/headless.h"
#include "winding/statement.h"

namespace ws::test {
namespace {

std::string text(const std::vector<KeyPair>& keys) {
  std::string s;
  char buf[16];
  for (const KeyPair& k : keys) {
    std::snprintf(buf, sizeof buf, "(%02X,%02X)", k.character, k.scan);
    s += buf;
  }
  return s.empty() ? "nothing" : s;
}

std::vector<KeyPair> drain(Runtime& rt) {
  std::vector<KeyPair> keys;
  for (KeyPair k; rt.keyboard.ring.pop(k);) keys.push_back(k);
  return keys;
}

std::string drained(Runtime& rt) { return text(drain(rt)); }

bool paused(const Runtime& rt) { return (rt.state.pause_requested.load() & 1) != 0; }

// A character typed with the modifier keys that the window library reports
// for it; the matching modifier keys are pressed first as special keys.
void type_char(Runtime& rt, unsigned char c, int modifiers = 0) {
  if (modifiers & GLUT_ACTIVE_SHIFT) on_special_key_down(rt.keyboard, GLUT_KEY_SHIFT_L);
  if (modifiers & GLUT_ACTIVE_CTRL) on_special_key_down(rt.keyboard, GLUT_KEY_CTRL_L);
  if (modifiers & GLUT_ACTIVE_ALT) on_special_key_down(rt.keyboard, GLUT_KEY_ALT_L);
  on_key_down(rt.keyboard, c, modifiers);
  on_key_up(rt.keyboard, c, modifiers);
  if (modifiers & GLUT_ACTIVE_ALT) on_special_key_up(rt.keyboard, GLUT_KEY_ALT_L);
  if (modifiers & GLUT_ACTIVE_CTRL) on_special_key_up(rt.keyboard, GLUT_KEY_CTRL_L);
  if (modifiers & GLUT_ACTIVE_SHIFT) on_special_key_up(rt.keyboard, GLUT_KEY_SHIFT_L);
}

void type_special(Runtime& rt, int library_key, int held_modifier = 0) {
  if (held_modifier) on_special_key_down(rt.keyboard, held_modifier);
  on_special_key_down(rt.keyboard, library_key);
  on_special_key_up(rt.keyboard, library_key);
  if (held_modifier) on_special_key_up(rt.keyboard, held_modifier);
}

TEST(KeyTranslation, EachEventQueuesTheTablePairOrNothing) {
  struct Case {
    const char* what;
    void (*act)(Runtime&);
    const char* queued;
  };
  const Case cases[] = {
      {"a", [](Runtime& rt) { type_char(rt, 'a'); }, "(61,1E)"},
      {"Shift+a", [](Runtime& rt) { type_char(rt, 'A', GLUT_ACTIVE_SHIFT); }, "(41,1E)"},
      {"z", [](Runtime& rt) { type_char(rt, 'z'); }, "(7A,2C)"},
      {"Ctrl+a", [](Runtime& rt) { type_char(rt, kCtrlA, GLUT_ACTIVE_CTRL); }, "(01,1E)"},
      {"Ctrl+Shift+m", [](Runtime& rt) { type_char(rt, kCtrlA + 'm' - 'a', GLUT_ACTIVE_CTRL | GLUT_ACTIVE_SHIFT); }, "(0D,32)"},
      {"Alt+a", [](Runtime& rt) { type_char(rt, 'a', GLUT_ACTIVE_ALT); }, "(00,1E)"},
      {"+ from the main keys", [](Runtime& rt) { type_char(rt, '+', GLUT_ACTIVE_SHIFT); }, "(2B,0D)"},
      {"+ from the keypad", [](Runtime& rt) { type_char(rt, '+'); }, "(2B,0D)"},
      {"-", [](Runtime& rt) { type_char(rt, '-'); }, "(2D,0C)"},
      {"Ctrl+-", [](Runtime& rt) { type_char(rt, '-', GLUT_ACTIVE_CTRL); }, "(1F,0C)"},
      {"Alt+-", [](Runtime& rt) { type_char(rt, '-', GLUT_ACTIVE_ALT); }, "(00,82)"},
      {"Ctrl++", [](Runtime& rt) { type_char(rt, '+', GLUT_ACTIVE_CTRL | GLUT_ACTIVE_SHIFT); }, "nothing"},
      {"Alt+Shift+1", [](Runtime& rt) { type_char(rt, '!', GLUT_ACTIVE_ALT | GLUT_ACTIVE_SHIFT); }, "(00,78)"},
      {"Ctrl+2", [](Runtime& rt) { type_char(rt, '2', GLUT_ACTIVE_CTRL); }, "(00,03)"},
      {"Ctrl+6", [](Runtime& rt) { type_char(rt, '^', GLUT_ACTIVE_CTRL | GLUT_ACTIVE_SHIFT); }, "(1E,07)"},
      {"Ctrl+[", [](Runtime& rt) { type_char(rt, '[', GLUT_ACTIVE_CTRL); }, "(1B,1A)"},
      {"Ctrl+\\ as X delivers it", [](Runtime& rt) { type_char(rt, 28, GLUT_ACTIVE_CTRL); }, "(1C,2B)"},
      {"Enter", [](Runtime& rt) { type_char(rt, kEnter); }, "(0D,1C)"},
      {"Ctrl+Enter", [](Runtime& rt) { type_char(rt, kLinefeed, GLUT_ACTIVE_CTRL); }, "(0A,1C)"},
      {"Linefeed", [](Runtime& rt) { type_char(rt, kLinefeed); }, "(0A,1C)"},
      {"Space", [](Runtime& rt) { type_char(rt, ' '); }, "(20,39)"},
      {"Alt+Space", [](Runtime& rt) { type_char(rt, ' ', GLUT_ACTIVE_ALT); }, "nothing"},
      {"Backspace", [](Runtime& rt) { type_char(rt, kBackspace); }, "(08,0E)"},
      {"Alt+Backspace", [](Runtime& rt) { type_char(rt, kBackspace, GLUT_ACTIVE_ALT); }, "(00,0E)"},
      {"Tab", [](Runtime& rt) { type_char(rt, kTab); }, "(09,0F)"},
      {"Shift+Tab", [](Runtime& rt) { type_char(rt, kTab, GLUT_ACTIVE_SHIFT); }, "(00,0F)"},
      {"Esc", [](Runtime& rt) { type_char(rt, kEscape); }, "(1B,01)"},
      {"Delete", [](Runtime& rt) { type_char(rt, kDeleteCharacter); }, "(00,53)"},
      {"Ctrl+Delete", [](Runtime& rt) { type_char(rt, kDeleteCharacter, GLUT_ACTIVE_CTRL); }, "(00,93)"},
      {"character 0", [](Runtime& rt) { type_char(rt, 0, GLUT_ACTIVE_CTRL); }, "nothing"},
      {"character 200", [](Runtime& rt) { type_char(rt, 200); }, "nothing"},
      {"F1", [](Runtime& rt) { type_special(rt, GLUT_KEY_F1); }, "(00,3B)"},
      {"F10", [](Runtime& rt) { type_special(rt, GLUT_KEY_F10); }, "(00,44)"},
      {"Shift+F1", [](Runtime& rt) { type_special(rt, GLUT_KEY_F1, GLUT_KEY_SHIFT_R); }, "(00,54)"},
      {"Ctrl+F10", [](Runtime& rt) { type_special(rt, GLUT_KEY_F10, GLUT_KEY_CTRL_R); }, "(00,67)"},
      {"Alt+F10", [](Runtime& rt) { type_special(rt, GLUT_KEY_F10, GLUT_KEY_ALT_R); }, "(00,71)"},
      {"F11", [](Runtime& rt) { type_special(rt, GLUT_KEY_F11); }, "(00,85)"},
      {"Alt+F12", [](Runtime& rt) { type_special(rt, GLUT_KEY_F12, GLUT_KEY_ALT_L); }, "(00,8C)"},
      {"Left Up Right Down",
       [](Runtime& rt) {
         for (int k : {GLUT_KEY_LEFT, GLUT_KEY_UP, GLUT_KEY_RIGHT, GLUT_KEY_DOWN}) type_special(rt, k);
       },
       "(00,4B)(00,48)(00,4D)(00,50)"},
      {"Page Up Page Down Home End Insert",
       [](Runtime& rt) {
         for (int k : {GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_DOWN, GLUT_KEY_HOME, GLUT_KEY_END, GLUT_KEY_INSERT})
           type_special(rt, k);
       },
       "(00,49)(00,51)(00,47)(00,4F)(00,52)"},
      {"Ctrl+Right", [](Runtime& rt) { type_special(rt, GLUT_KEY_RIGHT, GLUT_KEY_CTRL_L); }, "(00,74)"},
      {"Alt+Down", [](Runtime& rt) { type_special(rt, GLUT_KEY_DOWN, GLUT_KEY_ALT_L); }, "(00,A0)"},
      {"keypad Delete", [](Runtime& rt) { type_special(rt, GLUT_KEY_DELETE); }, "(00,53)"},
      {"special keys without a code",
       [](Runtime& rt) {
         for (int k : {int{GLUT_KEY_NUM_LOCK}, int{GLUT_KEY_BEGIN}, 0x76, 0, 99, 200}) type_special(rt, k);
       },
       "nothing"},
      {"modifier keys alone",
       [](Runtime& rt) {
         for (int k : {GLUT_KEY_SHIFT_L, GLUT_KEY_SHIFT_R, GLUT_KEY_CTRL_L, GLUT_KEY_CTRL_R, GLUT_KEY_ALT_L, GLUT_KEY_ALT_R})
           type_special(rt, k);
       },
       "nothing"},
      {"a scan code without a row",
       [](Runtime& rt) {
         handle_key_press(rt.keyboard, special_key_code(0x12));
         handle_key_release(rt.keyboard, special_key_code(0x12));
       },
       "(00,12)"},
  };
  for (const Case& c : cases) {
    Headless h;
    c.act(h.rt);
    EXPECT_EQ(drained(h.rt), c.queued) << c.what;
  }
}

TEST(KeyTranslation, ModifierColumnFollowsTheHeldKeysAltBeforeCtrlBeforeShift) {
  Headless h;
  Runtime& rt = h.rt;
  handle_key_press(rt.keyboard, kKeyRightShift);
  handle_key_press(rt.keyboard, kKeyRightCtrl);
  handle_key_press(rt.keyboard, kKeyF1);  // Ctrl column wins over Shift
  handle_key_press(rt.keyboard, kKeyLeftAlt);
  handle_key_press(rt.keyboard, kKeyF1);  // Alt column wins over both
  handle_key_release(rt.keyboard, kKeyLeftAlt);
  handle_key_release(rt.keyboard, kKeyRightCtrl);
  handle_key_press(rt.keyboard, kKeyF1);  // Shift is still held
  handle_key_release(rt.keyboard, kKeyRightShift);
  handle_key_press(rt.keyboard, kKeyF1);
  EXPECT_EQ(drained(rt), "(00,5E)(00,68)(00,54)(00,3B)");
}

TEST(KeyTranslation, LettersCarryTheScanCodesOfTheirKeysInBothCases) {
  // The three letter rows of the keyboard, each numbered from its first key.
  const struct {
    const char* letters;
    int first_scan;
  } rows[] = {{"qwertyuiop", 0x10}, {"asdfghjkl", 0x1E}, {"zxcvbnm", 0x2C}};
  for (const auto& row : rows) {
    for (int i = 0; row.letters[i] != 0; ++i) {
      const char lower = row.letters[i];
      const char upper = static_cast<char>(lower - 32);
      Headless h;
      // Plain, Shift, Ctrl (delivered as the control code) and Alt.
      type_char(h.rt, static_cast<unsigned char>(lower));
      type_char(h.rt, static_cast<unsigned char>(upper), GLUT_ACTIVE_SHIFT);
      type_char(h.rt, static_cast<unsigned char>(lower - 96), GLUT_ACTIVE_CTRL);
      type_char(h.rt, static_cast<unsigned char>(lower), GLUT_ACTIVE_ALT);
      const int scan = row.first_scan + i;
      // Ctrl+J is the linefeed, which counts as Ctrl+Enter.
      const int ctrl_scan = lower == 'j' ? 0x1C : scan;
      char expected[64];
      std::snprintf(expected, sizeof expected, "(%02X,%02X)(%02X,%02X)(%02X,%02X)(00,%02X)",
                    lower, scan, upper, scan, lower - 96, ctrl_scan, scan);
      EXPECT_EQ(drained(h.rt), expected) << lower;
    }
  }
}

// Every function and cursor key the window library reports, through the
// callbacks and the key handling, against the keys' scan codes as a PC
// keyboard gives them alone, with Shift, with Ctrl and with Alt.
TEST(KeyTranslation, EverySpecialKeyQueuesTheScanCodesOfItsFourColumns) {
  const struct {
    const char* name;
    int library_key;
    int plain, shift, ctrl, alt;
  } keys[] = {
      {"F1", GLUT_KEY_F1, 0x3B, 0x54, 0x5E, 0x68},
      {"F2", GLUT_KEY_F2, 0x3C, 0x55, 0x5F, 0x69},
      {"F3", GLUT_KEY_F3, 0x3D, 0x56, 0x60, 0x6A},
      {"F4", GLUT_KEY_F4, 0x3E, 0x57, 0x61, 0x6B},
      {"F5", GLUT_KEY_F5, 0x3F, 0x58, 0x62, 0x6C},
      {"F6", GLUT_KEY_F6, 0x40, 0x59, 0x63, 0x6D},
      {"F7", GLUT_KEY_F7, 0x41, 0x5A, 0x64, 0x6E},
      {"F8", GLUT_KEY_F8, 0x42, 0x5B, 0x65, 0x6F},
      {"F9", GLUT_KEY_F9, 0x43, 0x5C, 0x66, 0x70},
      {"F10", GLUT_KEY_F10, 0x44, 0x5D, 0x67, 0x71},
      {"F11", GLUT_KEY_F11, 0x85, 0x85, 0x89, 0x8B},
      {"F12", GLUT_KEY_F12, 0x86, 0x86, 0x8A, 0x8C},
      {"Home", GLUT_KEY_HOME, 0x47, 0x47, 0x77, 0x97},
      {"Up", GLUT_KEY_UP, 0x48, 0x48, 0x8D, 0x98},
      {"Page Up", GLUT_KEY_PAGE_UP, 0x49, 0x49, 0x84, 0x99},
      {"Left", GLUT_KEY_LEFT, 0x4B, 0x4B, 0x73, 0x9B},
      {"Right", GLUT_KEY_RIGHT, 0x4D, 0x4D, 0x74, 0x9D},
      {"End", GLUT_KEY_END, 0x4F, 0x4F, 0x75, 0x9F},
      {"Down", GLUT_KEY_DOWN, 0x50, 0x50, 0x91, 0xA0},
      {"Page Down", GLUT_KEY_PAGE_DOWN, 0x51, 0x51, 0x76, 0xA1},
      {"Insert", GLUT_KEY_INSERT, 0x52, 0x52, 0x92, 0xA2},
      {"keypad Delete", GLUT_KEY_DELETE, 0x53, 0x53, 0x93, 0xA3},
  };
  for (const auto& k : keys) {
    Headless h;
    type_special(h.rt, k.library_key);
    type_special(h.rt, k.library_key, GLUT_KEY_SHIFT_L);
    type_special(h.rt, k.library_key, GLUT_KEY_CTRL_R);
    type_special(h.rt, k.library_key, GLUT_KEY_ALT_L);
    char expected[64];
    std::snprintf(expected, sizeof expected, "(00,%02X)(00,%02X)(00,%02X)(00,%02X)", k.plain,
                  k.shift, k.ctrl, k.alt);
    EXPECT_EQ(drained(h.rt), expected) << k.name;
  }
}

TEST(KeyRingQueueing, SixteenthKeyIsDroppedAndTheFifteenKeepTheirOrder) {
  Headless h;
  Runtime& rt = h.rt;
  for (char c : std::string("abcdefghijklmnop")) type_char(rt, static_cast<unsigned char>(c));
  EXPECT_EQ(rt.keyboard.ring.size(), 15);
  KeyPair k;
  ASSERT_TRUE(rt.keyboard.ring.pop(k));
  EXPECT_EQ(k.character, 'a');
  // One slot is free again: the next key waits behind the fourteen.
  type_char(rt, 'q');
  type_char(rt, 'r');
  std::string order;
  for (const KeyPair& p : drain(rt)) order += static_cast<char>(p.character);
  EXPECT_EQ(order, "bcdefghijklmnoq");
}

TEST(PauseKey, NextKeyPressEndsThePauseAndIsNotQueued) {
  struct Case {
    const char* what;
    void (*resume)(Runtime&);
  };
  const Case cases[] = {
      {"Enter", [](Runtime& rt) { on_key_down(rt.keyboard, kEnter, 0); }},
      {"F1", [](Runtime& rt) { on_special_key_down(rt.keyboard, GLUT_KEY_F1); }},
      {"Shift alone", [](Runtime& rt) { on_special_key_down(rt.keyboard, GLUT_KEY_SHIFT_L); }},
      {"Ctrl alone", [](Runtime& rt) { on_special_key_down(rt.keyboard, GLUT_KEY_CTRL_R); }},
      {"Caps Lock switched on", [](Runtime& rt) { report_lock_toggles(rt.keyboard, true, false); }},
      {"Num Lock switched on", [](Runtime& rt) { report_lock_toggles(rt.keyboard, false, true); }},
  };
  for (const Case& c : cases) {
    Headless h;
    Runtime& rt = h.rt;
    handle_key_press(rt.keyboard, kKeyPause);
    EXPECT_TRUE(paused(rt)) << c.what;
    EXPECT_EQ(rt.state.event_pending.load(), 1) << c.what;
    handle_key_release(rt.keyboard, kKeyPause);
    c.resume(rt);
    EXPECT_FALSE(paused(rt)) << c.what;
    EXPECT_EQ(drained(rt), "nothing") << c.what;
  }
}

TEST(PauseKey, ReleasesSecondPauseAndLockSwitchedOffKeepThePause) {
  Headless h;
  Runtime& rt = h.rt;
  report_lock_toggles(rt.keyboard, false, true);  // Num Lock on before the pause
  handle_key_press(rt.keyboard, kKeyPause);
  on_key_up(rt.keyboard, 'x', 0);
  handle_key_release(rt.keyboard, kKeyPause);
  handle_key_press(rt.keyboard, kKeyPause);
  handle_key_release(rt.keyboard, kKeyPause);
  report_lock_toggles(rt.keyboard, false, false);  // Num Lock off
  EXPECT_TRUE(paused(rt));
  type_char(rt, 'a');
  EXPECT_FALSE(paused(rt));
  type_char(rt, 'b');
  EXPECT_EQ(drained(rt), "(62,30)");
}

TEST(AltEnter, StepsTheFullScreenCycleInsteadOfQueueing) {
  Headless h;
  Runtime& rt = h.rt;
  handle_key_press(rt.keyboard, kKeyPause);
  on_special_key_down(rt.keyboard, GLUT_KEY_ALT_L);  // ends the pause
  EXPECT_FALSE(paused(rt));
  on_key_down(rt.keyboard, kEnter, GLUT_ACTIVE_ALT);  // now Alt+Enter
  on_key_up(rt.keyboard, kEnter, GLUT_ACTIVE_ALT);
  EXPECT_EQ(rt.presenter.full_screen_change(), FullScreenState::StretchedSharp);
  EXPECT_TRUE(rt.frames.force_rebuild.load());
  on_special_key_up(rt.keyboard, GLUT_KEY_ALT_L);
  on_key_down(rt.keyboard, kEnter, 0);
  EXPECT_EQ(drained(rt), "(0D,1C)");
  EXPECT_EQ(rt.presenter.full_screen_change(), FullScreenState::StretchedSharp);
}

TEST(LockKeys, CtrlWithNumLockSwitchedOnPausesAndOnlyChangesAreReported) {
  Headless h;
  Runtime& rt = h.rt;
  report_lock_toggles(rt.keyboard, true, true);  // without Ctrl: no pause
  EXPECT_FALSE(paused(rt));
  on_special_key_down(rt.keyboard, GLUT_KEY_CTRL_L);
  report_lock_toggles(rt.keyboard, true, true);  // unchanged: nothing reported
  EXPECT_FALSE(paused(rt));
  report_lock_toggles(rt.keyboard, true, false);
  EXPECT_FALSE(paused(rt));
  report_lock_toggles(rt.keyboard, true, true);  // switched on with Ctrl held
  EXPECT_TRUE(paused(rt));
  EXPECT_EQ(rt.state.event_pending.load(), 1);
  EXPECT_EQ(drained(rt), "nothing");
}

TEST(KeyboardAtStart, HeldModifiersAndLockTogglesAreRecordedWithoutPausing) {
  Headless h;
  Runtime& rt = h.rt;
  KeyboardAtStart keys;
  keys.left_ctrl = true;
  keys.num_lock = true;
  keys.caps_lock = true;
  report_keyboard_at_start(rt.keyboard, keys);
  EXPECT_FALSE(paused(rt));
  EXPECT_EQ(rt.state.event_pending.load(), 0);
  // The toggles now count as recorded: the same state is no change.
  report_lock_toggles(rt.keyboard, true, true);
  EXPECT_FALSE(paused(rt));
  // Ctrl counts as held for the next key.
  type_special(rt, GLUT_KEY_F1);
  EXPECT_EQ(drained(rt), "(00,5E)");
}

TEST(FocusLoss, ModifiersReleasedElsewhereNoLongerCount) {
  Headless h;
  Runtime& rt = h.rt;
  on_special_key_down(rt.keyboard, GLUT_KEY_ALT_L);
  on_special_key_down(rt.keyboard, GLUT_KEY_SHIFT_R);
  report_lock_toggles(rt.keyboard, true, false);
  release_modifier_keys(rt.keyboard);
  on_key_down(rt.keyboard, kEnter, 0);
  EXPECT_EQ(drained(rt), "(0D,1C)");
  EXPECT_EQ(rt.presenter.full_screen_change(), std::nullopt);
  // Caps Lock stays recorded as on: reporting it on again is no change, so it
  // does not end a pause.
  handle_key_press(rt.keyboard, kKeyPause);
  handle_key_release(rt.keyboard, kKeyPause);
  report_lock_toggles(rt.keyboard, true, false);
  EXPECT_TRUE(paused(rt));
}

TEST(FocusComingBack, TheModifiersDownThenAreHeldWithoutQueueingOrEndingAPause) {
  ModifierKeys left_alt;
  left_alt.left_alt = true;
  ModifierKeys right_ctrl_and_shift;
  right_ctrl_and_shift.right_ctrl = right_ctrl_and_shift.left_shift = true;
  struct Case {
    const char* what;
    int held_before;  // a modifier pressed in the window before the focus left, or 0
    bool paused;      // Pause pressed before the focus came back
    ModifierKeys down;  // the modifier keys down when the focus comes back
    const char* f1;     // what F1 then queues
  };
  const Case cases[] = {
      {"Alt kept down while the focus was away", GLUT_KEY_ALT_L, false, left_alt, "(00,68)"},
      {"Alt pressed while the window had no focus", 0, false, left_alt, "(00,68)"},
      {"Ctrl let go while the focus was away", GLUT_KEY_CTRL_L, false, {}, "(00,3B)"},
      {"right Ctrl with Shift: Ctrl's column", 0, false, right_ctrl_and_shift, "(00,5E)"},
      {"while paused: the pause goes on", GLUT_KEY_ALT_L, true, left_alt, "(00,68)"},
  };
  for (const Case& c : cases) {
    Headless h;
    Runtime& rt = h.rt;
    if (c.held_before != 0) on_special_key_down(rt.keyboard, c.held_before);
    release_modifier_keys(rt.keyboard);  // the focus goes
    if (c.paused) handle_key_press(rt.keyboard, kKeyPause);
    hold_modifier_keys(rt.keyboard, c.down);  // and comes back
    EXPECT_EQ(paused(rt), c.paused) << c.what;
    EXPECT_EQ(drained(rt), "nothing") << c.what;
    if (c.paused) type_char(rt, 'a');  // resumes, not queued
    type_special(rt, GLUT_KEY_F1);
    EXPECT_EQ(drained(rt), c.f1) << c.what;
  }
}

TEST(FocusComingBack, AltStillDownMakesEachEnterTapAStepOfTheFullScreenCycle) {
  Headless h;
  Runtime& rt = h.rt;
  ModifierKeys alt;
  alt.left_alt = true;
  on_special_key_down(rt.keyboard, GLUT_KEY_ALT_L);
  const FullScreenState after[] = {FullScreenState::StretchedSharp,
                                   FullScreenState::StretchedSmooth,
                                   FullScreenState::AspectKeptSharp};
  for (const FullScreenState want : after) {
    on_key_down(rt.keyboard, 13, GLUT_ACTIVE_ALT);
    on_key_up(rt.keyboard, 13, GLUT_ACTIVE_ALT);
    EXPECT_EQ(rt.presenter.full_screen(), want);
    // Going full screen, a window manager may move the focus out and back.
    release_modifier_keys(rt.keyboard);
    hold_modifier_keys(rt.keyboard, alt);
  }
  EXPECT_EQ(drained(rt), "nothing");
}

// A program that runs one statement per 10 ms and logs when each ends.
class Ticker : public Procedure {
 public:
  using Procedure::Procedure;
  std::vector<int64_t> ends_ms;
  void run(int64_t until_ms) {
    while (rt.clock.ticks_ms() < until_ms) STMT(10, tick());
  }

 private:
  void tick() {
    rt.clock.sleep_ms(10);
    ends_ms.push_back(rt.clock.ticks_ms());
  }
};

TEST(PauseKey, HoldsTheProgramAtItsNextStatementEndUntilTheNextKey) {
  Headless h;
  Ticker t(h.rt);
  h.press_at(100, kKeyPause);
  h.press_at(900, kEnter);
  h.press_at(950, 'a');
  EXPECT_EQ(h.run([&](Runtime&) { t.run(1000); }), RunEnd::Returned);
  int during_pause = 0;
  for (int64_t ms : t.ends_ms) during_pause += ms > 110 && ms < 900;
  EXPECT_EQ(during_pause, 0);
  EXPECT_GT(t.ends_ms.back(), 990);
  EXPECT_EQ(drained(h.rt), "(61,1E)");
}

TEST(BreakKey, ProgramParksAndTheProcessEndsWithZero) {
  for (bool with_pause : {false, true}) {
    Headless h;
    Ticker t(h.rt);
    if (with_pause) h.press_at(50, kKeyPause);
    h.press_at(100, kKeyBreak);
    EXPECT_EQ(h.run([&](Runtime&) { t.run(10'000); }), RunEnd::Parked) << with_pause;
    EXPECT_EQ(h.exit_code, 0);
    EXPECT_LT(h.now_ms(), 200);
    EXPECT_EQ(drained(h.rt), "nothing");
  }
}

}  // namespace
}  // namespace ws::test
