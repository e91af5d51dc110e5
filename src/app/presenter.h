// The presenting callbacks on the window thread: the frame as a GL texture,
// the display timer and the size reports. Internal to the window; run_window
// wires them up.
#pragma once

#include <chrono>

namespace ws {

struct Runtime;

// The runtime the window-library callbacks act on (they take no argument).
void set_window_runtime(Runtime& rt);

// Display callback: shows the newest frame.
void present_frame();
// Registers the display timer: first tick after 8 ms.
void start_display_timer();
// One-shot timer: requests a redisplay when a presentation is due and
// re-arms itself for 16 ms.
void display_timer_tick(int value);
// When the timer will next fire (for the event loop's wait).
std::chrono::steady_clock::time_point next_display_tick();
// Records the window's client size.
void on_window_reshape(int width, int height);

}  // namespace ws
