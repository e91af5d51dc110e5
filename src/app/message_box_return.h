// When a report box that was taken from the screen shows itself again. Pure:
// no X11 call, so that a headless test can run the sequences the window
// managers produce; x11_message_box.cpp turns the box's events into what it
// sees and carries out what this decides.
//
// A box waits for its answer while the program thread (and a close) wait for
// it: whoever takes it from the screen (the manager's minimise, hide or "show
// desktop", or another client's unmapping, after which the manager lets it
// go), it comes back, unless the user shows another virtual desktop than the
// box's: there it stays, unmapped, asking for nothing, until the user is
// back on its desktop. Then the manager maps it again itself, unless it was
// put away there (minimised just before the switch, say): then the box comes
// back as it would have on its desktop.
//
// It comes back only once it has been away, on the desktop shown, for a short
// settling time: a manager that switches the virtual desktop unmaps (and may
// iconify) the windows of the old one before it names the new one current,
// and a box that came back in between would pull the user back to its
// desktop. The decision is made again whenever anything the box sees
// changes, and at the time it names.
#pragma once

#include <cstdint>
#include <optional>

namespace ws {

// How long a box must have been away before it shows itself again: long
// enough for the window manager to have finished what it started (a switch
// of virtual desktop that names the new desktop only after it unmapped the
// windows of the old one, the withdrawal of a box another client unmapped),
// short enough not to be seen as a wait.
inline constexpr int64_t kBoxSettleMs = 150;

// _NET_WM_DESKTOP of a window shown on every virtual desktop.
inline constexpr uint32_t kAllDesktops = 0xFFFFFFFF;

// The box's WM_STATE, as the window manager sets it.
enum class BoxWmState { Missing, Withdrawn, Normal, Iconic };

// What the box sees of itself and of the root window, each as last told.
struct BoxSight {
  bool mapped = false;                       // as the last MapNotify or UnmapNotify told
  BoxWmState wm_state = BoxWmState::Missing;
  bool hidden = false;                       // _NET_WM_STATE_HIDDEN in its _NET_WM_STATE
  bool showing_desktop = false;              // the root's _NET_SHOWING_DESKTOP is 1
  std::optional<uint32_t> desktop;           // its _NET_WM_DESKTOP
  std::optional<uint32_t> current_desktop;   // the root's _NET_CURRENT_DESKTOP
  friend bool operator==(const BoxSight&, const BoxSight&) = default;
};

// What the box is to do now.
struct BoxStep {
  enum class Kind {
    Nothing,    // until what it sees changes
    ShowAgain,  // map itself again and ask to be activated, now
    LookAgain,  // decide again at at_ms, should nothing change before
  };
  Kind kind = Kind::Nothing;
  int64_t at_ms = 0;
  friend bool operator==(const BoxStep&, const BoxStep&) = default;
};

// The decision of one box, from its first mapping on.
class BoxReturn {
 public:
  // Decides with what the box sees at now_ms (milliseconds of a steady
  // clock): called with every change of it, and at the time a LookAgain
  // named.
  BoxStep decide(const BoxSight& seen, int64_t now_ms);

 private:
  bool shown_ = false;  // mapped once: the manager has taken the box on
  // Since when the box has been away on the desktop shown.
  std::optional<int64_t> away_since_;
  // Asked to be shown with nothing seen since: not asked again until
  // something changes.
  bool asked_ = false;
  BoxSight last_;
};

// Whether the window manager has put the box away: iconified (WM_STATE
// Iconic), hidden (_NET_WM_STATE_HIDDEN), or the desktop shown (the root's
// _NET_SHOWING_DESKTOP, also where the manager leaves the box mapped).
bool box_put_away(const BoxSight& s);

// Whether the user is shown another virtual desktop than the box's. False
// when either is unknown: no manager, one without virtual desktops, or a box
// it has let go.
bool box_on_other_desktop(const BoxSight& s);

}  // namespace ws
