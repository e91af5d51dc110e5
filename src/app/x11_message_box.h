// Message boxes of this program's own: a separate top-level X11 window on its
// own display connection, opened on the calling thread.
//
// The box is titled with the caption and shows the text, one line per line
// feed, in the 8 x 16 page font, above a row of buttons (Yes and No, or OK).
// It asks the window manager to keep it above other windows, as a dialog, and
// places itself to the right of the screen's top-left 640 x 480 area when the
// screen is wide enough (else in the middle of the screen).
//
// Answers: a click on a button; Y or N in a Yes/No box; Enter takes the first
// button; Escape and the window manager's close answer OK in an OK box and do
// nothing in a Yes/No box, whose question must be answered. Only the calling
// thread waits: the program's own window lives on another connection and
// thread and goes on being redrawn.
#pragma once

#include "screen/message_box.h"

namespace ws {

// The presenter the real program uses. Never null; its show() answers
// Unavailable when no box can be shown (no display).
MessageBoxPresenter* make_x11_message_boxes();

}  // namespace ws
