// The presenter of the window thread: which frame slot to show, how the
// window answers a resize, the full-screen states and their Alt+Enter cycle,
// and where the frame is drawn. One Presenter owns the window's size answer
// and the full-screen cycle; it changes only through its event methods (a
// size reported, the manager's state changed, Alt+Enter, a plan for now and
// the pointer), each of which keeps the invariants below. Its decisions are
// plain functions of what it is handed; the window library and GL calls that
// carry them out live with the window (src/app/presenter.cpp).
//
// Runtime composes it; the keyboard's Alt+Enter hook and the window manager
// side reach it through its methods. Everything in it is the window thread's:
// no other thread reads it (the frame thread learns of a full-screen change
// through FrameStore::force_rebuild), so nothing in it is atomic.
#pragma once

#include <cstdint>
#include <optional>

#include "screen/frames.h"
#include "screen/page.h"
#include "screen/run_state.h"
#include "screen/window_settings.h"

namespace ws {

// How the frame fills the window in full screen.
enum class FullScreenMode { Windowed, Stretched, AspectKept };

// The five states of the full-screen cycle, in Alt+Enter's order: each
// full-screen mode first sharp, then smooth, and back to the window.
enum class FullScreenState {
  Windowed,
  StretchedSharp,
  StretchedSmooth,
  AspectKeptSharp,
  AspectKeptSmooth,
};

// One row of the cycle: the mode and filtering of a state, and the state the
// next Alt+Enter leads to.
struct FullScreenStep {
  FullScreenState state;
  FullScreenMode mode;
  bool smooth;
  FullScreenState next;
};
inline constexpr FullScreenStep kFullScreenCycle[] = {
    {FullScreenState::Windowed, FullScreenMode::Windowed, false, FullScreenState::StretchedSharp},
    {FullScreenState::StretchedSharp, FullScreenMode::Stretched, false,
     FullScreenState::StretchedSmooth},
    {FullScreenState::StretchedSmooth, FullScreenMode::Stretched, true,
     FullScreenState::AspectKeptSharp},
    {FullScreenState::AspectKeptSharp, FullScreenMode::AspectKept, false,
     FullScreenState::AspectKeptSmooth},
    {FullScreenState::AspectKeptSmooth, FullScreenMode::AspectKept, true,
     FullScreenState::Windowed},
};
constexpr const FullScreenStep& full_screen_step(FullScreenState s) {
  return kFullScreenCycle[static_cast<int>(s)];
}

// How long an answer may be in flight without its size report before the
// manager is taken to have refused it, and how long a user's size must stay
// unchanged (with no pointer button held) before it is answered.
inline constexpr int64_t kAnswerFlightMs = 300;
inline constexpr int64_t kSettleQuietMs = 100;

// What the window side saw for one decision: the window thread's clock in
// milliseconds, and whether a pointer button is held (asked only while
// Presenter::answer_waits_for_pointer says so; false otherwise).
struct WindowObservation {
  int64_t now_ms = 0;
  bool button_held = false;
};

// The window manager's view of the window (_NET_WM_STATE), as read after a
// change of it.
struct WindowManagerState {
  bool maximised = false;
  bool full_screen = false;
};

// The window thread's choice of the slot to show: the newest ready frame
// newer than the displaying one becomes displaying (older ready frames and
// the previously displayed one are emptied), else the displaying slot stays.
struct SlotChoice {
  int slot = -1;          // -1: nothing to show
  bool changed = false;   // the slot became displaying just now
};
SlotChoice choose_present_slot(FrameStore& frames);

struct WindowSize {
  int32_t width = 0, height = 0;
  friend bool operator==(const WindowSize&, const WindowSize&) = default;
};

// What a full-screen change makes the window do.
enum class FullScreenAction { Keep, Enter, Leave };

// Where the frame is drawn, in window pixels from the top left, and whether
// it is smoothed (linear filtering) or sharp (nearest).
struct Viewport {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool smooth = false;
  friend bool operator==(const Viewport&, const Viewport&) = default;
};
Viewport compute_viewport(int32_t fw, int32_t fh, int32_t ww, int32_t wh, ScalingMode scaling,
                          FullScreenState full_screen);

// One presentation's decisions (everything but the drawing itself).
struct PresentPlan {
  bool draw = false;                    // false: nothing to do this time
  int slot = -1;                        // the displaying slot to draw
  std::optional<WindowSize> request;    // a client size to ask for
  FullScreenAction full_screen = FullScreenAction::Keep;
  Viewport viewport;
};

// The window's size goes back and forth with the window manager: the
// presenter asks for a size, the manager grants it (a size report of exactly
// that size), grants another one, or refuses it without a word (maximised,
// tiled). Only one answer is ever in flight, a size the user is still
// changing is answered once it has settled, and a size the manager keeps is
// accepted; so no two requests chase each other.
class Presenter {
 public:
  // The window library's report of the window's client size at now_ms: ends
  // the answer in flight when it is the size asked for (or, first, when it
  // has been in flight too long); any other new size of the window starts
  // (or continues) a deferred answer. The next presentation draws.
  void window_size_reported(int32_t width, int32_t height, int64_t now_ms);

  // The manager's _NET_WM_STATE changed. While maximised or full screen the
  // manager gives the size. The full-screen state follows a change that the
  // program did not ask for (the manager's own controls, a manager gone or
  // back): entering full screen from outside is taken as stretched and
  // sharp, leaving it as the window. A change reported for what the
  // presenter asked for changes nothing; a pending Alt+Enter is applied on
  // its own.
  void window_manager_changed(const WindowManagerState& wm);

  // Alt+Enter: the next state of the cycle, applied by the next
  // presentation; the next building pass rebuilds the frame.
  void alt_enter(FrameStore& frames);

  // The window library asks for a repaint (exposed, mapped): the next
  // presentation draws the shown frame again.
  void repaint_requested() { forced_redraw_ = true; }

  // Whether a deferred answer waits only for the pointer's buttons to be let
  // go (the window side then asks the server, and only then).
  bool answer_waits_for_pointer(int64_t now_ms) const;

  // Whether a presentation would draw now: a ready frame newer than the one
  // shown (not while the pause holds), a size report or a repaint, a
  // full-screen change, or a deferred answer that has settled. The shown
  // frame is not drawn again while nothing changed; nothing else keeps it
  // due.
  bool presentation_due(const FrameStore& frames, const RunState& state,
                        const WindowObservation& seen) const;

  // One presentation at seen.now_ms: the slot to show, the full-screen change
  // and the size to ask for, and the viewport.
  PresentPlan plan(FrameStore& frames, const WindowSettings& window, const RunState& state,
                   const WindowObservation& seen);

  // The two decisions a plan is made of, for a frame of fw x fh.
  //
  // The window's answer to the frame in its current size: the client size
  // to ask for, if any, which is then the answer in flight since now_ms. A
  // user's size that overtook an answer in flight is answered as the user
  // set it, measured from the size before it, whatever the older answer did
  // to the window. Asks for nothing while the manager gives the size
  // (maximised or full screen), for a size within one pixel of the window's
  // own, and for the size the manager has just refused while the window
  // still has the size it kept instead.
  std::optional<WindowSize> answer_frame(int32_t fw, int32_t fh, ScalingMode scaling,
                                         bool snap_back, int64_t now_ms);
  // The full-screen state asked for by Alt+Enter, applied: what the window
  // must do, and on leaving full screen the frame's size asked for (in
  // flight since now_ms, whatever the window's size is: that is the
  // screen's).
  struct FullScreenChange {
    FullScreenAction action = FullScreenAction::Keep;
    std::optional<WindowSize> request;
  };
  FullScreenChange apply_full_screen_change(WindowSize frame, int64_t now_ms);

  // What the window side and the tests may look at.
  WindowSize window_size() const { return window_; }
  // The state drawn, or to be drawn once the pending change is applied.
  FullScreenState full_screen() const { return full_screen_; }
  // The state Alt+Enter asked for that the window has not taken yet.
  std::optional<FullScreenState> full_screen_change() const {
    if (full_screen_step(full_screen_).mode == window_mode_) return std::nullopt;
    return full_screen_;
  }
  // The full-screen mode the window is in, as last asked of the manager.
  FullScreenMode window_mode() const { return window_mode_; }
  bool answer_in_flight() const { return in_flight_.has_value(); }
  bool answer_deferred() const { return deferred_.has_value(); }

 private:
  // A size asked for and when: the answer in flight until the report of
  // exactly that size, or until kAnswerFlightMs have passed.
  struct Answer {
    WindowSize size;
    int64_t asked_at_ms = 0;
  };
  // A size the manager did not grant: asked for `asked`, it kept the window
  // at `kept`.
  struct Refusal {
    WindowSize asked, kept;
  };
  // A size report that is not the answer in flight (the user's or the
  // manager's), waiting to be answered until it has settled.
  struct DeferredAnswer {
    int64_t last_report_ms = 0;
    // The newest size the user set arrived while an answer was in flight:
    // the manager may apply that older answer after it. Then the deferred
    // answer is to this size, whatever size the window reports meanwhile.
    std::optional<WindowSize> overtaken_by;
  };

  bool deferred_answer_quiet(int64_t now_ms) const;
  bool deferred_answer_settled(const WindowObservation& seen) const;
  void end_overdue_answer(int64_t now_ms);
  // The one place an answer starts: the size and its time together.
  WindowSize begin_answer(WindowSize size, int64_t now_ms);
  std::optional<WindowSize> ask_for(WindowSize size, int64_t now_ms);

  // Before the first report, the window has the size it opens at, and the
  // frame that of the opening screen: both the opening size (page.h).
  static constexpr WindowSize kOpening{kOpeningSize.width, kOpeningSize.height};
  // The window's size as last reported.
  WindowSize window_ = kOpening;
  // The size before the change being answered: before the last report, or,
  // while a user's change waits to settle, before the first report of it.
  WindowSize previous_window_ = kOpening;
  // The frame's size at the last answer.
  WindowSize previous_frame_ = kOpening;
  // The shape last asked for: before any answer, the opening size's, 1.6.
  float requested_aspect_ =
      static_cast<float>(kOpening.width) / static_cast<float>(kOpening.height);
  std::optional<Answer> in_flight_;
  std::optional<Refusal> refused_;
  std::optional<DeferredAnswer> deferred_;
  WindowManagerState wm_;
  bool forced_redraw_ = false;
  // The cycle's state (the viewport's), and the mode the window was last put
  // in: they differ while an Alt+Enter waits for the next presentation.
  FullScreenState full_screen_ = FullScreenState::Windowed;
  FullScreenMode window_mode_ = FullScreenMode::Windowed;
};

}  // namespace ws
