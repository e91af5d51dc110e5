// Message boxes of this program's own: a separate top-level X11 window on its
// own display connection, opened on the calling thread, to the display the
// program's window is on.
//
// The box is titled with the caption and shows the text, one line per line
// feed, in the 8 x 16 page font, above a row of buttons (Yes and No, or OK).
// It asks the window manager to keep it above other windows, as a dialog, and
// places itself to the right of the screen's top-left 640 x 480 area when the
// screen is wide enough (else in the middle of the screen): its layout is in
// message_box_layout.h.
//
// Answers: a click on a button; Y or N in a Yes/No box; Enter takes the first
// button; Escape and the window manager's close answer OK in an OK box and do
// nothing in a Yes/No box, whose question must be answered. Only the calling
// thread waits: the program's own window lives on another connection and
// thread and goes on being redrawn. Nobody answers:
// - once the session has ended (session_end.h): the open box, and any box
//   shown later at once, ends as No (a question) or OK (a notice);
// - when another client kills the box's connection (xkill, a "force quit"):
//   the box counts as Yes (a notice as OK), as a box that cannot be shown.
//
// A box taken from the screen while it waits comes back, whoever took it:
// minimised, hidden, "show desktop", or unmapped by another client (with or
// without a window manager); not while the user shows another virtual
// desktop than the box's, but as soon as the user is back on it
// (message_box_return.h).
//
// Once the program's window exists, the box is its transient window: the
// window manager keeps it above that window in every state, full screen
// included. A box shown once the window exists has that hint, as all its
// others, before its first mapping; one shown before gets it when the window
// appears.
//
// The box's parts: its connection (x11_box_connection.h, which also tells
// the X error handlers whether a connection is a box's), its window and
// hints (x11_box_window.h), its drawing (x11_box_drawing.h), its layout
// (message_box_layout.h), what it sees of itself and the root
// (x11_box_sight.h), the decision when it comes back (message_box_return.h),
// and here its wait.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "app/x11_box_connection.h"
#include "screen/message_box.h"

namespace ws {

// The presenter the real program uses. Its show() answers Unavailable when no
// box can be shown (no display).
class X11MessageBoxes final : public MessageBoxPresenter {
 public:
  // Each box opens its connection to this display (display_name.h): the
  // window's, named once at start.
  explicit X11MessageBoxes(std::optional<std::string> display_name)
      : display_name_(std::move(display_name)) {}

  BoxAnswer show(const std::string& caption, const std::string& text, BoxKind kind) override;

  // The program's window (an X window id), once it exists: a box is kept
  // above it as a transient window of it, so that the window in full screen
  // never covers the box. Any thread.
  void set_owner_window(unsigned long window) { owner_.store(window, std::memory_order_release); }

 private:
  const std::optional<std::string> display_name_;
  std::atomic<unsigned long> owner_{0};
};

}  // namespace ws
