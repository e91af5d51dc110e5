// Message boxes of this program's own: a separate top-level X11 window on its
// own display connection, opened on the calling thread.
#pragma once

#include "screen/message_box.h"

namespace ws {

// The presenter the real program uses. Never null; its show() answers
// Unavailable when no box can be shown (no display).
MessageBoxPresenter* make_x11_message_boxes();

}  // namespace ws
