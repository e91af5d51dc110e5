// The presenter's decisions on the window thread: which frame slot to show,
// how the window answers a resize, the full-screen states and their Alt+Enter
// cycle, and where the frame is drawn. They are plain functions of the parts
// they are handed; the window library and GL calls that carry them out live
// with the window (src/app/presenter.cpp).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

#include "screen/frames.h"
#include "screen/run_state.h"
#include "screen/window_settings.h"

namespace ws {

enum class FullScreenMode : int32_t { Windowed = 0, Stretched = 1, AspectKept = 2 };
// A change of the full-screen mode waiting for the presenter, or NoChange.
enum class FullScreenRequest : int32_t { NoChange = -1, Windowed = 0, Stretched = 1, AspectKept = 2 };

// Window geometry and full-screen state. The plain fields are the window
// thread's. The atomics are written by the key handling's Alt+Enter and by
// the presenter, both on the window thread (relaxed: one thread), and may be
// read elsewhere for a snapshot.
//
// The window's size goes back and forth with the window manager: the
// presenter asks for a size, the manager grants it (a size report of exactly
// that size), grants another one, or refuses it without a word (maximised,
// tiled). Only one answer is ever in flight, a size the user is still
// changing is answered once it has settled, and a size the manager keeps is
// accepted; so no two requests chase each other.
struct PresentState {
  // Written by record_window_size (the window library's size report), read by
  // the presenter's decisions.
  int32_t window_w = 640, window_h = 400;
  // The size before the change being answered: before the last report, or,
  // while a user's change waits to settle, before the first report of it.
  int32_t previous_window_w = 640, previous_window_h = 400;
  int32_t previous_frame_w = 640, previous_frame_h = 400;
  float requested_aspect = 1.6f;
  // An answer is in flight: the presenter asked for asked_w x asked_h at
  // asked_at_ms and that size has not been reported. Set by the presenter's
  // request, cleared by the report of exactly that size or, when none comes,
  // by the presenter once kAnswerFlightMs have passed.
  bool window_adjusted = false;
  int32_t asked_w = 0, asked_h = 0;
  int64_t asked_at_ms = 0;
  // A size the manager did not grant: asked for refused_w x refused_h, it
  // kept the window at kept_w x kept_h. The presenter's own bookkeeping.
  int32_t refused_w = 0, refused_h = 0, kept_w = 0, kept_h = 0;
  // A size report that is not the answer in flight (the user's or the
  // manager's) waits to be answered until it has settled. Set, with the
  // time of the latest such report, by record_window_size; cleared when the
  // presenter answers it.
  bool answer_deferred = false;
  int64_t last_report_ms = 0;
  // The newest size the user set arrived while an answer was in flight: the
  // manager may apply that older answer after it. Then the deferred answer
  // is to newer_w x newer_h, whatever size the window reports meanwhile.
  // Set (or cleared, by a report outside a flight) by record_window_size.
  bool answer_overtaken = false;
  int32_t newer_w = 0, newer_h = 0;
  // The window's state as the window manager shows it (_NET_WM_STATE), set by
  // follow_window_manager_state from the window side after each round of
  // events. While maximised the manager gives the size; full screen also.
  bool wm_maximised = false;
  bool wm_full_screen = false;
  bool forced_redraw = false;
  // present_frame is running (the window library may call it re-entrantly).
  bool presenting = false;
  std::atomic<FullScreenMode> full_screen_mode{FullScreenMode::Windowed};
  std::atomic<FullScreenRequest> full_screen_request{FullScreenRequest::NoChange};
  std::atomic<bool> full_screen_smooth{false};
};

// How long an answer may be in flight without its size report before the
// manager is taken to have refused it, and how long a user's size must stay
// unchanged (with no pointer button held) before it is answered.
inline constexpr int64_t kAnswerFlightMs = 300;
inline constexpr int64_t kSettleQuietMs = 100;

// What the window side saw for one decision: the window thread's clock in
// milliseconds, and whether a pointer button is held (asked only while
// answer_waits_for_pointer says so; false otherwise).
struct WindowObservation {
  int64_t now_ms = 0;
  bool button_held = false;
};

// Whether a deferred answer waits only for the pointer's buttons to be let go
// (the window side then asks the server, and only then).
bool answer_waits_for_pointer(const PresentState& ps, int64_t now_ms);

// The window manager's view of the window (_NET_WM_STATE), as read after a
// change of it. The program's full-screen mode follows a change that it did
// not ask for (the manager's own controls, a manager gone or back): entering
// full screen from outside is taken as stretched and sharp, leaving it as the
// window. A change reported for what the presenter asked for changes nothing.
struct WindowManagerState {
  bool maximised = false;
  bool full_screen = false;
};
void follow_window_manager_state(PresentState& ps, const WindowManagerState& wm);

// Steps the full-screen cycle (Alt+Enter): windowed, stretched sharp,
// stretched smooth, aspect kept sharp, aspect kept smooth, windowed; the
// next building pass rebuilds the frame.
void advance_full_screen_cycle(PresentState& ps, FrameStore& frames);

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

// The window's answer to the frame of fw x fh in its current size: the
// client size to ask for, if any. Updates previous_frame_size,
// requested_aspect and window_adjusted (asked_w, asked_h). A user's size that
// overtook an answer in flight is answered as the user set it, measured from
// the size before it, whatever the older answer did to the window. Asks for nothing
// while the manager gives the size (maximised or full screen), for a size
// within one pixel of the window's own, and for the size the manager has just
// refused while the window still has the size it kept instead.
std::optional<WindowSize> adapt_window(PresentState& ps, int32_t fw, int32_t fh,
                                       ScalingMode scaling, bool snap_back);

// A pending full-screen request, applied: what the window must do.
enum class FullScreenAction { Keep, Enter, Leave };
FullScreenAction change_full_screen(PresentState& ps);

// Where the frame is drawn, in window pixels from the top left, and whether
// it is smoothed (linear filtering) or sharp (nearest).
struct Viewport {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool smooth = false;
  friend bool operator==(const Viewport&, const Viewport&) = default;
};
Viewport compute_viewport(int32_t fw, int32_t fh, int32_t ww, int32_t wh, ScalingMode scaling,
                          FullScreenMode full_screen, bool full_screen_smooth);

// The window's client size report at now_ms: ends the answer in flight when
// it is the size asked for (or, first, when it has been in flight too long);
// any other new size of the window starts (or continues) a deferred answer.
void record_window_size(PresentState& ps, int32_t width, int32_t height, int64_t now_ms);

// Whether a presentation would draw now: a ready frame newer than the one
// shown (not while the pause holds), a size report or other forced redraw, a
// full-screen request, or a deferred answer that has settled. The shown frame
// is not drawn again while nothing changed; nothing else keeps it due.
bool presentation_due(const PresentState& ps, const FrameStore& frames, const RunState& state,
                      const WindowObservation& seen);

// One presentation's decisions (everything but the drawing itself).
struct PresentPlan {
  bool draw = false;                    // false: nothing to do this time
  int slot = -1;                        // the displaying slot to draw
  std::optional<WindowSize> request;    // a client size to ask for
  FullScreenAction full_screen = FullScreenAction::Keep;
  Viewport viewport;
};
PresentPlan plan_presentation(PresentState& ps, FrameStore& frames, const WindowSettings& window,
                              const RunState& state, const WindowObservation& seen);

}  // namespace ws
