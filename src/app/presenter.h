// The window thread's side of the window: the presenting callbacks (GL), the
// X event hook for the close request and the Pause and Break keys. Internal to
// the window; run_window wires them up.
#pragma once

#include <chrono>

typedef struct _XDisplay Display;

namespace ws {

struct Runtime;

// The runtime the window-library callbacks act on (they take no argument).
void set_window_runtime(Runtime& rt);

// Display callback: shows the newest frame.
void present_frame();
// Registers the display timer: first tick after 8 ms.
void start_display_timer();
// One-shot timer: requests a redisplay when a presentation is due, sleeps
// 4 ms and re-arms itself for 12 ms.
void display_timer_tick(int value);
// When the timer will next fire (for the event loop's wait).
std::chrono::steady_clock::time_point next_display_tick();
// Records the window's client size.
void on_window_reshape(int width, int height);

// Hooks the conversion of ClientMessage, KeyPress and KeyRelease events on
// the window library's connection (window_proc_hook), and FocusOut: a WM_DELETE_WINDOW
// message sets bit 0 of close_request, Pause and Break are recorded; both
// are dropped before the window library sees them.
void install_window_hook(Runtime& rt, Display* display);
// Hands the Pause and Break keys recorded since the last call to the key
// handling (after the window library's event processing returned), and lets
// the held modifiers go when the window has lost the keyboard.
void dispatch_hooked_keys(Runtime& rt);

}  // namespace ws
