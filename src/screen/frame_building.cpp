// Frame building on the frame thread: the display page into a frame slot,
// only when the page has changed since the last frame.
#include <thread>

#include "screen/frames.h"
#include "screen/message_box.h"
#include "screen/page_store.h"

namespace ws {

namespace {

// The frame thread's slot for a building pass: the last empty slot, else
// the oldest ready one (its frame is then never shown). -1 when there is
// neither. Only the frame thread takes a slot out of Empty, so an empty slot
// stays empty once seen; a ready one may be taken by the presenter at the
// same moment, hence the compare-and-exchange.
int take_building_slot(FrameStore& frames) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    int empty = -1, oldest = -1;
    uint64_t oldest_order = 0;
    for (int i = 0; i < 3; ++i) {
      const SlotState s = frames.slots[i].load_state();
      if (s == SlotState::Empty) {
        empty = i;
      } else if (s == SlotState::Ready) {
        const uint64_t o = frames.slots[i].order.load(std::memory_order_relaxed);
        if (oldest < 0 || o < oldest_order) oldest = i, oldest_order = o;
      }
    }
    if (empty >= 0) {
      frames.slots[empty].state.store(SlotState::Building, std::memory_order_relaxed);
      return empty;
    }
    if (oldest < 0) return -1;
    if (frames.slots[oldest].move(SlotState::Ready, SlotState::Building)) return oldest;
  }
  return -1;
}

// The page's palette as the frame uses it: all 256 entries, so that any
// pixel byte has a colour.
void read_palette(const ScreenPage& page, std::array<uint32_t, 256>& out) {
  for (int n = 0; n < 256; ++n) out[n] = page.palette(n);
}

bool page_matches_copy(const ScreenPage& page, const FrameStore& frames,
                       const std::array<uint32_t, 256>& palette) {
  const int words = page.word_count();
  for (int k = 0; k < words; ++k)
    if (page.word(k) != frames.compare_words[k]) return false;
  const int entries = page.palette_size();
  for (int n = 0; n < entries; ++n)
    if (palette[n] != frames.compare_palette[n]) return false;
  return true;
}

// Copies the page into the comparison copy and converts it into the slot,
// each pixel word read once so that frame and copy agree.
void convert_page(const ScreenPage& page, FrameStore& frames, FrameSlot& slot,
                  const std::array<uint32_t, 256>& palette) {
  const int n = page.pixel_count();
  const int words = page.word_count();
  if (slot.pixels.size() < static_cast<size_t>(n)) slot.pixels.resize(n);
  slot.width = page.width;
  slot.height = page.height;
  frames.compare_words.resize(words);
  frames.compare_pixel_count = n;
  frames.compare_palette = palette;
  uint32_t* out = slot.pixels.data();
  for (int k = 0; k < words; ++k) {
    const uint64_t w = page.word(k);
    frames.compare_words[k] = w;
    for (int b = 0; b < 8; ++b) out[b] = palette[(w >> (8 * b)) & 0xFF];
    out += 8;
  }
}

// A pending screen-mode change may go ahead; the program thread gets the
// processor at once.
void grant_display_lock(DisplayLock& lock) {
  if (lock.grant()) std::this_thread::yield();
}

}  // namespace

void build_frame(FrameStore& frames, PageStore& pages, MessageBoxPresenter& alerts) {
  grant_display_lock(pages.display_lock());
  // Nothing is built while a screen-mode change holds the lock: the page may
  // be replaced under it.
  if (pages.display_lock().free()) {
    const int index = take_building_slot(frames);
    if (index < 0) {
      alerts.show("Alert", "Software frame buffer: Failed to find available frame", BoxKind::Ok);
    } else {
      FrameSlot& slot = frames.slots[index];
      const uint64_t order = frames.frame_order.fetch_add(1, std::memory_order_relaxed);
      slot.order.store(order, std::memory_order_relaxed);

      const ScreenPage& page = pages.display_page();
      std::array<uint32_t, 256> palette;
      read_palette(page, palette);
      // Taken whatever the outcome: a request made during this pass's
      // conversion is kept for the next one.
      const bool forced = frames.force_rebuild.exchange(false, std::memory_order_acq_rel);
      bool build = true;
      if (page.pixel_count() == frames.compare_pixel_count && !forced &&
          page_matches_copy(page, frames, palette))
        build = !pages.frame_valid.load(std::memory_order_acquire);

      if (build) {
        convert_page(page, frames, slot, palette);
        pages.frame_valid.store(true, std::memory_order_release);
        slot.state.store(SlotState::Ready, std::memory_order_release);
      } else {
        slot.state.store(SlotState::Empty, std::memory_order_release);
      }
    }
  }
  grant_display_lock(pages.display_lock());
}

}  // namespace ws
