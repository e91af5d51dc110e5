// Frame building (frame thread) and the frame-slot hand-over to the window
// thread, with the presenter's decisions: which slot to show, how the window
// answers a resize, the full-screen states and where the frame is drawn. The
// decisions are plain functions here; the window library and GL calls that
// carry them out live with the window (src/app/presenter.cpp).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace ws {

struct Runtime;

enum class SlotState : int32_t { Empty = 1, Building = 2, Ready = 3, Displaying = 4 };

// A slot changes hands only through its state word. The frame thread writes
// width, height and pixels only while the slot is Building; the window thread
// reads them only while it is Displaying. Publishing a state is a release
// store (or exchange), taking one an acquire.
struct FrameSlot {
  std::atomic<int32_t> state{static_cast<int32_t>(SlotState::Empty)};
  std::atomic<uint64_t> order{0};
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows top to bottom; only grows

  SlotState load_state() const {
    return static_cast<SlotState>(state.load(std::memory_order_acquire));
  }
};

struct FrameStore {
  std::array<FrameSlot, 3> slots;
  // The order number the next building pass gives its slot.
  std::atomic<uint64_t> frame_order{0};
  // The order number of the latest building pass, built or dropped. (The
  // presenter does not redraw on it: an unchanged frame is not drawn again.)
  std::atomic<uint64_t> latest_frame_order{0};
  // Comparison copy of the page as of the last built frame (frame thread).
  std::vector<uint64_t> compare_words;
  std::array<uint32_t, 256> compare_palette{};
  int compare_pixel_count = 1;
  // A frame has been built since the last screen-mode change.
  std::atomic<bool> frame_valid{false};
  // The next building pass builds even an unchanged page (Alt+Enter).
  std::atomic<bool> force_rebuild{false};
  // 0 free, 1 requested by a screen-mode change, 2 granted by the frame thread.
  std::atomic<int32_t> display_lock{0};
};

// Window geometry and full-screen state; window thread, except the fields the
// key handler and frame thread touch (atomics).
struct PresentState {
  int32_t window_w = 640, window_h = 400;
  int32_t previous_window_w = 640, previous_window_h = 400;
  int32_t previous_frame_w = 640, previous_frame_h = 400;
  float requested_aspect = 1.6f;
  bool window_adjusted = true;
  bool forced_redraw = false;
  bool presenting = false;
  // The driver offers GL_EXT_framebuffer_object (recorded, not used).
  bool has_framebuffer_object = false;
  std::atomic<int32_t> full_screen_mode{0};
  std::atomic<int32_t> full_screen_request{-1};
  std::atomic<int32_t> full_screen_smooth{0};
};

// Builds a frame from the display page into a slot, or drops the pass.
void build_frame(Runtime& rt);
// Steps the full-screen cycle (Alt+Enter).
void advance_full_screen_cycle(Runtime& rt);

// The frame thread's grant of a requested display lock (1 -> 2).
void grant_display_lock(FrameStore& frames);

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
                                       int32_t scaling_mode, bool snap_back);

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
Viewport compute_viewport(int32_t fw, int32_t fh, int32_t ww, int32_t wh, int32_t scaling_mode,
                          int32_t full_screen_mode, bool full_screen_smooth);

// The window's client size report.
void record_window_size(PresentState& ps, int32_t width, int32_t height);

// Whether a presentation would draw now: a ready frame newer than the one
// shown (not while the pause holds), a size report or other forced redraw, or
// a full-screen request. The shown frame is not drawn again while nothing
// changed.
bool presentation_due(const Runtime& rt);

// One presentation's decisions (everything but the drawing itself).
struct PresentPlan {
  bool draw = false;                    // false: nothing to do this time
  int slot = -1;                        // the displaying slot to draw
  std::optional<WindowSize> request;    // a client size to ask for
  FullScreenAction full_screen = FullScreenAction::Keep;
  Viewport viewport;
};
PresentPlan plan_presentation(Runtime& rt);

}  // namespace ws
