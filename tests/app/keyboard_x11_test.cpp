// The modifier keys read from a key vector, as the X server reports the keys
// down at start and when the keyboard focus comes back.
#include <gtest/gtest.h>

#include <vector>

#include "app/keyboard_x11.h"

namespace ws::test {
namespace {

TEST(KeyVector, EachModifierKeyIsDownExactlyWhenItsKeycodesBitIsSet) {
  // Keycodes as a US keymap under Xvfb gives them; right Alt missing.
  const ModifierKeycodes codes{50, 62, 37, 105, 64, 0};
  struct Case {
    const char* what;
    std::vector<int> down;
    ModifierKeys want;
  };
  const Case cases[] = {
      {"nothing down", {}, {}},
      {"other keys only, beside the modifiers' bits", {49, 51, 63, 65, 36, 38}, {}},
      {"left Alt", {64}, {.left_alt = true}},
      {"right Shift and right Ctrl among others",
       {62, 105, 24},
       {.right_shift = true, .right_ctrl = true}},
      {"all six bits", {50, 62, 37, 105, 64}, {true, true, true, true, true, false}},
      {"a key the keymap lacks is never down", {0, 1, 2}, {}},
  };
  for (const Case& c : cases) {
    char keys[32] = {};
    for (const int k : c.down) keys[k / 8] = static_cast<char>(keys[k / 8] | (1 << (k % 8)));
    EXPECT_TRUE(modifiers_down(keys, codes) == c.want) << c.what;
  }
}

}  // namespace
}  // namespace ws::test
