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
struct PresentState {
  int32_t window_w = 640, window_h = 400;
  int32_t previous_window_w = 640, previous_window_h = 400;
  int32_t previous_frame_w = 640, previous_frame_h = 400;
  float requested_aspect = 1.6f;
  // A size the presenter asked for has not been reported yet.
  bool window_adjusted = true;
  bool forced_redraw = false;
  // present_frame is running (the window library may call it re-entrantly).
  bool presenting = false;
  std::atomic<FullScreenMode> full_screen_mode{FullScreenMode::Windowed};
  std::atomic<FullScreenRequest> full_screen_request{FullScreenRequest::NoChange};
  std::atomic<bool> full_screen_smooth{false};
};

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
// requested_aspect and window_adjusted.
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

// The window's client size report.
void record_window_size(PresentState& ps, int32_t width, int32_t height);

// Whether a presentation would draw now: a ready frame newer than the one
// shown (not while the pause holds), a size report or other forced redraw, or
// a full-screen request. The shown frame is not drawn again while nothing
// changed.
bool presentation_due(const PresentState& ps, const FrameStore& frames, const RunState& state);

// One presentation's decisions (everything but the drawing itself).
struct PresentPlan {
  bool draw = false;                    // false: nothing to do this time
  int slot = -1;                        // the displaying slot to draw
  std::optional<WindowSize> request;    // a client size to ask for
  FullScreenAction full_screen = FullScreenAction::Keep;
  Viewport viewport;
};
PresentPlan plan_presentation(PresentState& ps, FrameStore& frames, const WindowSettings& window,
                              const RunState& state);

}  // namespace ws
