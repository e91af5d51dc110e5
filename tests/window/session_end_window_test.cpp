// The signals by which a session ends the program (SIGTERM: a log-out or
// kill; SIGINT: Ctrl+C in the terminal; SIGHUP: the terminal closed), sent to
// the real program and to the message-box probe (tests/probes/error_probe.cpp)
// under Xvfb with openbox: each ends the program as its close button does,
// with exit code 0 (in the sanitizer build after the leak check), whatever it
// is doing; an open report box ends as No, a notice as OK, and a box shown
// after the signal ends so without waiting for anyone.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb_suite.h"

namespace ws::test {
namespace {

const std::string kProgram = WS_BINARY_DIR "/winding-scheme";
const std::string kProbe = WS_BINARY_DIR "/error_probe";

struct SessionSignal {
  int number;
  const char* name;
};
const SessionSignal kSignals[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class SessionEndWindowTest : public XServerSuite<SessionEndWindowTest> {
 protected:
  // The programs started here inherit the test's signal dispositions: a
  // test run in the background of a shell without job control has SIGINT
  // ignored, and the program keeps an ignored signal ignored.
  void SetUp() override {
    XServerSuite::SetUp();
    for (const SessionSignal& s : kSignals) signal(s.number, SIG_DFL);
  }
};

// The real program brought to a state, then sent each signal: it ends with
// code 0 through the exit sequence, whatever the state.
TEST_F(SessionEndWindowTest, EachSignalEndsTheProgramWithCode0InEveryState) {
  const auto row_holds = [](int row, const std::string& text) {
    return [=](const RgbImage& img) { return grab_text(img, row).find(text) != std::string::npos; };
  };
  const struct {
    const char* name;
    // Brings the program at its first prompt into the state.
    std::function<void(XServer&, WindowId, Program&)> reach;
  } states[] = {
      {"at the first prompt", [](XServer&, WindowId, Program&) {}},
      {"during the animation",
       [&](XServer& x, WindowId w, Program& p) {
         ASSERT_TRUE(x.send_keys(w, {"2", "4", "Return", "4", "Return"}));
         ASSERT_TRUE(x.grab_page_until(w, row_holds(3, "y1=")))
             << "no animation; " << p.stderr_text();
       }},
      {"while Pause holds",
       [&](XServer& x, WindowId w, Program& p) {
         ASSERT_TRUE(x.send_keys(w, {"2", "4", "Return", "4", "Return"}));
         ASSERT_TRUE(x.grab_page_until(w, row_holds(3, "y1=")))
             << "no animation; " << p.stderr_text();
         ASSERT_TRUE(x.send_keys(w, {"Pause"}));
         pause_ms(300);
       }},
      {"with a report box open",
       [&](XServer& x, WindowId w, Program& p) {
         // A pole number of 0: the first table reports error 5.
         ASSERT_TRUE(x.send_keys(w, {"2", "4", "Return", "0", "Return"}));
         const auto box = x.wait_for_window_titled("Unhandled Error #5", kPatienceMs);
         ASSERT_TRUE(box && x.wait_mapped(*box, kPatienceMs)) << p.stderr_text();
       }},
      {"at the end prompt",
       [&](XServer& x, WindowId w, Program& p) {
         std::vector<std::string> keys{"2", "4", "Return", "4", "Return"};
         keys.insert(keys.end(), 10, "plus");
         ASSERT_TRUE(x.send_keys(w, keys));
         ASSERT_TRUE(x.grab_page_until(
             w, [](const RgbImage& img) { return grab_cell(img, 6, 11) == 'U'; }, 60000))
             << "the paths did not begin; " << p.stderr_text();
         ASSERT_TRUE(x.send_keys(w, std::vector<std::string>(12, "plus")));
         // The final key wait: "W2" in blue on row 15, the speed hint erased.
         ASSERT_TRUE(x.grab_page_until(
             w,
             [](const RgbImage& img) {
               int blue = 0;
               for (int y = 224; y < 240; ++y)
                 for (int px = 360; px < 376; ++px) blue += palette_index(img.at(px, y)) == 1;
               return blue > 10 && grab_text(img, 2, 8, 73) == std::string(66, ' ');
             },
             60000))
             << "no finale; " << p.stderr_text();
         ASSERT_TRUE(x.send_keys(w, {"space"}));
         ASSERT_TRUE(x.grab_page_until(w, row_holds(30, "Press any key to continue")))
             << p.stderr_text();
       }},
  };
  for (const auto& state : states) {
    SCOPED_TRACE(state.name);
    for (const SessionSignal& s : kSignals) {
      SCOPED_TRACE(s.name);
      Program p(x(), kProgram);
      ASSERT_TRUE(p.started());
      const auto w = x().wait_for_page_window(p);
      ASSERT_TRUE(w) << p.stderr_text();
      ASSERT_TRUE(x().grab_page_until(*w, row_holds(3, " Z="))) << p.stderr_text();
      state.reach(x(), *w, p);
      if (HasFatalFailure()) return;
      ASSERT_TRUE(p.running());
      ASSERT_EQ(kill(p.pid(), s.number), 0);
      EXPECT_EQ(p.wait_exit(kPatienceMs), 0) << p.stderr_text();
    }
  }
}

// A box open when the signal comes, on the program thread (a report, an
// alert) or the frame thread (a critical error): it ends as nobody can answer
// it any more, No or OK, and the program ends with 0. What the probe would
// print after Yes never comes (after OK it may or may not: the program
// thread parks at the end of the box's statement, and the stop request may
// be there first).
TEST_F(SessionEndWindowTest, AnOpenBoxEndsAsNoOrOkAndTheProgramEndsWithCode0) {
  const struct {
    const char* mode;
    const char* title;
    const char* never_line;  // what the probe prints should it go on as after Yes
  } boxes[] = {
      {"", "Unhandled Error #6", "after 40"},
      {"alert", "Alert", "alert answered: other"},
      {"divide", "Critical Error", "after 20"},
  };
  for (const auto& b : boxes) {
    SCOPED_TRACE(b.title);
    for (const SessionSignal& s : kSignals) {
      SCOPED_TRACE(s.name);
      Program p(x(), kProbe, *b.mode ? std::vector<std::string>{b.mode} : std::vector<std::string>{});
      ASSERT_TRUE(p.started());
      const auto box = x().wait_for_window_titled(b.title, kPatienceMs);
      ASSERT_TRUE(box && x().wait_mapped(*box, kPatienceMs)) << p.stderr_text();
      ASSERT_EQ(kill(p.pid(), s.number), 0);
      EXPECT_EQ(p.wait_exit(kPatienceMs), 0) << p.stderr_text();
      EXPECT_FALSE(p.has_line(b.never_line));
    }
  }
}

// Boxes whose turn comes after the signal, before the program thread parks:
// none waits for an answer.
TEST_F(SessionEndWindowTest, ABoxShownAfterTheSignalEndsAtOnce) {
  for (const SessionSignal& s : kSignals) {
    SCOPED_TRACE(s.name);
    Program p(x(), kProbe, {"late"});
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(p.wait_for_line("waiting", kPatienceMs)) << p.stderr_text();
    ASSERT_EQ(kill(p.pid(), s.number), 0);
    EXPECT_EQ(p.wait_exit(kPatienceMs), 0) << p.stderr_text();
    EXPECT_TRUE(p.has_line("late question: no")) << p.stdout_text();
    EXPECT_TRUE(p.has_line("late notice: ok")) << p.stdout_text();
  }
}

// Started under nohup (SIGHUP ignored), the program outlives its terminal:
// the signal does nothing, and the program goes on and closes as usual.
TEST_F(SessionEndWindowTest, ASignalIgnoredAtTheStartStaysIgnored) {
  signal(SIGHUP, SIG_IGN);
  Program p(x(), kProbe);
  signal(SIGHUP, SIG_DFL);
  ASSERT_TRUE(p.started());
  const auto box = x().wait_for_window_titled("Unhandled Error #6", kPatienceMs);
  ASSERT_TRUE(box && x().wait_mapped(*box, kPatienceMs)) << p.stderr_text();
  ASSERT_EQ(kill(p.pid(), SIGHUP), 0);
  EXPECT_EQ(p.wait_exit(500), std::nullopt);
  ASSERT_TRUE(x().send_keys(*box, {"y"}));
  EXPECT_TRUE(p.wait_for_line("after 40", kPatienceMs)) << p.stderr_text();
  const auto main = x().wait_for_page_window(p);
  ASSERT_TRUE(main);
  ASSERT_TRUE(x().request_close(*main));
  EXPECT_EQ(p.wait_exit(kPatienceMs), 0) << p.stderr_text();
}

}  // namespace
}  // namespace ws::test
