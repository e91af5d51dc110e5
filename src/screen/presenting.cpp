// The presenter's decisions on the window thread.
#include "screen/presenting.h"

#include <cstdlib>

#include "screen/real.h"

namespace ws {

namespace {

bool scaled(ScalingMode m) { return static_cast<int32_t>(m) > 0; }

// Every size computation of the presenter is taken in extended precision
// (Real), from sizes and aspects of single precision.
float aspect_of(int32_t w, int32_t h) { return static_cast<float>(static_cast<Real>(w) / h); }

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

// The time conditions of a deferred answer: its last report is some quiet
// time old, and no answer of the presenter's is still in flight.
bool Presenter::deferred_answer_quiet(int64_t now_ms) const {
  if (!deferred_) return false;
  if (now_ms - deferred_->last_report_ms < kSettleQuietMs) return false;
  return !in_flight_ || now_ms - in_flight_->asked_at_ms >= kAnswerFlightMs;
}

bool Presenter::deferred_answer_settled(const WindowObservation& seen) const {
  return deferred_answer_quiet(seen.now_ms) && !seen.button_held;
}

// An answer in flight for longer than the manager takes to grant one: the
// manager has refused it. The window keeps the size it has; the aspect rule
// takes that size as answered, and the refused size is not asked for again
// while the window keeps it.
void Presenter::end_overdue_answer(int64_t now_ms) {
  if (!in_flight_ || now_ms - in_flight_->asked_at_ms < kAnswerFlightMs) return;
  const WindowSize asked = in_flight_->size;
  in_flight_.reset();
  if (window_ == asked) return;
  // A user's newer size overtook the answer: it is no refusal, and that
  // size waits for its own answer.
  if (deferred_ && deferred_->overtaken_by) return;
  refused_ = Refusal{asked, window_};
  if (window_.width > 0 && window_.height > 0)
    requested_aspect_ = aspect_of(window_.width, window_.height);
}

WindowSize Presenter::begin_answer(WindowSize size, int64_t now_ms) {
  in_flight_ = Answer{size, now_ms};
  return size;
}

// A request for size unless the window has it within a pixel, or the manager
// has just refused it and the window still has the size kept instead.
std::optional<WindowSize> Presenter::ask_for(WindowSize size, int64_t now_ms) {
  if (std::abs(size.width - window_.width) <= 1 && std::abs(size.height - window_.height) <= 1)
    return std::nullopt;
  if (refused_ && size == refused_->asked && window_ == refused_->kept) return std::nullopt;
  return begin_answer(size, now_ms);
}

bool Presenter::answer_waits_for_pointer(int64_t now_ms) const {
  return deferred_answer_quiet(now_ms);
}

bool Presenter::presentation_due(const FrameStore& frames, const RunState& state,
                                 const WindowObservation& seen) const {
  if (forced_redraw_ || full_screen_change()) return true;
  // A settled size is answered with the frame shown (before the first frame
  // there is nothing to answer with: that frame comes with its own answer).
  if (deferred_answer_settled(seen) && displaying_slot(frames) >= 0) return true;
  // Newer frames wait for the end of the pause.
  if (state.pause_requested.load(std::memory_order_acquire) != 0) return false;
  return newest_ready_slot(frames, displaying_slot(frames)) >= 0;
}

void Presenter::window_manager_changed(const WindowManagerState& wm) {
  const bool was_full_screen = wm_.full_screen;
  wm_ = wm;
  if (wm.full_screen == was_full_screen) return;
  // A change the presenter asked for shows up here too: the mode already
  // says so. A pending Alt+Enter is applied on its own.
  if (full_screen_change()) return;
  const bool windowed = window_mode_ == FullScreenMode::Windowed;
  if (wm.full_screen && windowed) {
    full_screen_ = FullScreenState::StretchedSharp;
    window_mode_ = FullScreenMode::Stretched;
    deferred_.reset();
    forced_redraw_ = true;
  } else if (!wm.full_screen && !windowed) {
    full_screen_ = FullScreenState::Windowed;
    window_mode_ = FullScreenMode::Windowed;
    forced_redraw_ = true;
  }
}

void Presenter::alt_enter(FrameStore& frames) {
  full_screen_ = full_screen_step(full_screen_).next;
  frames.force_rebuild.store(true, std::memory_order_release);
}

std::optional<WindowSize> Presenter::answer_frame(int32_t fw, int32_t fh, ScalingMode scaling,
                                                  bool snap_back, int64_t now_ms) {
  const WindowSize frame{fw, fh};
  const bool size_changed = frame != previous_frame_;
  previous_frame_ = frame;
  // The size to answer: the user's newest, also where an older answer
  // applied after it has changed the window since.
  const std::optional<WindowSize> overtaken_by =
      deferred_ ? deferred_->overtaken_by : std::nullopt;
  const WindowSize window = overtaken_by.value_or(window_);
  const int32_t ww = window.width, wh = window.height;
  // This is the answer to the size at hand, whether it asks for anything.
  deferred_.reset();
  if (fw <= 0 || fh <= 0 || ww <= 0 || wh <= 0) return std::nullopt;
  // Maximised or full screen, the manager gives the size and keeps it: the
  // page is stretched into it.
  if (wm_.maximised || wm_.full_screen) return std::nullopt;
  const float page_aspect = aspect_of(fw, fh);

  if (scaling != ScalingMode::Own) {
    const float window_aspect = aspect_of(ww, wh);
    if (window_aspect != requested_aspect_ && window_aspect != page_aspect) {
      const int32_t pw = previous_window_.width, ph = previous_window_.height;
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
      const std::optional<WindowSize> request = ask_for(size, now_ms);
      if (request) requested_aspect_ = aspect_of(size.width, size.height);
      return request;
    }
  }
  if (frame != window && (snap_back || size_changed)) return ask_for(frame, now_ms);
  // The user's size needs no answer of its own: it is asked for as it was set.
  if (overtaken_by) return ask_for(window, now_ms);
  return std::nullopt;
}

Presenter::FullScreenChange Presenter::apply_full_screen_change(WindowSize frame, int64_t now_ms) {
  FullScreenChange change;
  const FullScreenMode target = full_screen_step(full_screen_).mode;
  if (target == window_mode_) return change;
  if (target == FullScreenMode::Windowed) {
    change.action = FullScreenAction::Leave;
    // Asked for whatever the window's size now: that is the screen's.
    change.request = begin_answer(frame, now_ms);
  } else if (window_mode_ == FullScreenMode::Windowed) {
    change.action = FullScreenAction::Enter;
    // The manager gives the size now: a user's size waiting for its answer
    // is gone.
    deferred_.reset();
  }
  window_mode_ = target;
  return change;
}

Viewport compute_viewport(int32_t fw, int32_t fh, int32_t ww, int32_t wh, ScalingMode scaling,
                          FullScreenState full_screen) {
  const FullScreenStep& step = full_screen_step(full_screen);
  const bool full = step.mode != FullScreenMode::Windowed;
  const bool scale = full || scaled(scaling);
  const bool smooth = full ? step.smooth : scaling == ScalingMode::Smoothed;
  const bool bars = step.mode == FullScreenMode::AspectKept;
  if ((fw == ww && fh == wh) || !scale || fw <= 0 || fh <= 0 || ww <= 0 || wh <= 0)
    return {0, 0, fw, fh, false};
  if (bars) {
    const float page_aspect = aspect_of(fw, fh);
    const float screen_aspect = aspect_of(ww, wh);
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

void Presenter::window_size_reported(int32_t width, int32_t height, int64_t now_ms) {
  // A report after the flight's time is not the manager's answer to it.
  end_overdue_answer(now_ms);
  const WindowSize size{width, height};
  const bool answered = in_flight_ && size == in_flight_->size;
  const bool changed = size != window_;
  // The change being answered is measured from the size before its first
  // report.
  if (!deferred_) previous_window_ = window_;
  if (answered) {
    in_flight_.reset();
  } else if (changed && window_mode_ == FullScreenMode::Windowed) {
    // The user's or the manager's size: answered once it has settled. In
    // flight, the older answer may still be applied after this size.
    deferred_ = DeferredAnswer{now_ms, in_flight_ ? std::optional(size) : std::nullopt};
  }
  window_ = size;
  forced_redraw_ = true;
}

PresentPlan Presenter::plan(FrameStore& frames, const WindowSettings& window,
                            const RunState& state, const WindowObservation& seen) {
  PresentPlan plan;
  end_overdue_answer(seen.now_ms);
  // While the pause holds, the frame shown when it began stays displaying: a
  // size report, a repaint or a full-screen change draws that frame again and
  // shows it, and newer frames wait until the pause is over.
  const bool paused = state.pause_requested.load(std::memory_order_acquire) != 0;
  const SlotChoice choice =
      paused ? SlotChoice{displaying_slot(frames), false} : choose_present_slot(frames);
  if (choice.slot < 0) return plan;
  const bool requested = full_screen_change().has_value();
  const bool settled = deferred_answer_settled(seen);
  if (!choice.changed && !requested && !forced_redraw_ && !settled) return plan;
  forced_redraw_ = false;

  const FrameSlot& slot = frames.slots[choice.slot];
  const ScalingMode scaling = window.scaling_mode.load(std::memory_order_relaxed);
  if (requested) {
    // Applied at once, whatever answer is in flight or waits: the manager
    // may never report the size asked for (maximised, tiled).
    const FullScreenChange change =
        apply_full_screen_change({slot.width, slot.height}, seen.now_ms);
    plan.full_screen = change.action;
    plan.request = change.request;
  } else if (window_mode_ == FullScreenMode::Windowed && !in_flight_ && (!deferred_ || settled)) {
    // While an answer is in flight the size at hand is stale (after leaving
    // full screen it is the screen's): answering it would undo the request.
    // A size the user is still changing is answered once it has settled.
    plan.request = answer_frame(slot.width, slot.height, scaling,
                                window.window_snap_back.load(std::memory_order_relaxed),
                                seen.now_ms);
  }
  plan.viewport =
      compute_viewport(slot.width, slot.height, window_.width, window_.height, scaling,
                       full_screen_);
  plan.draw = true;
  plan.slot = choice.slot;
  return plan;
}

}  // namespace ws
