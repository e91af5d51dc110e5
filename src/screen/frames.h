// The frames: three slots through which the frame thread hands finished
// frames (the page's pixels turned into 32-bit colours) to the window thread,
// and the frame building that fills them (frame thread, frame_building.cpp).
// What the window thread does with a frame is the presenter's
// (presenting.h).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

namespace ws {

class MessageBoxPresenter;
class PageStore;

enum class SlotState : int32_t { Empty = 1, Building = 2, Ready = 3, Displaying = 4 };

// A slot changes hands only through its state word. The frame thread writes
// width, height and pixels only while the slot is Building; the window thread
// reads them only while it is Displaying. Publishing a state the other thread
// acts on (Ready, Empty, Displaying) is a release store or exchange, taking
// one an acquire; Building, which only the frame thread acts on, is stored
// relaxed.
struct FrameSlot {
  std::atomic<SlotState> state{SlotState::Empty};
  // The building pass's order number: written by the frame thread while the
  // slot is Building, read by the window thread after taking the state.
  std::atomic<uint64_t> order{0};
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, rows top to bottom; only grows

  SlotState load_state() const { return state.load(std::memory_order_acquire); }
  // Moves the slot from one state to another if it is still in the first
  // (both threads race for Ready slots).
  bool move(SlotState from, SlotState to) {
    return state.compare_exchange_strong(from, to, std::memory_order_acq_rel,
                                         std::memory_order_acquire);
  }
};

struct FrameStore {
  std::array<FrameSlot, 3> slots;
  // The order number the next building pass gives its slot, built or
  // dropped (frame thread).
  std::atomic<uint64_t> frame_order{0};
  // The next building pass builds even an unchanged page: set by Alt+Enter
  // (window thread) and by the presenter when it discarded a frame it should
  // not have (release); taken by the frame thread with an exchange (acq_rel).
  std::atomic<bool> force_rebuild{false};
  // Comparison copy of the page as of the last built frame (frame thread).
  std::vector<uint64_t> compare_words;
  std::array<uint32_t, 256> compare_palette{};
  int compare_pixel_count = 1;
};

// Frame thread, every second pass: grants a pending display lock, then
// builds a frame of the display page into a slot, or drops the pass when the
// page is unchanged. No slot to build into (which three slots rule out) is
// reported in an "Alert" box.
void build_frame(FrameStore& frames, PageStore& pages, MessageBoxPresenter& alerts);

}  // namespace ws
