// The keyboard on a real X server, typed with xdotool into the window of
// tests/probes/key_probe.cpp: the queue's limit of 15 keys, the keypad '+',
// Pause (the program and the window freeze; the next key lets them go on
// and is not queued) and Ctrl+Break.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "support/xvfb_suite.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ws::test {
namespace {

const std::string kProbe = WS_BINARY_DIR "/key_probe";

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The number of the last "tick N" line, 0 before the first.
int last_tick(const Program& p) {
  const std::string out = p.stdout_text();
  const size_t at = out.rfind("tick ");
  return at == std::string::npos ? 0 : std::stoi(out.substr(at + 5));
}

// Polls until a "tick N" line with N above tick comes.
bool wait_for_tick_after(const Program& p, int tick) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  for (;;) {
    if (last_tick(p) > tick) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    pause_ms(20);
  }
}

// The "tick N" lines after the "paused" line.
int ticks_after_pause(const Program& p) {
  const std::string out = p.stdout_text();
  int n = 0;
  for (size_t at = out.find("\npaused\n"); at != std::string::npos;) {
    at = out.find("\ntick ", at + 1);
    if (at != std::string::npos) ++n;
  }
  return n;
}

// The colour number in the middle of the window's client area, -1 for a
// colour outside the palette or no picture.
int centre_colour(XServer& x, WindowId w) {
  const auto img = x.grab(w);
  if (!img || img->width == 0) return -1;
  return palette_index(img->at(img->width / 2, img->height / 2));
}

bool wait_for_colour(XServer& x, WindowId w, int colour, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (centre_colour(x, w) == colour) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    pause_ms(20);
  }
}

// One Xvfb with openbox for the whole suite; one probe per test.
class KeysWindowTest : public XServerSuite<KeysWindowTest> {
 protected:
  // Starts a probe and waits until its window shows the page of colour 1.
  void start_probe() {
    drains_ = 0;
    dir_ = x().work_dir() + "/keys-" + std::to_string(++probes_);
    ASSERT_TRUE(std::filesystem::create_directories(dir_));
    probe_ = std::make_unique<Program>(x(), kProbe, std::vector<std::string>{},
                                       std::vector<std::string>{"KEY_PROBE_DIR=" + dir_});
    ASSERT_TRUE(probe_->started());
    const auto w = x().wait_for_window_of(*probe_, kPatienceMs);
    ASSERT_TRUE(w && x().wait_mapped(*w, kPatienceMs)) << probe_->stderr_text();
    window_ = *w;
    ASSERT_TRUE(x().wait_client_size(window_, 640, 480, kPatienceMs));
    ASSERT_TRUE(wait_for_colour(x(), window_, 1, kPatienceMs)) << probe_->stderr_text();
  }

  // Ends a probe still running and leaves the keyboard as a fresh server has
  // it: no key down, Caps Lock and Num Lock off.
  void TearDown() override {
    if (!x().ok()) return;
    if (probe_ && probe_->running()) {
      x().request_close(window_);
      probe_->wait_exit(kPatienceMs);
    }
    x().run({"xdotool", "keyup", "Control_L"});
    set_locks(false, false);
  }

  Program& probe() { return *probe_; }

  bool send(const std::vector<std::string>& keys) { return x().send_keys(window_, keys); }

  // Waits until the probe reports n keys waiting (after the output mark),
  // then gives a further key the time to be queued, were one to come.
  bool wait_for_queued(int n, size_t mark) {
    if (!probe().wait_for_line("size " + std::to_string(n), kPatienceMs, mark)) return false;
    pause_ms(300);
    return true;
  }

  // Switches Caps Lock and Num Lock to the given states with key presses.
  void set_locks(bool caps, bool num) {
    Display* d = XOpenDisplay(x().display().c_str());
    ASSERT_NE(d, nullptr);
    XkbStateRec state;
    ASSERT_EQ(XkbGetState(d, XkbUseCoreKbd, &state), Success);
    const unsigned num_mask = XkbKeysymToModifiers(d, XK_Num_Lock);
    XCloseDisplay(d);
    if (((state.locked_mods & LockMask) != 0) != caps) {
      ASSERT_EQ(x().run({"xdotool", "key", "Caps_Lock"}), 0);
    }
    if (((state.locked_mods & num_mask) != 0) != num) {
      ASSERT_EQ(x().run({"xdotool", "key", "Num_Lock"}), 0);
    }
  }

  // The keys waiting in the queue, taken by the probe, as "(CC,SS)..." or
  // "nothing".
  std::string drain() {
    const std::string k = std::to_string(++drains_);
    std::ofstream(dir_ + "/drain-" + k).put('\n');
    if (!probe().wait_for_line("drained " + k, kPatienceMs)) return "no answer";
    const std::string out = probe().stdout_text();
    const size_t end = out.rfind("\ndrained " + k + "\n");
    const size_t begin = out.rfind("keys: ", end);
    return out.substr(begin + 6, end - begin - 6);
  }

  static int probes_;
  std::string dir_;
  std::unique_ptr<Program> probe_;
  WindowId window_ = 0;
  int drains_ = 0;
};

int KeysWindowTest::probes_ = 0;

TEST_F(KeysWindowTest, SixteenKeysTypedWhileTheProgramDoesNotPollLeaveTheFirstFifteen) {
  ASSERT_NO_FATAL_FAILURE(start_probe());
  ASSERT_TRUE(send({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
                    "p"}));
  ASSERT_TRUE(wait_for_queued(15, 0)) << probe().stdout_text();  // and a 16th, were it queued
  EXPECT_EQ(drain(),
            "(61,1E)(62,30)(63,2E)(64,20)(65,12)(66,21)(67,22)(68,23)(69,17)(6A,24)(6B,25)"
            "(6C,26)(6D,32)(6E,31)(6F,18)");
  // Room again: the next key is queued.
  const size_t mark = probe().stdout_mark();
  ASSERT_TRUE(send({"q"}));
  ASSERT_TRUE(wait_for_queued(1, mark)) << probe().stdout_text();
  EXPECT_EQ(drain(), "(71,10)");
}

TEST_F(KeysWindowTest, PlusFromTheKeypadArrivesLikePlusFromTheMainKeys) {
  ASSERT_NO_FATAL_FAILURE(start_probe());
  ASSERT_TRUE(send({"KP_Add", "plus", "minus", "KP_Subtract", "F1", "Left", "alt+minus"}));
  ASSERT_TRUE(wait_for_queued(7, 0)) << probe().stdout_text();
  EXPECT_EQ(drain(), "(2B,0D)(2B,0D)(2D,0C)(2D,0C)(00,3B)(00,4B)(00,82)");
}

TEST_F(KeysWindowTest, PauseFreezesProgramAndWindowUntilTheNextKeyWhichIsNotQueued) {
  ASSERT_NO_FATAL_FAILURE(start_probe());
  ASSERT_TRUE(probe().wait_for_line("tick 5", kPatienceMs));
  ASSERT_TRUE(send({"Pause"}));
  ASSERT_TRUE(probe().wait_for_line("paused", kPatienceMs)) << probe().stdout_text();
  // The page turned to colour 4 after the pause began: the program holds
  // and the window keeps showing colour 1. The statement that saw the pause
  // may still write its own tick; running on, the probe would write one
  // every 100 ms.
  pause_ms(700);
  EXPECT_LE(ticks_after_pause(probe()), 1) << probe().stdout_text();
  EXPECT_EQ(centre_colour(x(), window_), 1);
  EXPECT_TRUE(probe().running());

  const int tick = last_tick(probe());
  ASSERT_TRUE(send({"x"}));
  EXPECT_TRUE(wait_for_colour(x(), window_, 4, kPatienceMs));
  EXPECT_TRUE(wait_for_tick_after(probe(), tick));
  EXPECT_EQ(drain(), "nothing");
}

TEST_F(KeysWindowTest, CtrlBreakEndsTheProgramWithExitCodeZero) {
  for (const bool paused : {false, true}) {
    SCOPED_TRACE(paused ? "while paused" : "while running");
    ASSERT_NO_FATAL_FAILURE(start_probe());
    if (paused) {
      ASSERT_TRUE(send({"Pause"}));
      ASSERT_TRUE(probe().wait_for_line("paused", kPatienceMs));
    }
    ASSERT_TRUE(send({"ctrl+Pause"}));
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(probe().wait_exit(kPatienceMs), 0) << probe().stderr_text();
    if (!probe().running()) {
      std::cout << "ended " << std::chrono::duration_cast<std::chrono::milliseconds>(
                                   probe().exit_time() - sent).count()
                << " ms after Ctrl+Break was sent\n";
    }
  }
}

TEST_F(KeysWindowTest, CtrlWithNumLockSwitchedOnPausesAndCapsLockSwitchedOnResumes) {
  set_locks(false, false);
  ASSERT_NO_FATAL_FAILURE(start_probe());
  // Ctrl held as a hand holds it: longer than one lock-key report interval.
  ASSERT_EQ(x().run({"xdotool", "windowactivate", "--sync", std::to_string(window_), "keydown",
                     "Control_L", "key", "Num_Lock", "sleep", "0.2", "keyup", "Control_L"}),
            0);
  ASSERT_TRUE(probe().wait_for_line("paused", kPatienceMs)) << probe().stdout_text();
  pause_ms(200);
  const int tick = last_tick(probe());
  ASSERT_TRUE(send({"Caps_Lock"}));
  EXPECT_TRUE(wait_for_colour(x(), window_, 4, kPatienceMs));
  EXPECT_TRUE(wait_for_tick_after(probe(), tick));
  // Switching them off is no key press at all.
  ASSERT_EQ(x().run({"xdotool", "keydown", "Control_L", "key", "Num_Lock", "sleep", "0.2",
                     "keyup", "Control_L"}),
            0);
  const size_t mark = probe().stdout_mark();
  ASSERT_TRUE(send({"Caps_Lock", "a"}));
  ASSERT_TRUE(wait_for_queued(1, mark)) << probe().stdout_text();
  EXPECT_EQ(drain(), "(61,1E)");
}

TEST_F(KeysWindowTest, CtrlHeldAndNumLockOnAtStartCountWithoutPausing) {
  set_locks(false, true);
  ASSERT_EQ(x().run({"xdotool", "keydown", "Control_L"}), 0);
  // The window shows the page only when the program does not start paused.
  ASSERT_NO_FATAL_FAILURE(start_probe());
  ASSERT_TRUE(probe().wait_for_line("tick 5", kPatienceMs));
  ASSERT_TRUE(send({"F1"}));
  ASSERT_EQ(x().run({"xdotool", "keyup", "Control_L"}), 0);
  ASSERT_TRUE(send({"F1"}));
  ASSERT_TRUE(wait_for_queued(2, 0)) << probe().stdout_text();
  EXPECT_EQ(drain(), "(00,5E)(00,3B)");
}

TEST_F(KeysWindowTest, AModifierLetGoInAnotherWindowIsNotHeldOnReturn) {
  ASSERT_NO_FATAL_FAILURE(start_probe());
  // Alt goes down in the program's window...
  ASSERT_EQ(x().run({"xdotool", "windowactivate", "--sync", std::to_string(window_), "keydown",
                     "Alt_L"}),
            0);
  pause_ms(100);
  // ...and comes up while another window has the keyboard.
  Display* d = XOpenDisplay(x().display().c_str());
  ASSERT_NE(d, nullptr);
  const Window other = XCreateSimpleWindow(d, DefaultRootWindow(d), 700, 600, 200, 100, 0, 0, 0);
  XMapWindow(d, other);
  XSync(d, False);
  ASSERT_TRUE(x().wait_mapped(other, kPatienceMs));
  EXPECT_EQ(x().run({"xdotool", "windowactivate", "--sync", std::to_string(other), "keyup",
                     "Alt_L"}),
            0);
  XDestroyWindow(d, other);
  XCloseDisplay(d);
  // Back in the program's window, '+' is plain '+', not Alt+'+'.
  ASSERT_TRUE(send({"plus"}));
  ASSERT_TRUE(wait_for_queued(1, 0)) << probe().stdout_text();
  EXPECT_EQ(drain(), "(2B,0D)");
}

}  // namespace
}  // namespace ws::test
