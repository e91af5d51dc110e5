// The window: freeglut with the command line passed through, an RGBA,
// double-buffered window with a depth buffer, GLEW, the callbacks, and an
// event loop of its own around glutMainLoopEvent (event_loop.h) so that what
// the X hook recorded is acted upon in order and title changes are applied;
// and the process's X error handlers.
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

#include "app/event_loop.h"
#include "app/x11_message_box.h"
#include "app/key_callbacks.h"
#include "app/window_side.h"
#include "screen/error_stream.h"
#include "screen/page.h"
#include "screen/runtime.h"

namespace ws {

namespace {

[[noreturn]] void end_with_code_1() {
  std::fflush(stderr);
  if (WindowSide* side = published_window_side()) side->context.rt.process.end_process(1);
  std::_Exit(1);
}

// The window library's fatal errors (no display, no window): one line on
// stderr and exit code 1, without running the process's teardown under the
// other threads' feet.
void on_library_error(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int size = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text(static_cast<size_t>(std::max(size, 0)), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  write_error_line("winding-scheme: " + text);
  end_with_code_1();
}

// A failure that ends the process, met by one or several threads at once
// (each connection of the process may meet it): the first one writes its
// line to stderr and ends the process with code 1; the others wait for the
// end. The handlers are installed only once the side is published.
[[noreturn]] void report_and_end(const char* line) {
  WindowSide* side = published_window_side();
  if (side != nullptr && side->failure_reported.test_and_set(std::memory_order_acq_rel)) {
    for (;;) pause();
  }
  write_error_line(line);
  end_with_code_1();
}

// Whether a new connection to d's display opens: the server is there.
bool display_reachable(Display* d) {
  Display* probe = XOpenDisplay(XDisplayString(d));
  if (probe == nullptr) return false;
  XCloseDisplay(probe);
  return true;
}

// Every connection of the process (the window's, a message box's) comes here
// when it is lost. A box's connection may be lost alone, killed by another
// client (xkill, a desktop's "force quit") while the display and the window
// are fine: then this returns, the box's own exit handler lets the failed
// call return, and the box counts as answered (x11_message_box.cpp). Any
// other connection lost, or the display itself gone, ends the process.
int on_connection_lost(Display* d) {
  if (is_box_connection(d) && display_reachable(d)) return 0;
  report_and_end("winding-scheme: the connection to the display was lost");
}

// An X error on the window's connection (or any other but a box's) is a
// fault of this program: it ends through the program's own path, as a lost
// display does, rather than through Xlib's exit(), which would run the
// process's teardown while the other threads run. Three kinds pass:
// - a box connection's (is_box_connection);
// - any error once another client destroyed the window: requests that name
//   it (a redraw or a title already on its way) fail, and the close that the
//   destruction started must end with code 0 all the same;
// - one of the window manager side's own requests on the window, which may
//   meet the window gone (WindowManagerSide::expected_error).
int on_x_error(Display* d, XErrorEvent* error) {
  if (is_box_connection(d)) return 0;
  if (WindowSide* side = published_window_side();
      side != nullptr &&
      (side->hook.window_destroyed() || side->manager.expected_error(d, error->serial)))
    return 0;
  char text[160] = {};
  XGetErrorText(d, error->error_code, text, sizeof text);
  char line[256];
  std::snprintf(line, sizeof line, "winding-scheme: X error: %s (request %d.%d)", text,
                static_cast<int>(error->request_code), static_cast<int>(error->minor_code));
  report_and_end(line);
}

Keyboard& keyboard() { return published_window_side()->context.rt.keyboard; }
void key_down(unsigned char key, int, int) { on_key_down(keyboard(), key, glutGetModifiers()); }
void key_up(unsigned char key, int, int) { on_key_up(keyboard(), key, glutGetModifiers()); }
void special_down(int key, int, int) { on_special_key_down(keyboard(), key); }
void special_up(int key, int, int) { on_special_key_up(keyboard(), key); }
// The mouse's state is never read.
void mouse_button(int, int, int, int) {}
void mouse_motion(int, int) {}
void mouse_wheel(int, int, int, int) {}

WindowAtoms intern_window_atoms(Display* d) {
  WindowAtoms a;
  a.wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  a.wm_delete_window = XInternAtom(d, "WM_DELETE_WINDOW", False);
  a.net_wm_state = XInternAtom(d, "_NET_WM_STATE", False);
  a.states.full_screen = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
  a.states.maximised_vert = XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False);
  a.states.maximised_horz = XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
  return a;
}

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

// The event loop's steps on the window thread.
class WindowLoopSteps final : public EventLoopSteps {
 public:
  WindowLoopSteps(WindowSide& side, uint64_t shown_generation)
      : c_(side), shown_generation_(shown_generation) {}

  void process_events() override { glutMainLoopEvent(); }
  void act_on_recorded() override {
    c_.hook.dispatch_keys();
    if (!c_.hook.window_destroyed()) c_.manager.follow();
  }
  bool window_gone() override { return c_.hook.window_destroyed() || glutGetWindow() == 0; }
  void apply_title() override { apply_newer_title(c_.context.rt.window, shown_generation_); }
  bool events_queued() override { return XPending(c_.context.display) != 0; }
  bool recorded_waiting() override { return c_.hook.keys_waiting(); }
  void sleep_until_work() override {
    const auto left = c_.presenter.next_display_tick() - std::chrono::steady_clock::now();
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    pollfd fd{ConnectionNumber(c_.context.display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(std::clamp<int64_t>(ms, 0, 100)));
  }

 private:
  WindowSide& c_;
  uint64_t shown_generation_;
};

}  // namespace

void install_x_error_handlers() {
  XSetIOErrorHandler(on_connection_lost);
  XSetErrorHandler(on_x_error);
}

void run_window(WindowSide& side, int argc, char** argv, X11MessageBoxes& boxes) {
  WindowContext& context = side.context;
  Runtime& rt = context.rt;
  install_x_error_handlers();
  glutInitErrorFunc(on_library_error);
  glutInit(&argc, argv);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(kOpeningSize.width, kOpeningSize.height);
  if (glutGet(GLUT_DISPLAY_MODE_POSSIBLE) == 0) {
    write_error_line(
        "winding-scheme: the display offers no RGBA, double-buffered mode with a depth buffer");
    end_with_code_1();
  }

  // A title set from now on is applied by the event loop.
  const Title first = stored_title(rt.window);
  uint64_t shown_generation = first.generation;
  glutCreateWindow(first.text.c_str());
  // The window and its connection, once, for every part of the window side.
  context.display = glXGetCurrentDisplay();
  context.window = glXGetCurrentDrawable();
  context.root = DefaultRootWindow(context.display);
  context.atoms = intern_window_atoms(context.display);
  boxes.set_owner_window(context.window);

  // The presenter needs nothing beyond GL 1.1; whether the driver offers
  // framebuffer objects does not matter here.
  const GLenum glew = glewInit();
  if (glew != GLEW_OK)
    rt.boxes.show("Alert", reinterpret_cast<const char*>(glewGetErrorString(glew)), BoxKind::Ok);

  side.hook.install();
  side.manager.install();
  side.presenter.install();
  glutKeyboardFunc(key_down);
  glutKeyboardUpFunc(key_up);
  glutSpecialFunc(special_down);
  glutSpecialUpFunc(special_up);
  glutMouseFunc(mouse_button);
  glutMotionFunc(mouse_motion);
  glutPassiveMotionFunc(mouse_motion);
  glutMouseWheelFunc(mouse_wheel);

  WindowLoopSteps steps(side, shown_generation);
  while (run_event_loop_round(steps) == RoundEnd::GoOn) {
  }
  // The window has gone some other way than through the close request
  // (another client destroyed it): end the process as the close button
  // would. Nothing here touches the dead window again.
  rt.state.close_request.fetch_or(1, std::memory_order_acq_rel);
  for (;;) sleep_real_ms(16);
}

}  // namespace ws
