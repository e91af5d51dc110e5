// The window manager's view of the window read from the atoms of its
// _NET_WM_STATE.
#include <gtest/gtest.h>

#include <vector>

#include "app/window_manager.h"

namespace ws::test {
namespace {

TEST(WindowManagerState, MaximisedInEitherDirectionOrBothAndFullScreen) {
  // Atom numbers as a server might give them; others stand for states the
  // presenter does not follow (hidden, above, demands attention).
  const WindowStateAtoms atoms{301, 302, 303};
  struct Case {
    const char* what;
    std::vector<unsigned long> states;
    bool maximised, full_screen;
  };
  const Case cases[] = {
      {"no state", {}, false, false},
      {"other states only", {400, 401}, false, false},
      {"maximised vertically only", {302}, true, false},
      {"maximised horizontally only", {303}, true, false},
      {"maximised both ways, among others", {400, 303, 302}, true, false},
      {"full screen", {301}, false, true},
      {"full screen over a maximised window", {302, 303, 301}, true, true},
  };
  for (const Case& c : cases) {
    const WindowManagerState wm = window_manager_state(c.states, atoms);
    EXPECT_EQ(wm.maximised, c.maximised) << c.what;
    EXPECT_EQ(wm.full_screen, c.full_screen) << c.what;
  }
}

}  // namespace
}  // namespace ws::test
