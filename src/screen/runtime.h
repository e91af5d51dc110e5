// The screen runtime: everything the animator reaches (page, keys, errors,
// window settings) and the platform seams it runs on. One Runtime per process
// in the real program; tests make one per case with a virtual clock, scripted
// message-box answers and a process control that throws instead of exiting.
#pragma once

#include <atomic>
#include <memory>

#include "screen/clock.h"
#include "screen/frames.h"
#include "screen/key_ring.h"
#include "screen/keyboard.h"
#include "screen/message_box.h"
#include "screen/page.h"
#include "screen/run_state.h"
#include "screen/window_settings.h"

namespace ws {

// The end of the process. The real one flushes and exits; a test's throws.
class ProcessControl {
 public:
  virtual ~ProcessControl() = default;
  virtual void end_process(int code) = 0;  // does not return
};

class ExitProcess final : public ProcessControl {
 public:
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
  ErrorState err;

  // The one screen page. display_page is what the frame thread shows;
  // write_page is where printing and drawing go (the page itself, or for a
  // moment a copy of it during the number input). Only set_screen_mode
  // replaces the page, under the display lock.
  std::unique_ptr<ScreenPage> page;
  std::atomic<ScreenPage*> display_page{nullptr};
  ScreenPage* write_page = nullptr;

  KeyRing key_ring;
  KeyboardState keyboard;
  FrameStore frames;
  PresentState present;
  WindowSettings window;
};

// True while a runtime error of the current statement is pending.
inline bool error_pending(const Runtime& rt) { return rt.err.pending_error != 0; }

}  // namespace ws
