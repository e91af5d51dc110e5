// One round of the window's event loop, over the steps it is made of, so that
// their order is written down once: run_window runs it with the real steps
// (the window library, the X hook's log, the connection), the tests with
// stand-ins.
//
// Why the order matters: the key events of one read of the connection are
// split as they arrive. The X hook records Pause, Break, focus and lock
// notices (and holds back the key events behind them); every other key event
// goes to Xlib's queue for the window library. Whichever call read them (the
// window library's processing or the pending check before the wait), the
// keys that went to the queue came before the first recorded one. So what
// the hook recorded is acted upon only after the window library has
// processed the queue: a batch "2, Pause" read by the pending check types the
// '2' first and then pauses.
#pragma once

namespace ws {

class EventLoopSteps {
 public:
  virtual ~EventLoopSteps() = default;
  // The window library's processing of the queued events, timers and
  // redraws (glutMainLoopEvent).
  virtual void process_events() = 0;
  // Acts on what the X hooks recorded: the keys in order
  // (WindowHook::dispatch_keys), then the window manager's news
  // (WindowManagerSide::follow).
  virtual void act_on_recorded() = 0;
  // Whether the window has gone: destroyed by another client, or closed by
  // the window library.
  virtual bool window_gone() = 0;
  // Applies a window title set since the one shown.
  virtual void apply_title() = 0;
  // Whether events wait in Xlib's queue; may read the connection, and the X
  // hook then records what it takes from that read (XPending).
  virtual bool events_queued() = 0;
  // Whether the X hook recorded something not yet acted upon.
  virtual bool recorded_waiting() = 0;
  // Sleeps until the connection has data or the display timer is due.
  virtual void sleep_until_work() = 0;
};

enum class RoundEnd { GoOn, WindowGone };

inline RoundEnd run_event_loop_round(EventLoopSteps& steps) {
  steps.process_events();
  steps.act_on_recorded();
  if (steps.window_gone()) return RoundEnd::WindowGone;
  steps.apply_title();
  // What the pending check reads is handled by the next round, queue first.
  // Nothing sleeps while a recorded key waits, even when the read brought
  // nothing else (XPending then answers 0).
  if (!steps.events_queued() && !steps.recorded_waiting()) steps.sleep_until_work();
  return RoundEnd::GoOn;
}

}  // namespace ws
