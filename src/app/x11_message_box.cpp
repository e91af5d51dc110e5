// The report box's wait: its events turned into answers and into what it
// sees (x11_box_sight.h; message_box_return.h decides what to do about that),
// until it is answered or its wait ends otherwise. Its window is
// x11_box_window.h, its connection x11_box_connection.h.
#include "app/x11_message_box.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "app/message_box_layout.h"
#include "app/message_box_return.h"
#include "app/session_end.h"
#include "app/x11_box_connection.h"
#include "app/x11_box_sight.h"
#include "app/x11_box_window.h"

// Last: X defines macros such as None and Bool.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace ws {

namespace {

// How often a box opened before the program's window looks for it.
constexpr int kOwnerLookMs = 100;
// How often a box looks at session_ended when there is no descriptor to
// poll for it.
constexpr int kSessionLookMs = 100;

using Clock = std::chrono::steady_clock;

int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

// How a box's wait ended without an answer from the user.
enum class Ending {
  Destroyed,       // another client destroyed the window: shown again if a question
  SessionEnded,    // a session-end signal came: a question is No, a notice OK
  ConnectionLost,  // another client killed the connection: a question is Yes, a notice OK
};

BoxAnswer answer_for_ending(Ending e, BoxKind kind) {
  if (kind == BoxKind::Ok) return BoxAnswer::Ok;
  return e == Ending::SessionEnded ? BoxAnswer::No : BoxAnswer::Yes;
}

std::optional<BoxAnswer> answer_for_key(KeySym key, const BoxLayout& layout, BoxKind kind) {
  switch (key) {
    case XK_Return:
    case XK_KP_Enter:
      return layout.buttons[layout.enter].answer;
    case XK_y:
      if (kind == BoxKind::YesNo) return BoxAnswer::Yes;
      break;
    case XK_n:
      if (kind == BoxKind::YesNo) return BoxAnswer::No;
      break;
    case XK_Escape:
      if (kind == BoxKind::Ok) return BoxAnswer::Ok;
      break;
    default:
      break;
  }
  return std::nullopt;
}

// One box on the screen, from its mapping to its answer.
class Box {
 public:
  Box(BoxConnection& connection, const std::string& caption, const std::string& text,
      BoxKind kind, const std::atomic<unsigned long>& owner)
      : connection_(connection),
        d_(connection.display()),
        layout_(lay_out_box(text, kind, DisplayWidth(d_, DefaultScreen(d_)),
                            DisplayHeight(d_, DefaultScreen(d_)))),
        kind_(kind),
        owner_(owner),
        owned_(owner.load(std::memory_order_acquire)),
        window_(d_, caption, layout_, owned_),
        atoms_(window_.atoms()),
        seen_(d_, window_) {
    window_.map();
  }

  // What ends a box's wait: the user's answer, or an Ending.
  using Outcome = std::variant<BoxAnswer, Ending>;

  // Handles events until the box is answered by the user, or its wait ends
  // otherwise.
  Outcome run() {
    for (;;) {
      if (const auto ending = wait_for_event()) return *ending;
      XEvent ev;
      XNextEvent(d_, &ev);
      if (connection_.lost()) return Ending::ConnectionLost;
      if (const auto outcome = handle(ev)) return *outcome;
    }
  }

 private:
  // One event: the outcome when it ends the box's wait.
  std::optional<Outcome> handle(XEvent& ev) {
    switch (ev.type) {
      case Expose:
        if (ev.xexpose.count == 0) window_.draw(pressed_);
        return std::nullopt;
      case KeyPress:
        if (const auto a = answer_for_key(XLookupKeysym(&ev.xkey, 0), layout_, kind_)) return *a;
        return std::nullopt;
      case ButtonPress:
        on_button_press(ev.xbutton);
        return std::nullopt;
      case ButtonRelease:
        return on_button_release(ev.xbutton);
      case MapNotify:
      case UnmapNotify:
      case PropertyNotify:
        if (seen_.take(ev)) decide();
        return std::nullopt;
      case DestroyNotify:
        if (ev.xdestroywindow.window != window_.id()) return std::nullopt;
        window_.destroyed();
        return Ending::Destroyed;
      case ClientMessage:
        // The window manager's close: an OK box counts it as OK; a question
        // must be answered.
        if (static_cast<Atom>(ev.xclient.data.l[0]) == atoms_.wm_delete && kind_ == BoxKind::Ok)
          return BoxAnswer::Ok;
        return std::nullopt;
      default:
        return std::nullopt;
    }
  }

  // A button answers when the first mouse button is pressed and released on
  // it; it shows pressed meanwhile.
  void on_button_press(const XButtonEvent& b) {
    if (b.button != Button1) return;
    pressed_ = layout_.button_at(b.x, b.y);
    if (pressed_ >= 0) window_.draw(pressed_);
  }

  std::optional<Outcome> on_button_release(const XButtonEvent& b) {
    if (b.button != Button1 || pressed_ < 0) return std::nullopt;
    const int released = layout_.button_at(b.x, b.y);
    const int was = pressed_;
    pressed_ = -1;
    if (released == was) return layout_.buttons[static_cast<size_t>(was)].answer;
    window_.draw(pressed_);
    return std::nullopt;
  }

  // Decides again with what the box sees now, and carries it out.
  void decide() {
    const BoxSight& sight = seen_.sight();
    const BoxStep step = coming_back_.decide(sight, now_ms());
    look_at_.reset();
    if (step.kind == BoxStep::Kind::LookAgain) look_at_ = step.at_ms;
    if (step.kind == BoxStep::Kind::ShowAgain) {
      const bool withdrawn =
          sight.wm_state == BoxWmState::Missing || sight.wm_state == BoxWmState::Withdrawn;
      window_.show_again(!sight.mapped && withdrawn);
    }
  }

  // Waits until an event is queued (nullopt), or until the wait ends for
  // good: the session ended, or the connection was lost. Meanwhile it looks
  // for the program's window until that exists, and decides again at the
  // time the last decision named.
  std::optional<Ending> wait_for_event() {
    for (;;) {
      if (const auto ending = ended_without_answer()) return ending;
      const bool queued = XPending(d_) != 0;
      if (connection_.lost()) return Ending::ConnectionLost;
      if (queued) return std::nullopt;
      if (look_at_ && now_ms() >= *look_at_) {
        // What the server has sent by now comes first (a desktop switch
        // named a moment ago is to be seen before the box asks to be shown):
        // the events are handled, and each decides again.
        XSync(d_, False);
        if (XPending(d_) == 0) decide();
        continue;
      }
      if (sleep_until_woken()) return Ending::SessionEnded;
      follow_owner();
    }
  }

  // The connection lost, or the session ended; checked before each look at
  // the queue, so that a box shown after the session ended ends before it is
  // drawn.
  std::optional<Ending> ended_without_answer() const {
    if (connection_.lost()) return Ending::ConnectionLost;
    if (session_ended()) return Ending::SessionEnded;
    return std::nullopt;
  }

  // Sleeps until the connection has something to read, the session ends
  // (true), or it is time to look for the program's window, at the session
  // without a descriptor to wake on, or to decide again.
  bool sleep_until_woken() {
    int timeout = -1;
    const auto at_most = [&](int64_t ms) {
      const int t = static_cast<int>(std::max<int64_t>(ms, 0));
      timeout = timeout < 0 ? t : std::min(timeout, t);
    };
    if (owned_ == 0) at_most(kOwnerLookMs);
    const int wake = session_end_fd();
    if (wake < 0) at_most(kSessionLookMs);
    if (look_at_) at_most(*look_at_ - now_ms());
    pollfd fds[2] = {{ConnectionNumber(d_), POLLIN, 0}, {wake, POLLIN, 0}};
    poll(fds, 2, timeout);
    // Readable only once the handler wrote to it: the session has ended.
    return (fds[1].revents & POLLIN) != 0;
  }

  // A box opened before the program's window becomes its transient window
  // once that exists.
  void follow_owner() {
    if (owned_ != 0) return;
    owned_ = owner_.load(std::memory_order_acquire);
    if (owned_ != 0) window_.follow_owner(owned_);
  }

  BoxConnection& connection_;
  Display* d_;
  const BoxLayout layout_;
  const BoxKind kind_;
  const std::atomic<unsigned long>& owner_;
  Window owned_;  // the window the box is transient for, once known
  BoxWindow window_;
  const BoxAtoms& atoms_;
  BoxSightReader seen_;
  int pressed_ = -1;  // the button under a held mouse button, or -1
  BoxReturn coming_back_;
  // When the last decision asked to be made again.
  std::optional<int64_t> look_at_;
};

}  // namespace

BoxAnswer X11MessageBoxes::show(const std::string& caption, const std::string& text,
                                BoxKind kind) {
  // Once the session has ended nobody answers: no box is opened.
  if (session_ended()) return answer_for_ending(Ending::SessionEnded, kind);
  // A connection of the box's own: freeglut drops events of windows it did
  // not create, and the calling thread may be any thread.
  BoxConnection connection(display_name_);
  if (connection.display() == nullptr) return BoxAnswer::Unavailable;
  // A box destroyed from outside counts as closed when it only informs;
  // a question is asked again until it is answered.
  for (;;) {
    if (session_ended()) return answer_for_ending(Ending::SessionEnded, kind);
    std::variant<BoxAnswer, Ending> result = [&] {
      Box box(connection, caption, text, kind, owner_);
      return box.run();
    }();
    if (const auto* answer = std::get_if<BoxAnswer>(&result)) return *answer;
    const Ending ending = std::get<Ending>(result);
    if (ending != Ending::Destroyed || kind == BoxKind::Ok) return answer_for_ending(ending, kind);
  }
}

}  // namespace ws
