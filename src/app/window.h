// The window side: freeglut window, GL presenter, the Xlib event hook for the
// close request and the Pause and Break keys, the event loop.
#pragma once

namespace ws {

struct Runtime;

// Start steps 5 to 11: initialises the window library with the command line,
// creates the window (exit code 1 when the display mode is impossible or no
// display can be opened), initialises GLEW, registers the callbacks and runs
// the event loop on the calling (main) thread. Does not return.
[[noreturn]] void run_window(Runtime& rt, int argc, char** argv);

// Records the Shift, Ctrl and Alt keys that are down and the lock toggles
// that are on at start, as presses (start step 3). Uses its own display
// connection; does nothing when no display can be opened.
void record_keyboard_state_at_start(Runtime& rt);
// Frame thread: compares the Caps Lock, Num Lock and Scroll Lock toggles with
// the recorded state and reports changes (on a display connection of its own).
void report_lock_keys(Runtime& rt);

}  // namespace ws
