// The real program under a private X server with a window manager, where the
// keyboard and the window manager push it harder than a hand does: a burst of
// keys that all arrive in one read of the connection (sent while the process
// is stopped), the error report above a full-screen window, and a resize
// while Pause holds the window.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb_suite.h"

namespace ws::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kProgram = WS_BINARY_DIR "/winding-scheme";
const std::string kReportTitle = "Unhandled Error #6";

void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The state letter of /proc/PID/stat ('T' when stopped), '?' when unreadable.
char process_state(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t paren = s.rfind(')');
  return paren == std::string::npos || paren + 2 >= s.size() ? '?' : s[paren + 2];
}

// Keeps a program stopped (SIGSTOP) for its lifetime: what the X server sends
// meanwhile waits in the connection, to be read at once when it goes on.
class Stopped {
 public:
  explicit Stopped(Program& p) : pid_(p.pid()) {
    ::kill(pid_, SIGSTOP);
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (process_state(pid_) != 'T' && Clock::now() < end) pause_ms(5);
    stopped_ = process_state(pid_) == 'T';
  }
  ~Stopped() { ::kill(pid_, SIGCONT); }
  Stopped(const Stopped&) = delete;
  Stopped& operator=(const Stopped&) = delete;
  bool ok() const { return stopped_; }

 private:
  pid_t pid_;
  bool stopped_ = false;
};

RgbImage crop(const RgbImage& img, const Geometry& g) {
  RgbImage out;
  out.width = g.width;
  out.height = g.height;
  out.pixels.reserve(static_cast<size_t>(g.width) * g.height);
  for (int y = g.y; y < g.y + g.height; ++y)
    for (int x = g.x; x < g.x + g.width; ++x)
      out.pixels.push_back(x >= 0 && y >= 0 && x < img.width && y < img.height ? img.at(x, y) : 0);
  return out;
}

double white_fraction(const RgbImage& img) {
  size_t white = 0;
  for (uint32_t p : img.pixels) white += (p & 0xFFFFFF) == 0xFFFFFF;
  return static_cast<double>(white) / static_cast<double>(img.pixels.size());
}

// The page (640 x 480) cut into 16 x 12 tiles of 40 x 40, and the same tiles
// of a grab of any size stretched over it: the largest difference of a tile's
// mean red, green or blue. Smoothing moves colour only across a tile's edge,
// so a faithfully stretched page stays within a few steps; an area left
// unpainted differs by up to 255.
int worst_tile_difference(const RgbImage& page, const RgbImage& stretched) {
  auto tile_mean = [](const RgbImage& img, int tx, int ty, int shift) {
    const int x0 = tx * img.width / 16, x1 = (tx + 1) * img.width / 16;
    const int y0 = ty * img.height / 12, y1 = (ty + 1) * img.height / 12;
    long sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += (img.at(x, y) >> shift) & 0xFF;
    return static_cast<int>(sum / ((x1 - x0) * (y1 - y0)));
  };
  int worst = 0;
  for (int ty = 0; ty < 12; ++ty)
    for (int tx = 0; tx < 16; ++tx)
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(tile_mean(page, tx, ty, shift) -
                                         tile_mean(stretched, tx, ty, shift)));
  return worst;
}

// The suite's server has the default 1280 x 1024 screen; one program per case.
class StressWindow : public XServerSuite<StressWindow> {
 protected:
  // Starts the program and waits until its 640 x 480 page asks for Z.
  WindowId start(std::unique_ptr<Program>& p) {
    p = std::make_unique<Program>(x(), kProgram);
    EXPECT_TRUE(p->started());
    const auto w = x().wait_for_page_window(*p);
    EXPECT_TRUE(w) << "no 640 x 480 window; " << p->stderr_text();
    if (!w) return 0;
    EXPECT_TRUE(x().grab_page_until(
        *w, [](const RgbImage& img) { return grab_text(img, 3, 7, 9) == " Z="; }, 10000))
        << "no prompt; " << p->stderr_text();
    return *w;
  }

  // Sends keys to window w of program p while p is stopped, so that all of
  // them wait in the connection and are read at once when it goes on. The
  // window is given the keyboard first: xdotool cannot wait on a stopped
  // program, so the keys go to the focused window without naming it.
  bool keys_in_one_read(Program& p, WindowId w, const std::vector<std::string>& keys,
                        int delay_ms) {
    if (x().run({"xdotool", "windowactivate", "--sync", std::to_string(w)}) != 0) return false;
    Stopped stopped(p);
    if (!stopped.ok()) return false;
    std::vector<std::string> argv{"xdotool", "key", "--delay", std::to_string(delay_ms)};
    argv.insert(argv.end(), keys.begin(), keys.end());
    return x().run(argv) == 0;
  }

  // Grabs the root window, the screen as the user sees it, in the area g.
  std::optional<RgbImage> grab_screen(const Geometry& g) {
    std::string bytes;
    if (x().run({"xwd", "-root", "-silent"}, 10000, &bytes) != 0) return std::nullopt;
    const auto img = decode_xwd(bytes);
    if (!img) return std::nullopt;
    return crop(*img, g);
  }

  // Polls until a window titled title no longer exists.
  bool window_gone(const std::string& title, int timeout_ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      if (!x().wait_for_window_titled(title, 0)) return true;
      if (Clock::now() >= end) return false;
      pause_ms(20);
    }
  }
};

// A burst of Pause presses that arrives in one read, with Ctrl+Break last:
// every one of them counts, and Ctrl+Break still ends the program.
TEST_F(StressWindow, CtrlBreakAfterABurstOfPausesInOneReadEndsTheProgram) {
  std::unique_ptr<Program> p;
  const WindowId w = start(p);
  ASSERT_NE(w, 0u);
  std::vector<std::string> keys(40, "Pause");
  keys.push_back("ctrl+Pause");
  ASSERT_TRUE(keys_in_one_read(*p, w, keys, 5));
  EXPECT_EQ(p->wait_exit(15000), 0) << "Ctrl+Break after 40 Pause presses in one read was lost; "
                                    << p->stderr_text();
}

// '2', Pause, '4' at the Z prompt read in one go act as typed one at a time:
// the '4' ends the pause and is not queued. The rows are compared once the
// page has settled, and again after one more digit: a queued '4' would show
// up then even if the held picture happened to match.
TEST_F(StressWindow, KeysAroundAPauseInOneReadActInTheOrderTheyCame) {
  // Row 3 once it has stayed the same for a second of grabs.
  auto prompt_row = [&](WindowId w) {
    std::string row = "no grab";
    auto since = Clock::now();
    const auto end = since + std::chrono::seconds(10);
    while (Clock::now() < end) {
      pause_ms(100);
      const auto img = x().grab(w);
      const std::string now =
          img && img->width == 640 && img->height == 480 ? grab_text(*img, 3) : "no grab";
      if (now != row) {
        row = now;
        since = Clock::now();
      } else if (Clock::now() - since >= std::chrono::seconds(1)) {
        break;
      }
    }
    return row;
  };
  struct Rows {
    std::string settled, after_digit;
  };
  auto digit_after = [&](WindowId w) {
    EXPECT_TRUE(x().send_keys(w, {"1"}));
    return prompt_row(w);
  };

  Rows slow, batch;
  {
    SCOPED_TRACE("typed one at a time");
    std::unique_ptr<Program> p;
    const WindowId w = start(p);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(x().send_keys(w, {"2"}));
    ASSERT_TRUE(x().grab_page_until(
        w, [](const RgbImage& img) { return grab_text(img, 3, 7, 10) == " Z=2"; }, 10000));
    ASSERT_TRUE(x().send_keys(w, {"Pause"}));
    pause_ms(500);
    ASSERT_TRUE(x().send_keys(w, {"4"}));
    slow.settled = prompt_row(w);
    slow.after_digit = digit_after(w);
    // What the comparison stands on: the '4' left no trace ('?' is the
    // cursor block, a cell of no glyph).
    ASSERT_EQ(slow.settled.substr(6, 6), " Z=2? ") << slow.settled;
    ASSERT_EQ(slow.after_digit.substr(6, 7), " Z=21? ") << slow.after_digit;
  }
  {
    SCOPED_TRACE("in one read");
    std::unique_ptr<Program> p;
    const WindowId w = start(p);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(keys_in_one_read(*p, w, {"2", "Pause", "4"}, 20));
    batch.settled = prompt_row(w);
    batch.after_digit = digit_after(w);
  }
  EXPECT_EQ(batch.settled, slow.settled);
  EXPECT_EQ(batch.after_digit, slow.after_digit);
}

// The error report stays above the main window when that goes full screen:
// the screen shows the box's text where the box is. Then the box answers as
// usual: Yes goes on, No ends the program with code 0.
TEST_F(StressWindow, TheErrorReportStaysAboveTheFullScreenWindowAndAnswers) {
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    std::unique_ptr<Program> p;
    const WindowId w = start(p);
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(x().send_keys(w, {"2", "4", "Return", "minus", "1", "Return"}));
    const auto box = x().wait_for_window_titled(kReportTitle, 10000);
    ASSERT_TRUE(box && x().wait_mapped(*box, 10000)) << "no report; " << p->stderr_text();
    const auto area = x().client_geometry(*box);
    ASSERT_TRUE(area);
    // Before the change the screen shows the box's text where the box is
    // (beside the page's window): what is looked for below.
    std::optional<RgbImage> seen;
    const auto drawn_by = Clock::now() + std::chrono::seconds(10);
    do {
      pause_ms(50);
      seen = grab_screen(*area);
    } while (!(seen && find_text(*seen, "Continue?")) && Clock::now() < drawn_by);
    ASSERT_TRUE(seen && find_text(*seen, "Continue?")) << "the box never showed its text";

    ASSERT_TRUE(x().send_keys(w, {"alt+Return"}));
    const auto full = x().wait_client_size(w, 1280, 1024, 10000);
    ASSERT_TRUE(full && full->width == 1280 && full->height == 1024);
    // The full-screen page is drawn at once; a box that lost the top would
    // stay covered, so a few seconds of grabs decide.
    const auto end = Clock::now() + std::chrono::seconds(5);
    bool visible = false;
    while (!visible && Clock::now() < end) {
      pause_ms(100);
      seen = grab_screen(*area);
      visible = seen && find_text(*seen, "Continue?");
    }
    EXPECT_TRUE(visible) << "the screen at the box (" << area->x << "," << area->y << " "
                         << area->width << " x " << area->height << ") does not show its text"
                         << (seen ? "" : "; no grab of the root window");

    ASSERT_TRUE(x().send_keys(*box, {yes ? "y" : "n"}));
    if (yes) {
      EXPECT_TRUE(window_gone(kReportTitle, 10000));
      pause_ms(500);
      EXPECT_TRUE(p->running()) << p->stderr_text();
    } else {
      EXPECT_EQ(p->wait_exit(15000), 0) << p->stderr_text();
    }
  }
}

// A resize while Pause holds the window shows the held page stretched over
// the new size, not a picture that covers only part of it; the next key ends
// the pause as usual.
TEST_F(StressWindow, AResizeWhilePausedShowsTheHeldPageStretched) {
  std::unique_ptr<Program> p;
  const WindowId w = start(p);
  ASSERT_NE(w, 0u);
  ASSERT_TRUE(x().send_keys(w, {"2"}));
  const auto page = x().grab_page_until(
      w, [](const RgbImage& img) { return grab_text(img, 3, 7, 10) == " Z=2"; }, 10000);
  ASSERT_TRUE(page);

  ASSERT_TRUE(x().send_keys(w, {"Pause"}));
  pause_ms(500);
  ASSERT_TRUE(x().resize(w, 960, 720));
  const auto g = x().wait_client_size(w, 960, 720, 10000);
  ASSERT_TRUE(g && g->width == 960 && g->height == 720);
  std::optional<RgbImage> last;
  const auto stretched = x().grab_until(
      w,
      [&](const RgbImage& img) {
        last = img;
        return img.width == 960 && img.height == 720 && worst_tile_difference(*page, img) <= 24;
      },
      5000);
  EXPECT_TRUE(stretched) << "the held page is not stretched over 960 x 720: tiles differ by "
                         << (last && last->width == 960 && last->height == 720
                                 ? worst_tile_difference(*page, *last)
                                 : -1)
                         << ", pure white " << (last ? 100 * white_fraction(*last) : -1)
                         << " % (the page: " << 100 * white_fraction(*page) << " %)";
  EXPECT_TRUE(p->running());

  // A digit ends the pause and is not typed; at the page's size again, the
  // next digit is.
  ASSERT_TRUE(x().send_keys(w, {"7"}));
  ASSERT_TRUE(x().resize(w, 640, 480));
  ASSERT_TRUE(x().wait_client_size(w, 640, 480, 10000));
  ASSERT_TRUE(x().send_keys(w, {"5"}));
  EXPECT_TRUE(x().grab_page_until(
      w, [](const RgbImage& img) { return grab_text(img, 3, 7, 13) == " Z=25? "; }, 10000))
      << p->stderr_text();
}

// The X server going away while a report box is open: the window's and the
// box's connections fail at the same moment, on two threads, and the loss is
// reported once, with exit code 1. A server of its own, since it is stopped.
TEST(LostDisplay, IsReportedOnceWithCode1) {
  XServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  Program p(server, WS_BINARY_DIR "/error_probe");
  ASSERT_TRUE(server.wait_for_page_window(p)) << p.stderr_text();
  ASSERT_TRUE(server.wait_for_window_titled(kReportTitle, kPatienceMs)) << p.stderr_text();
  server.stop();
  ASSERT_EQ(p.wait_exit(kPatienceMs), 1) << p.stderr_text();
  const std::string err = p.stderr_text();
  const std::string line = "the connection to the display was lost";
  size_t count = 0;
  for (size_t at = err.find(line); at != std::string::npos; at = err.find(line, at + 1)) ++count;
  EXPECT_EQ(count, 1u) << err;
}

}  // namespace
}  // namespace ws::test
