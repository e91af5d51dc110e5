// What other clients and the X server do to a running program: its window
// destroyed by another client ends it as the close button does, and an X
// error ends it through its own path with one line on stderr.
// The programs are the real winding-scheme and tests/probes/error_probe.cpp.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <algorithm>
#include <string>

#include "support/xvfb_suite.h"

namespace ws::test {
namespace {

const std::string kProbe = WS_BINARY_DIR "/error_probe";

// XDestroyWindow on w from a connection of its own, as another client (a
// tool, a crashing window manager) may do it.
bool destroy_from_another_client(const XServer& x, WindowId w) {
  Display* d = XOpenDisplay(x.display().c_str());
  if (d == nullptr) return false;
  XDestroyWindow(d, w);
  XSync(d, False);
  XCloseDisplay(d);
  return true;
}

int line_count(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class OutsideWindowTest : public XServerSuite<OutsideWindowTest> {};

TEST_F(OutsideWindowTest, WindowDestroyedByAnotherClientEndsTheProgramAsTheCloseButtonDoes) {
  const struct {
    const char* name;
    std::string path;
    std::vector<std::string> args;
    // A report box that must be answered before the program can end.
    const char* report = nullptr;
  } cases[] = {
      {"at the first prompt", WS_BINARY_DIR "/winding-scheme", {}},
      // The title changes all the time: requests that name the window are on
      // their way when it goes, and fail.
      {"while the title changes", kProbe, {"titles"}},
      {"while a report waits for its answer", kProbe, {}, "Unhandled Error #6"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Program p(x(), c.path, c.args);
    ASSERT_TRUE(p.started());
    const auto w = x().wait_for_page_window(p);
    ASSERT_TRUE(w) << p.stderr_text();
    std::optional<WindowId> box;
    if (c.report != nullptr) {
      box = x().wait_for_window_titled(c.report, kPatienceMs);
      ASSERT_TRUE(box && x().wait_mapped(*box, kPatienceMs));
    }
    ASSERT_TRUE(destroy_from_another_client(x(), *w));
    if (box) {
      // As after the close button: the question is answered first.
      EXPECT_EQ(p.wait_exit(600), std::nullopt);
      ASSERT_TRUE(x().send_keys(*box, {"y"}));
      EXPECT_TRUE(p.wait_for_line("after 40", kPatienceMs));
    }
    EXPECT_EQ(p.wait_exit(kPatienceMs), 0) << p.stderr_text();
    EXPECT_EQ(p.stderr_text().find("X error"), std::string::npos) << p.stderr_text();
  }
}

TEST_F(OutsideWindowTest, XErrorEndsTheProgramWithOneLineAndCode1WithoutExitHandlers) {
  Program p(x(), kProbe, {"xerror"});
  ASSERT_TRUE(p.started());
  EXPECT_EQ(p.wait_exit(kPatienceMs), 1) << p.stderr_text();
  const std::string err = p.stderr_text();
  EXPECT_EQ(line_count(err), 1) << err;
  EXPECT_EQ(err.rfind("winding-scheme: X error: ", 0), 0u) << err;
  EXPECT_NE(err.find("BadWindow"), std::string::npos) << err;
  // Ended through the program's own path, not exit(): the handlers that
  // exit() runs while the other threads still run did not.
  EXPECT_FALSE(p.has_line("exit handlers ran"));
  EXPECT_FALSE(p.has_line("after the X error"));
}

}  // namespace
}  // namespace ws::test
