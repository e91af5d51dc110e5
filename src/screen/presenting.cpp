// The presenter's decisions on the window thread.
#include "screen/presenting.h"

#include <cstdlib>

#include "screen/real.h"

namespace ws {

namespace {

// Every size computation of the presenter is taken in extended precision
// (Real).
bool scaled(ScalingMode m) { return static_cast<int32_t>(m) > 0; }

}  // namespace

namespace {

// The displaying slot (-1 for none), which only the window thread changes.
int displaying_slot(const FrameStore& frames) {
  for (int i = 0; i < 3; ++i)
    if (frames.slots[i].load_state() == SlotState::Displaying) return i;
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
    if (frames.slots[i].load_state() != SlotState::Ready) continue;
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
    if (!frames.slots[newest].move(SlotState::Ready, SlotState::Displaying)) continue;
    // The slot may have been rebuilt between the look and the exchange; its
    // order number now is that of the frame it holds.
    const uint64_t newest_order = frames.slots[newest].order.load(std::memory_order_relaxed);
    for (int i = 0; i < 3; ++i) {
      if (i == newest) continue;
      FrameSlot& slot = frames.slots[i];
      if (i == shown) {
        slot.state.store(SlotState::Empty, std::memory_order_release);
        continue;
      }
      if (slot.load_state() != SlotState::Ready) continue;
      const uint64_t o = slot.order.load(std::memory_order_relaxed);
      if (o >= newest_order) continue;
      // The frame thread may rebuild the slot between the look and the
      // exchange; then a newer frame has just been discarded, and the next
      // building pass is made to build the page again.
      if (slot.move(SlotState::Ready, SlotState::Empty) &&
          slot.order.load(std::memory_order_relaxed) != o)
        frames.force_rebuild.store(true, std::memory_order_release);
    }
    return {newest, true};
  }
  return {shown, false};
}

namespace {

// The time conditions of a deferred answer: its last report is some quiet
// time old, and no answer of the presenter's is still in flight.
bool deferred_answer_quiet(const PresentState& ps, int64_t now_ms) {
  if (!ps.answer_deferred) return false;
  if (now_ms - ps.last_report_ms < kSettleQuietMs) return false;
  return !ps.window_adjusted || now_ms - ps.asked_at_ms >= kAnswerFlightMs;
}

bool deferred_answer_settled(const PresentState& ps, const WindowObservation& seen) {
  return deferred_answer_quiet(ps, seen.now_ms) && !seen.button_held;
}

float aspect_of(int32_t w, int32_t h) { return static_cast<float>(static_cast<Real>(w) / h); }

// An answer in flight for longer than the manager takes to grant one: the
// manager has refused it. The window keeps the size it has; the aspect rule
// takes that size as answered, and the refused size is not asked for again
// while the window keeps it.
void end_overdue_answer(PresentState& ps, int64_t now_ms) {
  if (!ps.window_adjusted || now_ms - ps.asked_at_ms < kAnswerFlightMs) return;
  ps.window_adjusted = false;
  if (ps.window_w == ps.asked_w && ps.window_h == ps.asked_h) return;
  // A user's newer size overtook the answer: it is no refusal, and that
  // size waits for its own answer.
  if (ps.answer_deferred && ps.answer_overtaken) return;
  ps.refused_w = ps.asked_w;
  ps.refused_h = ps.asked_h;
  ps.kept_w = ps.window_w;
  ps.kept_h = ps.window_h;
  if (ps.window_w > 0 && ps.window_h > 0) ps.requested_aspect = aspect_of(ps.window_w, ps.window_h);
}

}  // namespace

bool answer_waits_for_pointer(const PresentState& ps, int64_t now_ms) {
  return deferred_answer_quiet(ps, now_ms);
}

bool presentation_due(const PresentState& ps, const FrameStore& frames, const RunState& state,
                      const WindowObservation& seen) {
  if (ps.forced_redraw ||
      ps.full_screen_request.load(std::memory_order_relaxed) != FullScreenRequest::NoChange)
    return true;
  // A settled size is answered with the frame shown (before the first frame
  // there is nothing to answer with: that frame comes with its own answer).
  if (deferred_answer_settled(ps, seen) && displaying_slot(frames) >= 0) return true;
  // Newer frames wait for the end of the pause.
  if (state.pause_requested.load(std::memory_order_acquire) != 0) return false;
  return newest_ready_slot(frames, displaying_slot(frames)) >= 0;
}

void follow_window_manager_state(PresentState& ps, const WindowManagerState& wm) {
  const bool was_full_screen = ps.wm_full_screen;
  ps.wm_maximised = wm.maximised;
  ps.wm_full_screen = wm.full_screen;
  if (wm.full_screen == was_full_screen) return;
  // A change the presenter asked for shows up here too: the mode already
  // says so. A pending Alt+Enter is applied on its own.
  if (ps.full_screen_request.load(std::memory_order_relaxed) != FullScreenRequest::NoChange) return;
  const bool windowed =
      ps.full_screen_mode.load(std::memory_order_relaxed) == FullScreenMode::Windowed;
  if (wm.full_screen && windowed) {
    ps.full_screen_mode.store(FullScreenMode::Stretched, std::memory_order_relaxed);
    ps.full_screen_smooth.store(false, std::memory_order_relaxed);
    ps.answer_deferred = false;
    ps.forced_redraw = true;
  } else if (!wm.full_screen && !windowed) {
    ps.full_screen_mode.store(FullScreenMode::Windowed, std::memory_order_relaxed);
    ps.forced_redraw = true;
  }
}

namespace {

// A request for size unless the window has it within a pixel, or the manager
// has just refused it and the window still has the size kept instead.
std::optional<WindowSize> ask_for(PresentState& ps, WindowSize size) {
  const int32_t ww = ps.window_w, wh = ps.window_h;
  if (std::abs(size.width - ww) <= 1 && std::abs(size.height - wh) <= 1) return std::nullopt;
  if (size.width == ps.refused_w && size.height == ps.refused_h && ww == ps.kept_w &&
      wh == ps.kept_h)
    return std::nullopt;
  ps.window_adjusted = true;
  ps.asked_w = size.width;
  ps.asked_h = size.height;
  return size;
}

}  // namespace

std::optional<WindowSize> adapt_window(PresentState& ps, int32_t fw, int32_t fh,
                                       ScalingMode scaling, bool snap_back) {
  const bool size_changed = fw != ps.previous_frame_w || fh != ps.previous_frame_h;
  ps.previous_frame_w = fw;
  ps.previous_frame_h = fh;
  // The size to answer: the user's newest, also where an older answer
  // applied after it has changed the window since.
  const bool overtaken = ps.answer_deferred && ps.answer_overtaken;
  const int32_t ww = overtaken ? ps.newer_w : ps.window_w;
  const int32_t wh = overtaken ? ps.newer_h : ps.window_h;
  // This is the answer to the size at hand, whether it asks for anything.
  ps.answer_deferred = false;
  ps.answer_overtaken = false;
  if (fw <= 0 || fh <= 0 || ww <= 0 || wh <= 0) return std::nullopt;
  // Maximised or full screen, the manager gives the size and keeps it: the
  // page is stretched into it.
  if (ps.wm_maximised || ps.wm_full_screen) return std::nullopt;
  const float page_aspect = static_cast<float>(static_cast<Real>(fw) / fh);

  if (scaling != ScalingMode::Own) {
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
      const std::optional<WindowSize> request = ask_for(ps, size);
      if (request) ps.requested_aspect = aspect_of(size.width, size.height);
      return request;
    }
  }
  if ((fw != ww || fh != wh) && (snap_back || size_changed)) return ask_for(ps, WindowSize{fw, fh});
  // The user's size needs no answer of its own: it is asked for as it was set.
  if (overtaken) return ask_for(ps, WindowSize{ww, wh});
  return std::nullopt;
}

FullScreenAction change_full_screen(PresentState& ps) {
  const FullScreenRequest request = ps.full_screen_request.load(std::memory_order_relaxed);
  const FullScreenMode mode = ps.full_screen_mode.load(std::memory_order_relaxed);
  FullScreenAction action = FullScreenAction::Keep;
  if (request == FullScreenRequest::Windowed) {
    if (mode != FullScreenMode::Windowed) action = FullScreenAction::Leave;
    ps.full_screen_mode.store(FullScreenMode::Windowed, std::memory_order_relaxed);
  } else if (request != FullScreenRequest::NoChange) {
    if (mode == FullScreenMode::Windowed) {
      action = FullScreenAction::Enter;
      // The manager gives the size now: a user's size waiting for its
      // answer is gone.
      ps.answer_deferred = false;
    }
    ps.full_screen_mode.store(static_cast<FullScreenMode>(request), std::memory_order_relaxed);
  }
  ps.full_screen_request.store(FullScreenRequest::NoChange, std::memory_order_relaxed);
  return action;
}

void advance_full_screen_cycle(PresentState& ps, FrameStore& frames) {
  // The states in cycle order: 0 windowed, 1 stretched, 2 aspect kept, each
  // full-screen one first sharp, then smooth.
  const FullScreenRequest request = ps.full_screen_request.load(std::memory_order_relaxed);
  const auto mode = static_cast<int32_t>(ps.full_screen_mode.load(std::memory_order_relaxed));
  int32_t s = request != FullScreenRequest::NoChange ? static_cast<int32_t>(request) : mode;
  const bool smooth = ps.full_screen_smooth.load(std::memory_order_relaxed);
  if (s == 2 && smooth) {
    s = 0;
  } else if (!smooth && s != 0) {
    ps.full_screen_smooth.store(true, std::memory_order_relaxed);
  } else {
    s += 1;
    ps.full_screen_smooth.store(false, std::memory_order_relaxed);
  }
  if (s != mode)
    ps.full_screen_request.store(static_cast<FullScreenRequest>(s), std::memory_order_relaxed);
  frames.force_rebuild.store(true, std::memory_order_release);
}

Viewport compute_viewport(int32_t fw, int32_t fh, int32_t ww, int32_t wh, ScalingMode scaling,
                          FullScreenMode full_screen, bool full_screen_smooth) {
  const bool full = full_screen != FullScreenMode::Windowed;
  const bool scale = full || scaled(scaling);
  const bool smooth = full ? full_screen_smooth : scaling == ScalingMode::Smoothed;
  const bool bars = full_screen == FullScreenMode::AspectKept;
  if ((fw == ww && fh == wh) || !scale || fw <= 0 || fh <= 0 || ww <= 0 || wh <= 0)
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

void record_window_size(PresentState& ps, int32_t width, int32_t height, int64_t now_ms) {
  // A report after the flight's time is not the manager's answer to it.
  end_overdue_answer(ps, now_ms);
  const bool answered = ps.window_adjusted && width == ps.asked_w && height == ps.asked_h;
  const bool changed = width != ps.window_w || height != ps.window_h;
  const bool windowed =
      ps.full_screen_mode.load(std::memory_order_relaxed) == FullScreenMode::Windowed;
  if (answered) {
    ps.window_adjusted = false;
  } else if (changed && windowed) {
    // The user's or the manager's size: answered once it has settled, the
    // change measured from the size before its first report.
    if (!ps.answer_deferred) {
      ps.previous_window_w = ps.window_w;
      ps.previous_window_h = ps.window_h;
    }
    ps.answer_deferred = true;
    ps.last_report_ms = now_ms;
    // In flight, the older answer may still be applied after this size.
    ps.answer_overtaken = ps.window_adjusted;
    ps.newer_w = width;
    ps.newer_h = height;
  }
  if (!ps.answer_deferred) {
    ps.previous_window_w = ps.window_w;
    ps.previous_window_h = ps.window_h;
  }
  ps.window_w = width;
  ps.window_h = height;
  ps.forced_redraw = true;
}

PresentPlan plan_presentation(PresentState& ps, FrameStore& frames, const WindowSettings& window,
                              const RunState& state, const WindowObservation& seen) {
  PresentPlan plan;
  end_overdue_answer(ps, seen.now_ms);
  // While the pause holds, the frame shown when it began stays displaying: a
  // size report, a repaint or a full-screen change draws that frame again and
  // shows it, and newer frames wait until the pause is over.
  const bool paused = state.pause_requested.load(std::memory_order_acquire) != 0;
  const SlotChoice choice =
      paused ? SlotChoice{displaying_slot(frames), false} : choose_present_slot(frames);
  if (choice.slot < 0) return plan;
  const FullScreenRequest request = ps.full_screen_request.load(std::memory_order_relaxed);
  const bool requested = request != FullScreenRequest::NoChange;
  const bool settled = deferred_answer_settled(ps, seen);
  if (!choice.changed && !requested && !ps.forced_redraw && !settled) return plan;
  ps.forced_redraw = false;

  const FrameSlot& slot = frames.slots[choice.slot];
  const ScalingMode scaling = window.scaling_mode.load(std::memory_order_relaxed);
  if (requested) {
    // Applied at once, whatever answer is in flight or waits: the manager
    // may never report the size asked for (maximised, tiled).
    plan.full_screen = change_full_screen(ps);
    if (plan.full_screen == FullScreenAction::Leave) {
      ps.window_adjusted = true;
      ps.asked_w = slot.width;
      ps.asked_h = slot.height;
      ps.asked_at_ms = seen.now_ms;
      plan.request = WindowSize{slot.width, slot.height};
    }
  } else if (ps.full_screen_mode.load(std::memory_order_relaxed) == FullScreenMode::Windowed &&
             !ps.window_adjusted && (!ps.answer_deferred || settled)) {
    // While an answer is in flight the size at hand is stale (after leaving
    // full screen it is the screen's): answering it would undo the request.
    // A size the user is still changing is answered once it has settled.
    plan.request = adapt_window(ps, slot.width, slot.height, scaling,
                                window.window_snap_back.load(std::memory_order_relaxed));
    if (plan.request) ps.asked_at_ms = seen.now_ms;
  }
  plan.viewport = compute_viewport(slot.width, slot.height, ps.window_w, ps.window_h, scaling,
                                   ps.full_screen_mode.load(std::memory_order_relaxed),
                                   ps.full_screen_smooth.load(std::memory_order_relaxed));
  plan.draw = true;
  plan.slot = choice.slot;
  return plan;
}

}  // namespace ws
