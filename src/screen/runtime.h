// The screen runtime as the animator sees it: one Runtime composes the parts
// (run state, page store, keyboard, frames, presenter, window settings) and
// the platform seams (clock, message boxes, process end). The
// operations the animator calls take the Runtime; the parts below them are
// handed only the parts they use and know nothing of it.
//
// One Runtime per process in the real program; tests make one per case with
// a virtual clock, scripted message-box answers and a process control that
// throws instead of exiting.
#pragma once

#include "screen/clock.h"
#include "screen/frames.h"
#include "screen/keyboard.h"
#include "screen/message_box.h"
#include "screen/page_store.h"
#include "screen/presenting.h"
#include "screen/run_state.h"
#include "screen/window_settings.h"

namespace ws {

// The end of the process. The real one flushes and exits; a test's throws.
class ProcessControl {
 public:
  virtual ~ProcessControl() = default;
  virtual void end_process(int code) = 0;  // does not return
};

// Flushes the output and ends the process at once (_exit): the other threads
// are still running, so no static destructor may run. In a sanitizer build a
// leak found first ends it with kLeakExitCode instead.
class ExitProcess final : public ProcessControl {
 public:
  static constexpr int kLeakExitCode = 23;
  [[noreturn]] void end_process(int code) override;
};

struct Runtime {
  Runtime(Clock& clock, MessageBoxPresenter& boxes, ProcessControl& process);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  Clock& clock;
  MessageBoxPresenter& boxes;
  ProcessControl& process;

  RunState state;
  PageStore pages;
  FrameStore frames;
  Presenter presenter;
  WindowSettings window;
  // Alt+Enter reaches the presenter through the keyboard's hook.
  Keyboard keyboard{state, [this] { presenter.alt_enter(frames); }};
};

// True while a runtime error of the current statement is pending.
inline bool error_pending(const Runtime& rt) { return rt.state.error.pending_error != 0; }

}  // namespace ws
