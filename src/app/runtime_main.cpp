#include <X11/Xlib.h>
#include <pthread.h>

#include <thread>

#include "app/app.h"
#include "app/display_name.h"
#include "app/keyboard_x11.h"
#include "app/window.h"
#include "app/window_side.h"
#include "app/x11_message_box.h"
#include "screen/clock.h"
#include "screen/error_stream.h"
#include "screen/leak_check.h"
#include "screen/runtime.h"
#include "screen/threads.h"

#if defined(WS_LEAK_CHECK)
// Sanitizer builds: what the GL driver allocates is the driver's. Mesa's
// software driver, loaded at run time, keeps some of its buffers only
// through thread-local storage of its own, which the leak check at the
// process's end does not look through: now and then, on a loaded machine,
// such a buffer read as a leak of 48 bytes allocated in swrast_dri.so.
// A suppression used says nothing on stderr, which carries the program's own
// lines.
extern "C" const char* __lsan_default_suppressions() { return "leak:_dri.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

namespace ws {

namespace {

void program_thread_entry(Runtime* rt, ProgramProcedure procedure) {
  pthread_setname_np(pthread_self(), "program");
  run_program(*rt, procedure);
  // The thread ends parked: the frame thread ends the process.
  for (;;) sleep_real_ms(16);
}

void frame_thread_entry(Runtime* rt) {
  pthread_setname_np(pthread_self(), "frame");
  frame_thread_loop(*rt);
}

}  // namespace

void runtime_main(int argc, char** argv, ProgramProcedure procedure) {
  // Before anything opens a file or a connection: descriptors 0 to 2 taken,
  // a reader of the standard streams that went away ends nothing.
  prepare_standard_streams();
  // Several threads talk to X (the window, message boxes, the keyboard at start),
  // each on a connection of its own.
  XInitThreads();
  // Every connection goes to the display the window library will open.
  const std::optional<std::string> display_name = display_named_on_command_line(argc, argv);
  static SteadyClock clock;
  static ExitProcess process;
  static X11MessageBoxes x11_boxes(display_name);
  static LoggingMessageBox boxes(&x11_boxes);
  static Runtime rt(clock, boxes, process);
  static WindowSide side(rt);

  // The window is resizable: a size change by the user is not undone.
  rt.window.window_snap_back.store(false, std::memory_order_relaxed);
  // Before the first X call and before any thread can open a box: from here
  // on every connection's failures end through the program's own path. The
  // handlers, the signal's among them, reach the runtime through the side.
  publish_window_side(side);
  install_x_error_handlers();
  record_keyboard_state_at_start(rt, display_name);
  side.session_end.install();

  // Marked running before any thread starts, so that no screen-mode change can
  // miss the display lock while the frame thread is starting.
  rt.state.frame_thread_running.store(true, std::memory_order_release);
  std::thread(program_thread_entry, &rt, procedure).detach();
  std::thread(frame_thread_entry, &rt).detach();

  run_window(side, argc, argv, x11_boxes);
}

}  // namespace ws
