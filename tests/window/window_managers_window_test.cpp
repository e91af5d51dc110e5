// The window among real window managers: a user's resizes, storms of them
// and drags of the frame settle on one size at the page's aspect; a size the
// manager keeps (maximised, tiled) is taken as it is and Alt+Enter still
// goes through full screen and back; a manager that goes away and comes back
// finds the window in the full-screen state the program shows, and the
// program follows the manager's own changes. Each test runs under the
// managers in its table, on a private X server of its own.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/xvfb.h"

namespace ws::test {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kPageProbe = WS_BINARY_DIR "/page_probe";
constexpr int kScreenW = 1280, kScreenH = 1024;

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Within one pixel of the page's 4:3 in either side.
bool near_page_aspect(const Geometry& g) { return std::abs(4 * g.height - 3 * g.width) <= 4; }

bool has_state(const std::vector<std::string>& states, const std::string& s) {
  return std::find(states.begin(), states.end(), s) != states.end();
}

std::string size_text(const std::optional<Geometry>& g) {
  return g ? std::to_string(g->width) + " x " + std::to_string(g->height) : "(none)";
}

// The process's share of one core over about a second: a guard against a
// loop that never ends, not a speed figure.
double cpu_share_over_a_second(pid_t pid) {
  const long before = cpu_ticks(pid);
  const auto start = Clock::now();
  sleep_ms(1000);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return static_cast<double>(cpu_ticks(pid) - before) / sysconf(_SC_CLK_TCK) / seconds;
}
constexpr double kSpinShare = 0.5;

// The geometry once it has not changed for a second.
std::optional<Geometry> settled(XServer& x, WindowId w) {
  return x.wait_geometry_settled(w, 1000, kPatienceMs);
}

// Whether the full-screen window shows the cycle's aspect-kept, smooth state:
// black bars above and below the frame at the page's 4:3, and in it the
// probe's one-pixel checkerboard blended by the filtering (colours outside
// the palette).
bool shows_aspect_kept_smooth(XServer& x, WindowId w) {
  const auto bar = x.pixel(w, kScreenW / 2, 8);
  if (!bar || *bar != 0) return false;
  for (int i = 0; i < 16; ++i) {
    const auto p = x.pixel(w, kScreenW / 2 + i, kScreenH / 2);
    if (p && palette_index(*p) < 0) return true;
  }
  return false;
}

// Whether the geometry stays g for the next second (polled).
bool stays(XServer& x, WindowId w, const Geometry& g) {
  const auto end = Clock::now() + std::chrono::seconds(1);
  while (Clock::now() < end) {
    const auto now = x.client_geometry(w);
    if (!now || now->width != g.width || now->height != g.height) return false;
    sleep_ms(10);
  }
  return true;
}

// The page probe under the manager, its window mapped and settled.
class UnderManager : public ::testing::TestWithParam<WindowManager> {
 protected:
  void SetUp() override {
    server_ = std::make_unique<XServer>(GetParam());
    ASSERT_TRUE(server_->ok()) << server_->error();
    program_ = std::make_unique<Program>(*server_, kPageProbe);
    ASSERT_TRUE(program_->started());
    const auto w = server_->wait_for_window_of(*program_, kPatienceMs);
    ASSERT_TRUE(w && server_->wait_mapped(*w, kPatienceMs)) << program_->stderr_text();
    window_ = *w;
    ASSERT_TRUE(settled(x(), window_));
  }
  void TearDown() override {
    if (program_) {
      EXPECT_TRUE(program_->running()) << program_->stderr_text();
    }
  }
  XServer& x() { return *server_; }
  Program& program() { return *program_; }
  WindowId window() const { return window_; }
  void alt_enter() { ASSERT_TRUE(x().send_keys(window(), {"alt+Return"})); }
  // Polls the window's _NET_WM_STATE until it has (or lacks) state.
  bool wait_state(WindowId w, const std::string& state, bool present) {
    const auto end = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (has_state(x().window_states(w), state) != present) {
      if (Clock::now() >= end) return false;
      sleep_ms(10);
    }
    return true;
  }
  bool full_screen_size(const std::optional<Geometry>& g) {
    return g && g->width == kScreenW && g->height == kScreenH;
  }

 private:
  std::unique_ptr<XServer> server_;
  std::unique_ptr<Program> program_;
  WindowId window_ = 0;
};

std::string manager_name(const ::testing::TestParamInfo<WindowManager>& info) {
  return window_manager_name(info.param);
}

// Managers whose windows the user sizes freely.
class FloatingManager : public UnderManager {};

TEST_P(FloatingManager, QuickResizesAndStormsSettleOnOneSizeThatStays) {
  struct Burst {
    const char* what;
    std::vector<std::pair<int, int>> sizes;  // xdotool windowsize, back to back
  };
  std::vector<std::pair<int, int>> storm;
  for (int n = 0; n < 24; ++n) storm.emplace_back(500 + 37 * n % 400, 380 + 53 * n % 300);
  const Burst bursts[] = {
      {"two quick resizes", {{737, 552}, {768, 575}}},
      {"two quick resizes", {{198, 148}, {862, 646}}},
      {"two quick resizes", {{900, 500}, {700, 640}}},
      {"two quick resizes", {{1000, 620}, {760, 700}}},
      {"a storm", storm},
  };
  // Settled on one size at the page's aspect that stays, without a loop.
  auto settles = [&](const Burst& b, const char* how) {
    const auto g = settled(x(), window());
    ASSERT_TRUE(g) << b.what << how;
    EXPECT_TRUE(near_page_aspect(*g)) << b.what << how << ": settled at " << size_text(g);
    EXPECT_TRUE(stays(x(), window(), *g)) << b.what << how << ": left " << size_text(g);
    EXPECT_LT(cpu_share_over_a_second(program().pid()), kSpinShare) << b.what << how;
  };
  // Each burst twice: one xdotool call per size, then all sizes from one.
  for (const Burst& b : bursts) {
    for (const auto& [w, h] : b.sizes) ASSERT_TRUE(x().resize(window(), w, h));
    settles(b, ", one call per size");
  }
  for (const Burst& b : bursts) {
    ASSERT_TRUE(x().resize_burst(window(), b.sizes));
    settles(b, ", one call");
  }
}

// The window answers a user's size about 120 ms after its last report. A
// newer size the user sets just before that answer reaches the manager wins
// over it: at each gap around the answer's time the window ends at the
// answer to the newer size.
TEST_P(FloatingManager, TheNewestSizeTheUserSetWinsOverTheAnswerToTheOlderOne) {
  const std::string id = std::to_string(window());
  for (const char* gap : {"0.100", "0.106", "0.112", "0.118", "0.124", "0.130"}) {
    ASSERT_TRUE(x().resize(window(), 640, 480));
    ASSERT_TRUE(settled(x(), window()));
    ASSERT_EQ(x().run({"xdotool", "windowsize", id, "322", "276", "sleep", gap, "windowsize", id,
                       "965", "804"}),
              0);
    const auto end = settled(x(), window());
    EXPECT_EQ(size_text(end), "965 x 723") << "newer size " << gap << " s after the older one";
  }
}

// From the size the manager keeps (maximised, or the tile of a tiling
// manager), Alt+Enter gives full screen, the cycle goes on, and leaving it
// gives back what the manager allows.
TEST_P(UnderManager, FromTheManagersSizeAltEnterCyclesThroughFullScreenAndBack) {
  if (GetParam() != WindowManager::I3) {
    ASSERT_TRUE(x().maximise(window(), true));
    ASSERT_TRUE(wait_state(window(), "MAXIMIZED_VERT", true) &&
                wait_state(window(), "MAXIMIZED_HORZ", true))
        << "waited for the manager to show the window maximised";
  }
  const auto kept = settled(x(), window());
  ASSERT_TRUE(kept);
  EXPECT_LT(cpu_share_over_a_second(program().pid()), kSpinShare) << "at " << size_text(kept);

  for (int round = 0; round < 2; ++round) {
    alt_enter();
    const auto full = x().wait_client_size(window(), kScreenW, kScreenH, kPatienceMs);
    ASSERT_TRUE(full_screen_size(full)) << "round " << round << ": " << size_text(full);
    // Stretched smooth, aspect kept sharp and smooth: still full screen.
    for (int n = 0; n < 3; ++n) alt_enter();
    const auto end = Clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (!shows_aspect_kept_smooth(x(), window()) && Clock::now() < end) sleep_ms(10);
    EXPECT_TRUE(shows_aspect_kept_smooth(x(), window()))
        << "round " << round << ": waited for the aspect-kept, smooth view after three presses";
    EXPECT_TRUE(full_screen_size(x().client_geometry(window()))) << "round " << round;
    EXPECT_LT(cpu_share_over_a_second(program().pid()), kSpinShare) << "round " << round;
    alt_enter();  // back
    const auto back = x().wait_client_size(window(), kept->width, kept->height, kPatienceMs);
    EXPECT_EQ(size_text(back), size_text(kept)) << "round " << round;
    EXPECT_TRUE(wait_state(window(), "FULLSCREEN", false)) << "round " << round;
    ASSERT_TRUE(settled(x(), window()));
    EXPECT_LT(cpu_share_over_a_second(program().pid()), kSpinShare) << "round " << round;
  }
}

// Holding Alt and tapping Enter steps the full-screen cycle once a tap, also
// under a manager that moves the keyboard focus out of the window and back in
// as it makes the window full screen (metacity): the Alt still down when the
// focus comes back is held again. Two taps give the screen stretched and
// smoothed; three the page's aspect, sharp, between black bars.
TEST_P(UnderManager, AltHeldAcrossSeveralEnterTapsStepsTheCycleOnceATap) {
  const std::string id = std::to_string(window());
  auto covers_screen = [](const RgbImage& i) {
    return i.width == kScreenW && i.height == kScreenH;
  };
  auto barred = [](const RgbImage& i) {
    return rows_black(i, 0, 33) && rows_black(i, 992, kScreenH) && !rows_black(i, 33, 34);
  };
  struct Case {
    int taps;
    const char* state;
    std::function<bool(const RgbImage&)> shows;
  };
  const Case cases[] = {
      {2, "stretched and smooth",
       [&](const RgbImage& i) {
         return covers_screen(i) && !barred(i) && off_palette_pixels(i) > 0;
       }},
      {3, "the page's aspect, sharp",
       [&](const RgbImage& i) {
         return covers_screen(i) && barred(i) && off_palette_pixels(i) == 0;
       }},
  };
  for (const Case& c : cases) {
    // As a user does: Alt down, Enter tapped, Alt let go at the end.
    std::vector<std::string> keys = {"xdotool", "windowactivate", "--sync", id, "keydown", "alt"};
    for (int n = 0; n < c.taps; ++n) keys.insert(keys.end(), {"sleep", "0.4", "key", "Return"});
    keys.insert(keys.end(), {"sleep", "0.4", "keyup", "alt"});
    ASSERT_EQ(x().run(keys), 0);
    EXPECT_TRUE(x().grab_until(window(), c.shows))
        << c.taps << " taps: the screen is not " << c.state;
    // The rest of the cycle's five steps: back to the window.
    for (int n = c.taps; n < 5; ++n) alt_enter();
    ASSERT_TRUE(wait_state(window(), "FULLSCREEN", false)) << "after " << c.taps << " taps";
    ASSERT_TRUE(settled(x(), window()));
  }
}

// Managers whose frame a mouse drag resizes: openbox with the tests'
// bindings for it (its defaults are left out with the others), metacity and
// xfwm4 as they come, fluxbox at the corners only (it resizes from the grips
// at the ends of the bottom handle, not from an edge: a drag of the right or
// bottom edge leaves the window as it is; and it draws an outline, sizing the
// window once at the release, so there in effect only the end is checked).
// The frame's border is found from _NET_FRAME_EXTENTS. i3 is left out: a
// tiling manager keeps the tile's size.
class DraggingManager : public UnderManager {};

TEST_P(DraggingManager, ADragOfTheFrameEndsLargerAtThePagesAspectWithoutJumpingBack) {
  struct Drag {
    const char* what;
    int dx, dy;  // where the grabbed point goes
    bool right, bottom;  // which edges are grabbed
    int steps;
  };
  const Drag drags[] = {
      {"corner, slowly", 260, 140, true, true, 40},
      {"corner, fast", 300, 100, true, true, 4},
      {"right edge", 200, 0, true, false, 20},
      {"bottom edge", 0, 150, false, true, 20},
  };
  for (const Drag& d : drags) {
    if (GetParam() == WindowManager::Fluxbox && d.right != d.bottom) continue;
    // Back to the page's size before each drag.
    ASSERT_TRUE(x().resize(window(), 640, 480));
    x().wait_client_size(window(), 640, 480, kPatienceMs);
    const auto before = settled(x(), window());
    ASSERT_TRUE(before);
    ASSERT_TRUE(x().move(window(), 40, 40));
    const auto start = settled(x(), window());
    const auto extents = x().frame_extents(window());
    ASSERT_TRUE(start && extents) << d.what;
    const auto [left, right, top, bottom] = *extents;
    RecordProperty("frame_extents", std::to_string(left) + " " + std::to_string(right) + " " +
                                        std::to_string(top) + " " + std::to_string(bottom));
    // A point on the grabbed frame edge or corner: the middle of the border,
    // which starts at the pixel after the client area's last one. Where the
    // extents give no border (metacity draws none at the right and bottom),
    // the manager's invisible resize border lies there instead, outside the
    // extents: a few pixels out.
    auto into_border = [](int border) { return border > 0 ? (border - 1) / 2 : 3; };
    const int x0 = d.right ? start->x + start->width + into_border(right)
                           : start->x + start->width / 2;
    const int y0 = d.bottom ? start->y + start->height + into_border(bottom)
                            : start->y + start->height / 2;
    // Once larger, the window never goes back to the page's size or below
    // during the drag.
    int jumps_back = 0;
    bool grown = false;
    std::string seen;
    ASSERT_TRUE(x().drag(x0, y0, x0 + d.dx, y0 + d.dy, d.steps, [&] {
      const auto g = x().client_geometry(window());
      if (!g) return;
      seen += " " + size_text(g) + ",";
      const bool small = g->width <= 640 && g->height <= 480;
      if (grown && small) ++jumps_back;
      grown = grown || !small;
    })) << d.what;
    const auto end = settled(x(), window());
    ASSERT_TRUE(end) << d.what;
    EXPECT_EQ(jumps_back, 0) << d.what << ": during the drag:" << seen;
    EXPECT_TRUE(end->width > 640 || end->height > 480) << d.what << ": " << size_text(end);
    if (d.right) {
      EXPECT_GT(end->width, 640) << d.what;
    }
    if (d.bottom) {
      EXPECT_GT(end->height, 480) << d.what;
    }
    EXPECT_TRUE(near_page_aspect(*end)) << d.what << ": " << size_text(end);
  }
}

// The manager goes away and comes back: the program's full-screen state and
// the window's stay one, whatever happened in between.
class RestartingManager : public UnderManager {};

TEST_P(RestartingManager, AltEnterAndTheManagersOwnControlsWorkAfterARestart) {
  const auto window_size = settled(x(), window());
  ASSERT_TRUE(window_size);
  // Full screen, the manager gone, the window left (four presses) while it
  // is away, the manager back: the window, not full screen.
  alt_enter();
  ASSERT_TRUE(full_screen_size(x().wait_client_size(window(), kScreenW, kScreenH, kPatienceMs)));
  x().stop_window_manager();
  ASSERT_TRUE(x().send_keys_focused(window(), {"alt+Return", "alt+Return", "alt+Return",
                                               "alt+Return"}, 60));
  // With no manager the window takes the page's size at once, and its own
  // state says it is not full screen.
  auto g = x().wait_client_size(window(), 640, 480, kPatienceMs);
  EXPECT_EQ(size_text(g), "640 x 480");
  EXPECT_TRUE(wait_state(window(), "FULLSCREEN", false));
  ASSERT_TRUE(x().start_window_manager()) << x().error();
  ASSERT_TRUE(x().wait_managed(window(), kPatienceMs));
  g = settled(x(), window());
  EXPECT_FALSE(full_screen_size(g)) << size_text(g);
  EXPECT_FALSE(has_state(x().window_states(window()), "FULLSCREEN"));
  // Alt+Enter after the restart: full screen, and the manager's own
  // control takes it away again.
  alt_enter();
  g = x().wait_client_size(window(), kScreenW, kScreenH, kPatienceMs);
  EXPECT_TRUE(full_screen_size(g)) << size_text(g);
  ASSERT_TRUE(x().set_full_screen(window(), false));
  g = settled(x(), window());
  EXPECT_FALSE(full_screen_size(g)) << size_text(g);
  // The program follows: the next Alt+Enter enters full screen again.
  alt_enter();
  g = x().wait_client_size(window(), kScreenW, kScreenH, kPatienceMs);
  EXPECT_TRUE(full_screen_size(g)) << size_text(g);

  // One press while the manager is away is not lost: it is in full screen
  // when the manager is back, and four more presses bring the window back.
  for (int n = 0; n < 4; ++n) alt_enter();
  g = settled(x(), window());
  ASSERT_FALSE(full_screen_size(g)) << size_text(g);
  x().stop_window_manager();
  ASSERT_TRUE(x().send_keys_focused(window(), {"alt+Return"}));
  // Kept in the window's own state for the manager to come.
  EXPECT_TRUE(wait_state(window(), "FULLSCREEN", true));
  ASSERT_TRUE(x().start_window_manager()) << x().error();
  // Without a manager the window covered the screen itself: the size says
  // nothing of the manager, which must have taken the window on before the
  // keys that go through it.
  ASSERT_TRUE(x().wait_managed(window(), kPatienceMs));
  g = x().wait_client_size(window(), kScreenW, kScreenH, kPatienceMs);
  EXPECT_TRUE(full_screen_size(g)) << size_text(g);
  for (int n = 0; n < 4; ++n) alt_enter();
  g = settled(x(), window());
  EXPECT_FALSE(full_screen_size(g)) << size_text(g);
  EXPECT_FALSE(has_state(x().window_states(window()), "FULLSCREEN"));
  EXPECT_LT(cpu_share_over_a_second(program().pid()), kSpinShare);
}

INSTANTIATE_TEST_SUITE_P(Managers, FloatingManager,
                         ::testing::Values(WindowManager::Openbox, WindowManager::Metacity,
                                           WindowManager::Xfwm4, WindowManager::Fluxbox),
                         manager_name);
INSTANTIATE_TEST_SUITE_P(Managers, UnderManager,
                         ::testing::Values(WindowManager::Openbox, WindowManager::Metacity,
                                           WindowManager::I3, WindowManager::Xfwm4,
                                           WindowManager::Fluxbox),
                         manager_name);
INSTANTIATE_TEST_SUITE_P(Managers, DraggingManager,
                         ::testing::Values(WindowManager::Openbox, WindowManager::Metacity,
                                           WindowManager::Xfwm4, WindowManager::Fluxbox),
                         manager_name);
INSTANTIATE_TEST_SUITE_P(Managers, RestartingManager,
                         ::testing::Values(WindowManager::Openbox, WindowManager::Metacity,
                                           WindowManager::I3, WindowManager::Xfwm4),
                         manager_name);

}  // namespace
}  // namespace ws::test
