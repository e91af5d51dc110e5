// The X event hook of the window's connection: the close request and the
// keyboard events the window library does not report (Pause, Break, the loss
// of the keyboard focus and its coming back, the lock toggles), and the key
// events that must wait behind them. Internal to the window; run_window wires
// it up.
#pragma once

#include <memory>

namespace ws {

struct WindowContext;

// The X event hook, a part of the window side (WindowSide), made with the
// window's context. Its state is its own (the keycodes and lock masks looked
// up beforehand, the converters it chains to, the log of what it recorded);
// the hook itself reaches it through window_hook() (window_context.h).
class WindowHook {
 public:
  explicit WindowHook(WindowContext& context);
  ~WindowHook();
  WindowHook(const WindowHook&) = delete;
  WindowHook& operator=(const WindowHook&) = delete;

  // Hooks the conversion of ClientMessage, KeyPress, KeyRelease, FocusIn,
  // FocusOut, KeymapNotify and DestroyNotify events, and the keyboard
  // extension's state changes, on the window's connection: a
  // WM_DELETE_WINDOW message sets bit 0 of close_request and is dropped;
  // Pause and Break are recorded and dropped before the window library sees
  // them, and so are the key events behind them until they have been acted
  // upon; the window's destruction by another client is noted
  // (window_destroyed).
  void install();
  // Acts on what the hook recorded, in order (after the window library's
  // event processing returned): Pause and Break go to the key handling, the
  // key events held back behind them to the window library, a focus loss
  // lets the held modifiers go and the focus coming back holds those down
  // then, lock-toggle changes are reported.
  void dispatch_keys();
  // Whether the hook recorded something that dispatch_keys has not yet
  // acted upon. Window thread.
  bool keys_waiting() const;
  // Whether another client destroyed the window: the window library goes on
  // as if it still existed, and every request that names it fails. Any
  // thread.
  bool window_destroyed() const;

 private:
  struct State;
  friend struct WindowHookWire;
  WindowContext& context_;
  std::unique_ptr<State> state_;
};

}  // namespace ws
