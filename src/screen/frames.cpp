#include "screen/frames.h"

#include <cstdlib>
#include <thread>

#include "screen/runtime.h"

namespace ws {

namespace {

constexpr auto kEmpty = static_cast<int32_t>(SlotState::Empty);
constexpr auto kBuilding = static_cast<int32_t>(SlotState::Building);
constexpr auto kReady = static_cast<int32_t>(SlotState::Ready);
constexpr auto kDisplaying = static_cast<int32_t>(SlotState::Displaying);

// Extended precision, as every size computation of the presenter is taken.
using Real = long double;

bool compare_and_set(FrameSlot& slot, int32_t from, int32_t to) {
  return slot.state.compare_exchange_strong(from, to, std::memory_order_acq_rel,
                                            std::memory_order_acquire);
}

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
      const int32_t s = frames.slots[i].state.load(std::memory_order_acquire);
      if (s == kEmpty) {
        empty = i;
      } else if (s == kReady) {
        const uint64_t o = frames.slots[i].order.load(std::memory_order_relaxed);
        if (oldest < 0 || o < oldest_order) oldest = i, oldest_order = o;
      }
    }
    if (empty >= 0) {
      frames.slots[empty].state.store(kBuilding, std::memory_order_relaxed);
      return empty;
    }
    if (oldest < 0) return -1;
    if (compare_and_set(frames.slots[oldest], kReady, kBuilding)) return oldest;
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

}  // namespace

void grant_display_lock(FrameStore& frames) {
  int32_t requested = 1;
  if (frames.display_lock.compare_exchange_strong(requested, 2, std::memory_order_acq_rel,
                                                  std::memory_order_acquire))
    std::this_thread::yield();
}

void build_frame(Runtime& rt) {
  FrameStore& frames = rt.frames;
  grant_display_lock(frames);
  // Nothing is built while a screen-mode change holds the lock: the page may
  // be replaced under it.
  if (frames.display_lock.load(std::memory_order_acquire) == 0) {
    const int index = take_building_slot(frames);
    if (index < 0) {
      rt.boxes.show("Alert", "Software frame buffer: Failed to find available frame",
                    BoxKind::Ok);
    } else {
      FrameSlot& slot = frames.slots[index];
      const uint64_t order = frames.frame_order.fetch_add(1, std::memory_order_relaxed);
      slot.order.store(order, std::memory_order_relaxed);

      const ScreenPage& page = *rt.display_page.load(std::memory_order_acquire);
      std::array<uint32_t, 256> palette;
      read_palette(page, palette);
      // Taken whatever the outcome: a request made during this pass's
      // conversion is kept for the next one.
      const bool forced = frames.force_rebuild.exchange(false, std::memory_order_acq_rel);
      bool build = true;
      if (page.pixel_count() == frames.compare_pixel_count && !forced &&
          page_matches_copy(page, frames, palette))
        build = !frames.frame_valid.load(std::memory_order_acquire);

      if (build) {
        convert_page(page, frames, slot, palette);
        frames.frame_valid.store(true, std::memory_order_release);
        slot.state.store(kReady, std::memory_order_release);
      } else {
        slot.state.store(kEmpty, std::memory_order_release);
      }
      frames.latest_frame_order.store(order, std::memory_order_release);
    }
  }
  grant_display_lock(frames);
}

namespace {

// The displaying slot (-1 for none), which only the window thread changes.
int displaying_slot(const FrameStore& frames) {
  for (int i = 0; i < 3; ++i)
    if (frames.slots[i].state.load(std::memory_order_acquire) == kDisplaying) return i;
  return -1;
}

// The ready slot with the highest order number above the shown one's, or -1.
// Without a shown slot any ready frame qualifies, also the very first one
// (order number 0).
int newest_ready_slot(const FrameStore& frames, int shown) {
  const uint64_t shown_order =
      shown >= 0 ? frames.slots[shown].order.load(std::memory_order_relaxed) : 0;
  int newest = -1;
  uint64_t newest_order = 0;
  for (int i = 0; i < 3; ++i) {
    if (frames.slots[i].state.load(std::memory_order_acquire) != kReady) continue;
    const uint64_t o = frames.slots[i].order.load(std::memory_order_relaxed);
    if ((shown < 0 || o > shown_order) && (newest < 0 || o > newest_order))
      newest = i, newest_order = o;
  }
  return newest;
}

}  // namespace

SlotChoice choose_present_slot(FrameStore& frames) {
  const int shown = displaying_slot(frames);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int newest = newest_ready_slot(frames, shown);
    if (newest < 0) break;
    if (!compare_and_set(frames.slots[newest], kReady, kDisplaying)) continue;
    // The slot may have been rebuilt between the look and the exchange; its
    // order number now is that of the frame it holds.
    const uint64_t newest_order = frames.slots[newest].order.load(std::memory_order_relaxed);
    for (int i = 0; i < 3; ++i) {
      if (i == newest) continue;
      FrameSlot& slot = frames.slots[i];
      if (i == shown) {
        slot.state.store(kEmpty, std::memory_order_release);
        continue;
      }
      if (slot.state.load(std::memory_order_acquire) != kReady) continue;
      const uint64_t o = slot.order.load(std::memory_order_relaxed);
      if (o >= newest_order) continue;
      // The frame thread may rebuild the slot between the look and the
      // exchange; then a newer frame has just been discarded, and the next
      // building pass is made to build the page again.
      if (compare_and_set(slot, kReady, kEmpty) &&
          slot.order.load(std::memory_order_relaxed) != o)
        frames.force_rebuild.store(true, std::memory_order_release);
    }
    return {newest, true};
  }
  return {shown, false};
}

bool presentation_due(const Runtime& rt) {
  const PresentState& ps = rt.present;
  if (ps.forced_redraw || ps.full_screen_request.load(std::memory_order_relaxed) != -1) return true;
  // Newer frames wait for the end of the pause.
  if (rt.state.pause_requested.load(std::memory_order_acquire) != 0) return false;
  return newest_ready_slot(rt.frames, displaying_slot(rt.frames)) >= 0;
}

std::optional<WindowSize> adapt_window(PresentState& ps, int32_t fw, int32_t fh,
                                       int32_t scaling_mode, bool snap_back) {
  const bool size_changed = fw != ps.previous_frame_w || fh != ps.previous_frame_h;
  ps.previous_frame_w = fw;
  ps.previous_frame_h = fh;
  const int32_t ww = ps.window_w, wh = ps.window_h;
  if (fw <= 0 || fh <= 0 || ww <= 0 || wh <= 0) return std::nullopt;
  const float page_aspect = static_cast<float>(static_cast<Real>(fw) / fh);

  if (scaling_mode != 0) {
    const float window_aspect = static_cast<float>(static_cast<Real>(ww) / wh);
    if (window_aspect != ps.requested_aspect && window_aspect != page_aspect) {
      const int32_t pw = ps.previous_window_w, ph = ps.previous_window_h;
      WindowSize keep_height{static_cast<int32_t>(wh * static_cast<Real>(page_aspect)), wh};
      WindowSize keep_width{ww, static_cast<int32_t>(ww / static_cast<Real>(page_aspect))};
      WindowSize size;
      if (ph == wh)
        size = keep_width;  // only the width changed (or neither)
      else if (pw == ww)
        size = keep_height;
      else
        size = std::abs(ph - wh) < std::abs(pw - ww) ? keep_width : keep_height;
      if (size.width < 1) size.width = 1;
      if (size.height < 1) size.height = 1;
      ps.requested_aspect = static_cast<float>(static_cast<Real>(size.width) / size.height);
      ps.window_adjusted = true;
      return size;
    }
  }
  if ((fw != ww || fh != wh) && (snap_back || size_changed)) {
    ps.window_adjusted = true;
    return WindowSize{fw, fh};
  }
  return std::nullopt;
}

FullScreenAction change_full_screen(PresentState& ps) {
  const int32_t request = ps.full_screen_request.load(std::memory_order_relaxed);
  const int32_t mode = ps.full_screen_mode.load(std::memory_order_relaxed);
  FullScreenAction action = FullScreenAction::Keep;
  if (request == 0) {
    if (mode != 0) {
      ps.window_adjusted = true;
      action = FullScreenAction::Leave;
    }
    ps.full_screen_mode.store(0, std::memory_order_relaxed);
  } else if (request == 1 || request == 2) {
    if (mode == 0) action = FullScreenAction::Enter;
    ps.full_screen_mode.store(request, std::memory_order_relaxed);
  }
  ps.full_screen_request.store(-1, std::memory_order_relaxed);
  return action;
}

void advance_full_screen_cycle(Runtime& rt) {
  PresentState& ps = rt.present;
  const int32_t request = ps.full_screen_request.load(std::memory_order_relaxed);
  const int32_t mode = ps.full_screen_mode.load(std::memory_order_relaxed);
  int32_t s = request != -1 ? request : mode;
  const int32_t smooth = ps.full_screen_smooth.load(std::memory_order_relaxed);
  if (s == 2 && smooth == 1) {
    s = 0;
  } else if (smooth == 0 && s != 0) {
    ps.full_screen_smooth.store(1, std::memory_order_relaxed);
  } else {
    s += 1;
    ps.full_screen_smooth.store(0, std::memory_order_relaxed);
  }
  if (s != mode) ps.full_screen_request.store(s, std::memory_order_relaxed);
  rt.frames.force_rebuild.store(true, std::memory_order_release);
}

Viewport compute_viewport(int32_t fw, int32_t fh, int32_t ww, int32_t wh, int32_t scaling_mode,
                          int32_t full_screen_mode, bool full_screen_smooth) {
  const bool full = full_screen_mode != 0;
  const bool scaled = full || scaling_mode > 0;
  const bool smooth = full ? full_screen_smooth : scaling_mode == 2;
  const bool bars = full_screen_mode == 2;
  if ((fw == ww && fh == wh) || !scaled || fw <= 0 || fh <= 0 || ww <= 0 || wh <= 0)
    return {0, 0, fw, fh, false};
  if (bars) {
    const float page_aspect = static_cast<float>(static_cast<Real>(fw) / fh);
    const float screen_aspect = static_cast<float>(static_cast<Real>(ww) / wh);
    if (page_aspect != screen_aspect) {
      if (screen_aspect > page_aspect) {
        const auto width = static_cast<int32_t>(wh * static_cast<Real>(page_aspect));
        return {ww / 2 - width / 2, 0, width, wh, smooth};
      }
      const auto height = static_cast<int32_t>(ww / static_cast<Real>(page_aspect));
      return {0, wh / 2 - height / 2, ww, height, smooth};
    }
  }
  return {0, 0, ww, wh, smooth};
}

void record_window_size(PresentState& ps, int32_t width, int32_t height) {
  ps.previous_window_w = ps.window_w;
  ps.previous_window_h = ps.window_h;
  ps.window_w = width;
  ps.window_h = height;
  ps.window_adjusted = false;
  ps.forced_redraw = true;
}

PresentPlan plan_presentation(Runtime& rt) {
  PresentState& ps = rt.present;
  PresentPlan plan;
  // While the pause holds, the frame shown when it began stays displaying: a
  // size report, a repaint or a full-screen change draws that frame again and
  // shows it, and newer frames wait until the pause is over.
  const bool paused = rt.state.pause_requested.load(std::memory_order_acquire) != 0;
  const SlotChoice choice =
      paused ? SlotChoice{displaying_slot(rt.frames), false} : choose_present_slot(rt.frames);
  if (choice.slot < 0) return plan;
  const int32_t request = ps.full_screen_request.load(std::memory_order_relaxed);
  if (!choice.changed && request == -1 && !ps.forced_redraw) return plan;
  ps.forced_redraw = false;

  const FrameSlot& slot = rt.frames.slots[choice.slot];
  const int32_t scaling = rt.window.scaling_mode.load(std::memory_order_relaxed);
  // While a size the presenter asked for has not been reported, the window
  // size at hand is stale (after leaving full screen it is the screen's):
  // answering it would undo the request.
  if (ps.full_screen_mode.load(std::memory_order_relaxed) == 0 && request == -1 &&
      !ps.window_adjusted)
    plan.request = adapt_window(ps, slot.width, slot.height, scaling,
                                rt.window.window_snap_back.load(std::memory_order_relaxed));
  if (!ps.window_adjusted && request != -1) {
    plan.full_screen = change_full_screen(ps);
    if (plan.full_screen == FullScreenAction::Leave) plan.request = WindowSize{slot.width, slot.height};
  }
  plan.viewport = compute_viewport(slot.width, slot.height, ps.window_w, ps.window_h, scaling,
                                   ps.full_screen_mode.load(std::memory_order_relaxed),
                                   ps.full_screen_smooth.load(std::memory_order_relaxed) != 0);
  plan.draw = true;
  plan.slot = choice.slot;
  return plan;
}

}  // namespace ws
