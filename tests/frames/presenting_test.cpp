// The presenter's decisions without a window: the answer to a resize, the
// full-screen cycle, the viewport and one presentation's plan.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <utility>
#include <vector>

#include "screen/presenting.h"
#include "screen/text.h"
#include "support/headless.h"

namespace ws::test {
namespace {

// The window as the window library reports it, answered as the presenter
// would: each requested size is reported back before the user's next move.
struct ResizingWindow {
  Presenter ps;
  ScalingMode scaling = ScalingMode::Smoothed;
  bool snap_back = false;

  std::optional<WindowSize> user_sets(int32_t w, int32_t h) {
    ps.window_size_reported(w, h, 0);
    const auto answer = ps.answer_frame(640, 480, scaling, snap_back, 0);
    if (answer) ps.window_size_reported(answer->width, answer->height, 0);
    return answer;
  }
};

TEST(WindowAdaptation, TheFirstFrameOfThePageFitsTheWindowWhateverTheScalingMode) {
  for (ScalingMode scaling : {ScalingMode::Own, ScalingMode::Stretched, ScalingMode::Smoothed}) {
    const int n = static_cast<int>(scaling);
    ResizingWindow w;
    w.scaling = scaling;
    w.ps.window_size_reported(640, 400, 0);
    EXPECT_EQ(w.ps.answer_frame(640, 480, scaling, false, 0), (WindowSize{640, 480})) << n;
    w.ps.window_size_reported(640, 480, 0);
    EXPECT_EQ(w.ps.answer_frame(640, 480, scaling, false, 0), std::nullopt) << n;
  }
}

TEST(WindowAdaptation, UserResizesGetThePagesAspectOnePixelShortIncluded) {
  struct Step {
    int32_t w, h;
    std::optional<WindowSize> answer;
  };
  // One user's session, each step from the size before it.
  const Step steps[] = {
      {640, 480, std::nullopt},             // the page's own size
      {800, 480, WindowSize{800, 599}},     // width only: height from it, 599 not 600
      {800, 700, WindowSize{933, 700}},     // height only
      {1000, 720, WindowSize{1000, 749}},   // both, width changed more: width kept
      {1040, 709, WindowSize{945, 709}},    // both, equal changes: height kept
      {945, 709, std::nullopt},             // the aspect last asked for stays
      {1024, 768, std::nullopt},            // exactly the page's aspect stays
  };
  ResizingWindow w;
  w.ps.window_size_reported(640, 400, 0);
  w.ps.answer_frame(640, 480, ScalingMode::Smoothed, false, 0);
  w.ps.window_size_reported(640, 480, 0);
  for (const Step& s : steps)
    EXPECT_EQ(w.user_sets(s.w, s.h), s.answer) << s.w << " x " << s.h;
}

TEST(WindowAdaptation, SizesKeptAsTheUserMadeThem) {
  // 800 x 500 has the 1.6 aspect asked for before any answer.
  ResizingWindow smooth;
  smooth.ps.window_size_reported(640, 400, 0);
  smooth.ps.answer_frame(640, 480, ScalingMode::Smoothed, false, 0);
  smooth.ps.window_size_reported(640, 480, 0);
  EXPECT_EQ(smooth.user_sets(800, 500), std::nullopt);

  // Unscaled: a user's size stays, unless snap-back is on.
  ResizingWindow unscaled;
  unscaled.scaling = ScalingMode::Own;
  unscaled.user_sets(640, 480);
  EXPECT_EQ(unscaled.user_sets(900, 500), std::nullopt);
  unscaled.snap_back = true;
  EXPECT_EQ(unscaled.user_sets(900, 500), (WindowSize{640, 480}));
}

TEST(WindowAdaptation, ADegenerateWindowSizeAsksForNothing) {
  ResizingWindow w;
  w.user_sets(640, 480);
  EXPECT_EQ(w.user_sets(0, 0), std::nullopt);
  EXPECT_EQ(w.user_sets(1, 0), std::nullopt);
}

TEST(FullScreenCycle, AltEnterGoesThroughTheFiveStatesAndBack) {
  struct State {
    FullScreenState state;
    FullScreenMode mode;
    bool smooth;
    FullScreenAction action;
  };
  using S = FullScreenState;
  using M = FullScreenMode;
  const State expected[] = {
      {S::StretchedSharp, M::Stretched, false, FullScreenAction::Enter},
      {S::StretchedSmooth, M::Stretched, true, FullScreenAction::Keep},
      {S::AspectKeptSharp, M::AspectKept, false, FullScreenAction::Keep},
      {S::AspectKeptSmooth, M::AspectKept, true, FullScreenAction::Keep},
      {S::Windowed, M::Windowed, false, FullScreenAction::Leave},
      {S::StretchedSharp, M::Stretched, false, FullScreenAction::Enter},
  };
  Headless h;
  Presenter& ps = h.rt.presenter;
  for (const State& e : expected) {
    h.rt.frames.force_rebuild.store(false);
    ps.alt_enter(h.rt.frames);
    EXPECT_TRUE(h.rt.frames.force_rebuild.load());
    const FullScreenAction action = ps.full_screen_change()
                                        ? ps.apply_full_screen_change({640, 480}, 0).action
                                        : FullScreenAction::Keep;
    EXPECT_EQ(ps.full_screen(), e.state);
    EXPECT_EQ(ps.window_mode(), e.mode);
    EXPECT_EQ(full_screen_step(ps.full_screen()).smooth, e.smooth);
    EXPECT_EQ(action, e.action);
    EXPECT_EQ(ps.full_screen_change(), std::nullopt);
  }
}

TEST(FullScreenCycle, PressesBeforeTheRequestIsAppliedBuildOnIt) {
  Headless h;
  Presenter& ps = h.rt.presenter;
  ps.alt_enter(h.rt.frames);
  ps.alt_enter(h.rt.frames);
  EXPECT_EQ(ps.full_screen_change(), FullScreenState::StretchedSmooth);
  ps.alt_enter(h.rt.frames);
  EXPECT_EQ(ps.full_screen_change(), FullScreenState::AspectKeptSharp);
  EXPECT_EQ(ps.apply_full_screen_change({640, 480}, 0).action, FullScreenAction::Enter);
  EXPECT_EQ(ps.window_mode(), FullScreenMode::AspectKept);
}

// Five presses before any presentation applied them (no frame shown yet)
// make the whole cycle: the window stays as it is.
TEST(FullScreenCycle, FivePressesBeforeAnyIsAppliedComeBackToTheWindow) {
  Headless h;
  Presenter& ps = h.rt.presenter;
  for (int n = 0; n < 5; ++n) ps.alt_enter(h.rt.frames);
  EXPECT_EQ(ps.full_screen(), FullScreenState::Windowed);
  EXPECT_EQ(ps.full_screen_change(), std::nullopt);
  EXPECT_EQ(ps.apply_full_screen_change({640, 480}, 0).action, FullScreenAction::Keep);
}

TEST(Viewport, WhereAndHowTheFrameIsDrawn) {
  struct Case {
    const char* what;
    int32_t ww, wh;
    ScalingMode scaling;
    FullScreenState full_screen;
    Viewport expected;
  };
  using Sc = ScalingMode;
  using S = FullScreenState;
  const Case cases[] = {
      {"exact size: pixel for pixel", 640, 480, Sc::Smoothed, S::Windowed, {0, 0, 640, 480, false}},
      {"one pixel more: smoothed", 641, 481, Sc::Smoothed, S::Windowed, {0, 0, 641, 481, true}},
      {"stretched sharp", 800, 600, Sc::Stretched, S::Windowed, {0, 0, 800, 600, false}},
      {"unscaled: own size", 800, 600, Sc::Own, S::Windowed, {0, 0, 640, 480, false}},
      {"full screen stretched", 1280, 1024, Sc::Smoothed, S::StretchedSharp,
       {0, 0, 1280, 1024, false}},
      {"full screen stretched smooth", 1280, 1024, Sc::Own, S::StretchedSmooth,
       {0, 0, 1280, 1024, true}},
      {"bars left and right", 1920, 1080, Sc::Smoothed, S::AspectKeptSharp,
       {240, 0, 1440, 1080, false}},
      {"bars above and below", 1280, 1024, Sc::Smoothed, S::AspectKeptSmooth,
       {0, 33, 1280, 959, true}},
      {"bars on a 4:3 screen: none", 1024, 768, Sc::Smoothed, S::AspectKeptSharp,
       {0, 0, 1024, 768, false}},
      {"full screen at the frame's size", 640, 480, Sc::Smoothed, S::AspectKeptSmooth,
       {0, 0, 640, 480, false}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(compute_viewport(640, 480, c.ww, c.wh, c.scaling, c.full_screen), c.expected)
        << c.what;
}

// One presentation after another, with frames built in between.
struct Presenting {
  Headless h;
  Runtime& rt = h.rt;
  Presenting() {
    set_screen_mode(rt, 12);
    // As the process start and the animator leave them.
    rt.window.window_snap_back.store(false);
    rt.window.scaling_mode.store(ScalingMode::Smoothed);
    rt.presenter.window_size_reported(640, 400, seen.now_ms);
  }
  // The window side's clock and pointer, as the presenter is handed them.
  WindowObservation seen;
  PresentPlan present() {
    return rt.presenter.plan(rt.frames, rt.window, rt.state, seen);
  }
  bool due() const { return rt.presenter.presentation_due(rt.frames, rt.state, seen); }
  void build() { build_frame(rt.frames, rt.pages, h.boxes); }
  void alt_enter() { rt.presenter.alt_enter(rt.frames); }
  void report(int32_t w, int32_t h) { rt.presenter.window_size_reported(w, h, seen.now_ms); }
};

TEST(Presentation, TheFirstFrameIsDrawnAndFitsTheWindow) {
  Presenting p;
  EXPECT_FALSE(p.present().draw);  // no frame yet
  p.build();
  const PresentPlan plan = p.present();
  ASSERT_TRUE(plan.draw);
  EXPECT_EQ(plan.request, (WindowSize{640, 480}));
  // Drawn in the window as it is until the new size is reported.
  EXPECT_EQ(plan.viewport, (Viewport{0, 0, 640, 400, true}));
}

TEST(Presentation, OnlyANewFrameASizeReportOrARepaintRequestDraws) {
  Presenting p;
  p.build();
  EXPECT_TRUE(p.due());
  ASSERT_TRUE(p.present().draw);
  EXPECT_FALSE(p.due());
  EXPECT_FALSE(p.present().draw) << "nothing new since the last presentation";
  p.build();  // dropped: the page is unchanged
  EXPECT_FALSE(p.due());
  EXPECT_FALSE(p.present().draw);

  p.report(640, 480);
  EXPECT_TRUE(p.due());
  const PresentPlan after_report = p.present();
  EXPECT_TRUE(after_report.draw);
  EXPECT_EQ(after_report.viewport, (Viewport{0, 0, 640, 480, false}));

  p.rt.presenter.repaint_requested();  // the window library's repaint
  EXPECT_TRUE(p.present().draw);
  p.h.page().set_pixel(3, 3, 3);
  p.build();
  EXPECT_TRUE(p.due());
  EXPECT_TRUE(p.present().draw);
}

TEST(Presentation, ThePauseHoldsTheShownFrameAndRedrawsItAtANewSize) {
  Presenting p;
  p.build();
  const int held = p.present().slot;
  p.report(640, 480);
  p.present();
  p.rt.state.pause_requested.store(1);
  p.h.page().set_pixel(3, 3, 3);
  p.build();
  EXPECT_FALSE(p.due()) << "a newer frame waits for the end of the pause";
  EXPECT_FALSE(p.present().draw);

  // A resize (or a repaint) while paused draws the held frame at the new
  // size, so the window never shows what lies behind it.
  p.report(960, 720);
  EXPECT_TRUE(p.due());
  PresentPlan plan = p.present();
  EXPECT_TRUE(plan.draw);
  EXPECT_EQ(plan.slot, held);
  EXPECT_EQ(plan.viewport, (Viewport{0, 0, 960, 720, true}));
  EXPECT_FALSE(p.present().draw);

  p.rt.state.pause_requested.store(0);
  EXPECT_TRUE(p.due());
  plan = p.present();
  EXPECT_TRUE(plan.draw);
  EXPECT_NE(plan.slot, held) << "the newest frame once the pause is over";
  EXPECT_FALSE(p.due());
}

TEST(Presentation, AFullScreenRequestIsAppliedAtOnceAndLeavingAsksForThePagesSize) {
  Presenting p;
  p.build();
  p.present();  // asks for 640 x 480
  p.alt_enter();
  // Not held back by the answer in flight: a manager that refuses it (the
  // window maximised or tiled) never reports it.
  PresentPlan plan = p.present();
  EXPECT_EQ(plan.full_screen, FullScreenAction::Enter);
  EXPECT_FALSE(p.due());
  p.report(640, 480);
  p.report(1280, 1024);
  p.build();  // forced by Alt+Enter
  plan = p.present();
  EXPECT_EQ(plan.request, std::nullopt) << "no window adaptation in full screen";
  EXPECT_EQ(plan.viewport, (Viewport{0, 0, 1280, 1024, false}));
  // Back to the window: four more presses, the last one leaves at the
  // page's size.
  for (int n = 0; n < 4; ++n) {
    p.alt_enter();
    p.build();
    plan = p.present();
  }
  EXPECT_EQ(plan.full_screen, FullScreenAction::Leave);
  EXPECT_EQ(plan.request, (WindowSize{640, 480}));
  // Drawn again before the window reports its new size: the screen's size
  // still at hand is not answered as if the user had made it.
  p.rt.presenter.repaint_requested();
  plan = p.present();
  EXPECT_TRUE(plan.draw);
  EXPECT_EQ(plan.request, std::nullopt);
  p.report(640, 480);
  plan = p.present();
  EXPECT_TRUE(plan.draw);
  EXPECT_EQ(plan.request, std::nullopt);
  EXPECT_EQ(plan.viewport, (Viewport{0, 0, 640, 480, false}));
}

// The window under a simulated window manager, a millisecond at a time: the
// display timer's pass every 16 ms presents when a presentation is due; a
// size the presenter asks for is reported back kGrantMs later, unless the
// manager keeps the window's size (maximised, tiled), when nothing comes back.
struct ManagedWindow {
  static constexpr int64_t kGrantMs = 30;
  Presenting p;
  bool manager_keeps_size = false;
  std::vector<std::pair<int64_t, WindowSize>> requests;  // when, what
  std::optional<std::pair<int64_t, WindowSize>> grant;

  ManagedWindow() {
    p.build();
    run_for(500);  // the first frame fits the window to the page
    requests.clear();
  }
  int64_t now() const { return p.seen.now_ms; }
  WindowSize size() const { return p.rt.presenter.window_size(); }
  void report(WindowSize s) { p.report(s.width, s.height); }
  void run_for(int64_t ms) {
    const int64_t end = now() + ms;
    while (now() < end) {
      ++p.seen.now_ms;
      if (grant && grant->first <= now()) {
        report(grant->second);
        grant.reset();
      }
      if (now() % 16 != 0 || !p.due()) continue;
      const PresentPlan plan = p.present();
      if (!plan.request) continue;
      requests.emplace_back(now(), *plan.request);
      if (!manager_keeps_size) grant.emplace(now() + kGrantMs, *plan.request);
    }
  }
};

TEST(WindowAnswers, EachChangeOfSizeIsAnsweredOnceWhenItHasSettled) {
  struct Step {
    int64_t at_ms;
    int32_t w, h;
  };
  constexpr int64_t kAlways = 1 << 30;
  struct Case {
    const char* what;
    int64_t keeps_size_until_ms;  // the manager keeps the size until then
    bool maximised;
    std::vector<Step> sizes;   // given to the window (by the user or the manager)
    int64_t button_up_ms;      // a button is held from the first size until then
    std::vector<WindowSize> requests;
    WindowSize final_size;
  };
  const Case cases[] = {
      {"two quick resizes: one answer, measured from the size before both",
       0, false, {{0, 800, 480}, {40, 1000, 700}}, 0, {{1000, 749}}, {1000, 749}},
      {"a drag of the corner: answered once the button is let go, not during it",
       0, false, {{0, 700, 500}, {30, 780, 560}, {60, 860, 600}, {90, 900, 620}}, 600,
       {{900, 674}}, {900, 674}},
      {"a user's size while an answer is in flight, granted after it: answered after the "
       "flight, from the user's size",
       0, false, {{0, 800, 480}, {125, 900, 500}}, 0, {{800, 599}, {900, 674}}, {900, 674}},
      {"a much larger size just before the answer to a small one is granted: the larger wins",
       0, false, {{0, 322, 276}, {120, 965, 804}}, 0, {{322, 241}, {965, 723}}, {965, 723}},
      {"a size of the page's aspect while an answer is in flight: asked for as it was set",
       0, false, {{0, 800, 480}, {125, 1024, 768}}, 0, {{800, 599}, {1024, 768}}, {1024, 768}},
      {"a size the manager keeps without a word: asked once, then accepted",
       kAlways, false, {{0, 1276, 984}}, 0, {{1276, 956}}, {1276, 984}},
      {"a user's size long after a refused answer: answered from the size kept",
       2000, false, {{0, 1276, 984}, {2000, 900, 700}}, 0, {{1276, 956}, {900, 674}},
       {900, 674}},
      {"maximised: the manager's size is taken as it is",
       kAlways, true, {{0, 1280, 1005}}, 0, {}, {1280, 1005}},
      {"within one pixel of the page's aspect: kept", 0, false, {{0, 802, 600}}, 0, {},
       {802, 600}},
      {"exactly the page's aspect: kept", 0, false, {{0, 1024, 768}}, 0, {}, {1024, 768}},
  };
  for (const Case& c : cases) {
    ManagedWindow w;
    if (c.maximised) w.p.rt.presenter.window_manager_changed({true, false});
    const int64_t start = w.now();
    w.p.seen.button_held = c.button_up_ms > 0;
    for (const Step& s : c.sizes) {
      w.run_for(start + s.at_ms - w.now());
      w.manager_keeps_size = s.at_ms < c.keeps_size_until_ms;
      w.report({s.w, s.h});
    }
    if (c.button_up_ms > 0) {
      w.run_for(start + c.button_up_ms - w.now());
      EXPECT_TRUE(w.requests.empty()) << c.what << ": asked while the button was held";
      w.p.seen.button_held = false;
    }
    w.run_for(3000);
    // New frames make the presenter look at the size again: still nothing.
    for (int n = 0; n < 5; ++n) {
      w.p.h.page().set_pixel(n, 0, 1 + n);
      w.p.build();
      w.run_for(100);
    }
    std::vector<WindowSize> asked;
    for (const auto& r : w.requests) asked.push_back(r.second);
    EXPECT_EQ(asked, c.requests) << c.what;
    EXPECT_EQ(w.size(), c.final_size) << c.what;
    EXPECT_FALSE(w.p.due()) << c.what << ": idle once settled";
  }
}

// A size the manager refuses (a tile) is not asked for again while the
// window keeps the size the manager kept, however often the presenter looks
// at the size; a size the manager grants later is answered again.
TEST(WindowAnswers, ARefusedSizeIsAskedForOnceWhileTheWindowKeepsTheManagersSize) {
  ManagedWindow w;
  // Unscaled with snap-back: every presentation wants the page's size back.
  w.p.rt.window.scaling_mode.store(ScalingMode::Own);
  w.p.rt.window.window_snap_back.store(true);
  w.manager_keeps_size = true;
  w.report({1276, 984});
  w.run_for(1000);
  for (int n = 0; n < 5; ++n) {
    w.p.h.page().set_pixel(n, 0, 1 + n);
    w.p.build();
    w.run_for(400);
  }
  std::vector<WindowSize> asked;
  for (const auto& r : w.requests) asked.push_back(r.second);
  EXPECT_EQ(asked, (std::vector<WindowSize>{{640, 480}}));
  EXPECT_EQ(w.size(), (WindowSize{1276, 984}));
  // The manager lets go (the tile becomes a floating window of another size).
  w.manager_keeps_size = false;
  w.report({1000, 700});
  w.run_for(1000);
  ASSERT_EQ(w.requests.size(), 2u);
  EXPECT_EQ(w.requests.back().second, (WindowSize{640, 480}));
  EXPECT_EQ(w.size(), (WindowSize{640, 480}));
}

TEST(WindowAnswers, AFullScreenRequestIsNotHeldBackByARefusedAnswer) {
  ManagedWindow w;
  w.manager_keeps_size = true;
  w.report({1276, 984});  // a tile
  w.run_for(150);
  ASSERT_EQ(w.requests.size(), 1u);
  ASSERT_TRUE(w.p.rt.presenter.answer_in_flight()) << "the answer is in flight";
  w.p.alt_enter();
  const PresentPlan plan = w.p.present();
  EXPECT_EQ(plan.full_screen, FullScreenAction::Enter);
  EXPECT_EQ(w.p.rt.presenter.window_mode(), FullScreenMode::Stretched);
}

// Between presentations nothing is due unless something new is to be shown,
// in every state of the window and its answers.
TEST(WindowAnswers, NothingIsDueWhileOnlyWaiting) {
  struct Case {
    const char* what;
    std::function<void(ManagedWindow&)> into_state;
  };
  const Case cases[] = {
      {"windowed, idle", [](ManagedWindow&) {}},
      {"an answer in flight that the manager never reports",
       [](ManagedWindow& w) {
         w.manager_keeps_size = true;
         w.report({1276, 984});
         w.run_for(120);
         ASSERT_TRUE(w.p.rt.presenter.answer_in_flight());
       }},
      {"a user's size waiting for the button to be let go",
       [](ManagedWindow& w) {
         w.p.seen.button_held = true;
         w.report({900, 600});
         w.run_for(500);
         ASSERT_TRUE(w.p.rt.presenter.answer_deferred());
       }},
      {"maximised", [](ManagedWindow& w) {
         w.manager_keeps_size = true;
         w.p.rt.presenter.window_manager_changed({true, false});
         w.report({1280, 1005});
         w.run_for(500);
       }},
      {"full screen", [](ManagedWindow& w) {
         w.p.alt_enter();
         w.run_for(20);
         w.report({1280, 1024});
         w.run_for(500);
       }},
  };
  for (const Case& c : cases) {
    ManagedWindow w;
    c.into_state(w);
    if (::testing::Test::HasFatalFailure()) return;
    w.run_for(16);  // whatever was due has been presented
    for (int n = 0; n < 20; ++n) {
      w.p.seen.now_ms += 16;
      EXPECT_FALSE(w.p.due()) << c.what << " at " << w.now() << " ms";
    }
  }
}

TEST(WindowAnswers, TheFullScreenModeFollowsTheWindowManagersChanges) {
  using S = FullScreenState;
  struct Case {
    const char* what;
    bool before_full_screen;  // what the manager showed before
    S state;                  // the program's idea
    bool now_full_screen;
    S expected;
  };
  const Case cases[] = {
      {"the manager makes it full screen", false, S::Windowed, true, S::StretchedSharp},
      {"the manager takes full screen away", true, S::AspectKeptSmooth, false, S::Windowed},
      {"the program's own request arrives", false, S::StretchedSmooth, true, S::StretchedSmooth},
      {"the program's own leave arrives", true, S::Windowed, false, S::Windowed},
      {"a change of another state (maximised)", true, S::AspectKeptSmooth, true,
       S::AspectKeptSmooth},
  };
  for (const Case& c : cases) {
    Presenting p;
    Presenter& ps = p.rt.presenter;
    ps.window_manager_changed({false, c.before_full_screen});
    // Into the program's state through Alt+Enter, applied: the cycle comes
    // round to each of its states within as many presses as it has states.
    constexpr int kCycleLength = static_cast<int>(std::size(kFullScreenCycle));
    for (int n = 0; n < kCycleLength && ps.full_screen() != c.state; ++n) p.alt_enter();
    ASSERT_EQ(ps.full_screen(), c.state)
        << c.what << ": waited for Alt+Enter to lead to the state, " << kCycleLength
        << " presses";
    ps.apply_full_screen_change({640, 480}, p.seen.now_ms);
    ASSERT_EQ(ps.full_screen_change(), std::nullopt) << c.what;
    ps.window_manager_changed({true, c.now_full_screen});
    EXPECT_EQ(ps.full_screen(), c.expected) << c.what;
    EXPECT_EQ(ps.window_mode(), full_screen_step(c.expected).mode) << c.what;
    if (c.expected != c.state) {
      EXPECT_TRUE(p.due()) << c.what;
      // The next Alt+Enter goes on from the state the window is in.
      p.alt_enter();
      EXPECT_EQ(ps.full_screen_change(),
                c.expected == S::Windowed ? std::optional(S::StretchedSharp) : std::nullopt)
          << c.what;
    }
  }
}

}  // namespace
}  // namespace ws::test
