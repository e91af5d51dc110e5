// The window: freeglut with the command line passed through, an RGBA,
// double-buffered window with a depth buffer, GLEW, the callbacks, and an
// event loop of its own around glutMainLoopEvent so that what the X hook
// recorded is acted upon after each round and title changes are applied.
#include "app/window.h"

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/presenter.h"
#include "app/window_manager.h"
#include "app/x11_hook.h"
#include "app/x11_message_box.h"
#include "app/key_callbacks.h"
#include "screen/runtime.h"

namespace ws {

namespace {

Runtime* g_rt = nullptr;

[[noreturn]] void end_with_code_1() {
  std::fflush(stderr);
  g_rt->process.end_process(1);
  std::_Exit(1);
}

// The window library's fatal errors (no display, no window): one line on
// stderr and exit code 1, without running the process's teardown under the
// other threads' feet.
void on_library_error(const char* format, va_list args) {
  std::fputs("winding-scheme: ", stderr);
  std::vfprintf(stderr, format, args);
  std::fputc('\n', stderr);
  end_with_code_1();
}

// Every connection of the process (the window's, a message box's) comes here
// when the server goes away, possibly several threads at once: the first one
// reports it and ends the process; the others wait for the end.
int on_connection_lost(Display*) {
  static std::atomic_flag reported;
  if (reported.test_and_set(std::memory_order_acq_rel)) {
    for (;;) pause();
  }
  std::fputs("winding-scheme: the connection to the display was lost\n", stderr);
  end_with_code_1();
}

void key_down(unsigned char key, int, int) { on_key_down(g_rt->keyboard, key, glutGetModifiers()); }
void key_up(unsigned char key, int, int) { on_key_up(g_rt->keyboard, key, glutGetModifiers()); }
void special_down(int key, int, int) { on_special_key_down(g_rt->keyboard, key); }
void special_up(int key, int, int) { on_special_key_up(g_rt->keyboard, key); }
// The mouse's state is never read.
void mouse_button(int, int, int, int) {}
void mouse_motion(int, int) {}
void mouse_wheel(int, int, int, int) {}

struct Title {
  std::string text;
  uint64_t generation = 0;
};

Title stored_title(WindowSettings& w) {
  std::lock_guard<std::mutex> lock(w.title_mutex);
  return {w.window_title.value_or("Untitled"),
          w.title_generation.load(std::memory_order_acquire)};
}

// Applies a title set since the one the window shows.
void apply_newer_title(WindowSettings& w, uint64_t& shown_generation) {
  if (w.title_generation.load(std::memory_order_acquire) == shown_generation) return;
  const Title t = stored_title(w);
  glutSetWindowTitle(t.text.c_str());
  shown_generation = t.generation;
}

// Sleeps until the connection has data or the display timer is due.
void wait_for_work(Display* display) {
  if (XPending(display) != 0) return;
  const auto left = next_display_tick() - std::chrono::steady_clock::now();
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  pollfd fd{ConnectionNumber(display), POLLIN, 0};
  poll(&fd, 1, static_cast<int>(std::clamp<int64_t>(ms, 0, 100)));
}

}  // namespace

void run_window(Runtime& rt, int argc, char** argv, X11MessageBoxes& boxes) {
  g_rt = &rt;
  set_window_runtime(rt);
  glutInitErrorFunc(on_library_error);
  glutInit(&argc, argv);
  XSetIOErrorHandler(on_connection_lost);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(640, 400);
  if (glutGet(GLUT_DISPLAY_MODE_POSSIBLE) == 0) {
    std::fputs("winding-scheme: the display offers no RGBA, double-buffered mode with a depth buffer\n",
               stderr);
    end_with_code_1();
  }

  // A title set from now on is applied by the event loop.
  const Title first = stored_title(rt.window);
  uint64_t shown_generation = first.generation;
  glutCreateWindow(first.text.c_str());
  boxes.set_owner_window(glXGetCurrentDrawable());

  // The presenter needs nothing beyond GL 1.1; whether the driver offers
  // framebuffer objects does not matter here.
  const GLenum glew = glewInit();
  if (glew != GLEW_OK)
    rt.boxes.show("Alert", reinterpret_cast<const char*>(glewGetErrorString(glew)), BoxKind::Ok);

  Display* display = glXGetCurrentDisplay();
  install_window_hook(rt, display);
  install_window_manager_hook(rt, display);

  glutDisplayFunc(present_frame);
  start_display_timer();
  glutKeyboardFunc(key_down);
  glutKeyboardUpFunc(key_up);
  glutSpecialFunc(special_down);
  glutSpecialUpFunc(special_up);
  glutMouseFunc(mouse_button);
  glutMotionFunc(mouse_motion);
  glutPassiveMotionFunc(mouse_motion);
  glutMouseWheelFunc(mouse_wheel);
  glutReshapeFunc(on_window_reshape);

  for (;;) {
    glutMainLoopEvent();
    dispatch_hooked_keys(rt);
    follow_window_manager(rt);
    if (glutGetWindow() == 0) {
      // The window has gone some other way than through the close request:
      // end the process as the close button would.
      rt.state.close_request.fetch_or(1, std::memory_order_acq_rel);
      for (;;) sleep_real_ms(16);
    }
    apply_newer_title(rt.window, shown_generation);
    wait_for_work(display);
    dispatch_hooked_keys(rt);
  }
}

}  // namespace ws
