// Frame building (frame thread) and the frame-slot hand-over to the window
// thread. See frames.cpp.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace ws {

struct Runtime;

enum class SlotState : int32_t { Empty = 1, Building = 2, Ready = 3, Displaying = 4 };

struct FrameSlot {
  std::atomic<int32_t> state{static_cast<int32_t>(SlotState::Empty)};
  std::atomic<uint64_t> order{0};
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows top to bottom
};

struct FrameStore {
  std::array<FrameSlot, 3> slots;
  std::atomic<uint64_t> frame_order{0};
  std::atomic<uint64_t> latest_frame_order{0};
  // Comparison copy of the page as of the last built frame.
  std::vector<uint64_t> compare_words;
  std::array<uint32_t, 256> compare_palette{};
  int compare_pixel_count = 1;
  std::atomic<bool> frame_valid{false};
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
  uint64_t drawn_frame_order = 0;
  bool presenting = false;
  std::atomic<int32_t> full_screen_mode{0};
  std::atomic<int32_t> full_screen_request{-1};
  std::atomic<int32_t> full_screen_smooth{0};
};

// Builds a frame from the display page into a slot, or drops the pass.
void build_frame(Runtime& rt);
// Steps the full-screen cycle (Alt+Enter).
void advance_full_screen_cycle(Runtime& rt);

}  // namespace ws
