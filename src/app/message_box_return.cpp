#include "app/message_box_return.h"

namespace ws {

bool box_put_away(const BoxSight& s) {
  return s.wm_state == BoxWmState::Iconic || s.hidden || s.showing_desktop;
}

bool box_on_other_desktop(const BoxSight& s) {
  return s.desktop && s.current_desktop && *s.desktop != kAllDesktops &&
         *s.desktop != *s.current_desktop;
}

BoxStep BoxReturn::decide(const BoxSight& seen, int64_t now_ms) {
  if (seen.mapped) shown_ = true;
  const bool changed = seen != last_;
  last_ = seen;
  // Put away by the manager, or unmapped once it had been on the screen
  // (before that, the manager has not yet taken it on); and on the desktop
  // the user is shown.
  const bool away = box_put_away(seen) || (shown_ && !seen.mapped);
  if (!away || box_on_other_desktop(seen)) {
    away_since_.reset();
    asked_ = false;
    return {};
  }
  if (changed) asked_ = false;
  if (asked_) return {};
  if (!away_since_) away_since_ = now_ms;
  if (now_ms - *away_since_ < kBoxSettleMs)
    return {BoxStep::Kind::LookAgain, *away_since_ + kBoxSettleMs};
  away_since_.reset();
  asked_ = true;
  return {BoxStep::Kind::ShowAgain, 0};
}

}  // namespace ws
