// The window and the window manager. The hook runs with the connection
// locked: it compares the window and atoms looked up beforehand and records
// what it saw; the property is read after the event processing returned.
#include "app/window_manager.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "app/window_context.h"
#include "app/x11_box_connection.h"
#include "screen/presenting.h"
#include "screen/runtime.h"

// Last: X defines macros such as None and Bool.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "app/x11_support.h"

namespace ws {

namespace {

// _NET_WM_STATE client message actions.
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;

}  // namespace

struct WindowManagerSide::State {
  // Of PropertyNotify and ReparentNotify.
  ReplacedConverters previous{};
  // Window thread only: the hook and follow both run there.
  bool state_changed = false;
  bool reparented = false;
  Window parent = None;
  // Full screen that the program made itself, with no manager running: the
  // window moved and sized over the screen, and where it was before.
  bool own_full_screen = false;
  int windowed_x = 0, windowed_y = 0;
  // Whether a report box was open when follow last looked, and the
  // manager's full screen as last read.
  bool boxes_up = false;
  bool manager_full_screen = false;
};

// The hook that Xlib calls, which reaches the part's state through the
// published window side (window_manager_side()).
struct ManagerWire {
  static Bool manager_hook(Display* display, XEvent* event, xEvent* wire) {
    WindowManagerSide& side = window_manager_side();
    const WindowContext& c = side.context_;
    WindowManagerSide::State& wm = *side.state_;
    if (!chain_to_replaced(wm.previous, display, event, wire)) return False;
    if (event->type == PropertyNotify && event->xproperty.window == c.window &&
        event->xproperty.atom == c.atoms.net_wm_state)
      wm.state_changed = true;
    if (event->type == ReparentNotify && event->xreparent.window == c.window) {
      wm.reparented = true;
      wm.parent = event->xreparent.parent;
    }
    return True;
  }
};

namespace {

std::vector<unsigned long> window_states(const WindowContext& c) {
  return property_values(c.display, c.window, c.atoms.net_wm_state, XA_ATOM, 64);
}

// Whether a window manager runs: one that does redirects the requests on the
// root window's children to itself.
bool manager_running(const WindowContext& c) {
  XWindowAttributes root{};
  return XGetWindowAttributes(c.display, c.root, &root) != 0 &&
         (root.all_event_masks & SubstructureRedirectMask) != 0;
}

void send_state_message(const WindowContext& c, bool on) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = c.window;
  e.xclient.message_type = c.atoms.net_wm_state;
  e.xclient.format = 32;
  e.xclient.data.l[0] = on ? kStateAdd : kStateRemove;
  e.xclient.data.l[1] = static_cast<long>(c.atoms.states.full_screen);
  e.xclient.data.l[2] = 0;
  e.xclient.data.l[3] = 1;  // a normal application
  XSendEvent(c.display, c.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

}  // namespace

WindowManagerSide::WindowManagerSide(WindowContext& context)
    : context_(context), state_(std::make_unique<State>()) {}

WindowManagerSide::~WindowManagerSide() = default;

// Runs requests whose errors are expected; false when one failed.
template <class Requests>
bool WindowManagerSide::guarded(Requests requests) {
  guard_error_ = false;
  guard_first_serial_ = NextRequest(context_.display);
  guarding_.store(true, std::memory_order_release);
  requests();
  XSync(context_.display, False);
  guarding_.store(false, std::memory_order_relaxed);
  return !guard_error_;
}

WindowManagerState window_manager_state(const std::vector<unsigned long>& states,
                                        const WindowStateAtoms& atoms) {
  auto has_state = [&](unsigned long a) {
    return std::find(states.begin(), states.end(), a) != states.end();
  };
  WindowManagerState wm;
  // Maximised in one direction (a manager's vertical or horizontal maximise)
  // or both: the manager gives the size either way.
  wm.maximised = has_state(atoms.maximised_vert) || has_state(atoms.maximised_horz);
  wm.full_screen = has_state(atoms.full_screen);
  return wm;
}

void WindowManagerSide::install() {
  Display* display = context_.display;
  State& wm = *state_;
  for (const int type : {PropertyNotify, ReparentNotify})
    wm.previous[type] = chain_wire_hook(display, type, ManagerWire::manager_hook);
  const Window window = context_.window;
  if (window == None) return;
  // The window library does not ask for property changes; add them to the
  // window's events (its structure events bring the reparenting).
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) != 0)
    XSelectInput(display, window, attributes.your_event_mask | PropertyChangeMask);
  Window root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
    wm.parent = parent;
    if (children != nullptr) XFree(children);
  }
  wm.state_changed = true;
}

void WindowManagerSide::follow() {
  const WindowContext& c = context_;
  State& wm = *state_;
  if (c.window == None) return;
  // While report boxes are up a manager may leave full screen for them (i3
  // does when a window over a full-screen one is activated, as a task bar
  // or a pager does to answer a box): no change of the user's. The presenter
  // then keeps its own full-screen state, and once the boxes are gone the
  // manager is asked for it again.
  const bool boxes = box_connection_open();
  const bool boxes_gone = wm.boxes_up && !boxes;
  // What the manager did while the boxes were up reached the server before
  // they went: a round trip brings it in (the hook records it) to be taken
  // as done for them.
  if (boxes_gone) XSync(c.display, False);
  const bool program_full_screen = c.rt.presenter.window_mode() != FullScreenMode::Windowed;
  if (wm.state_changed) {
    wm.state_changed = false;
    std::vector<unsigned long> states;
    if (guarded([&] { states = window_states(c); })) {
      WindowManagerState seen = window_manager_state(states, c.atoms.states);
      wm.manager_full_screen = seen.full_screen;
      if (boxes || boxes_gone) seen.full_screen = program_full_screen;
      c.rt.presenter.window_manager_changed(seen);
    }
  }
  wm.boxes_up = boxes;
  if (boxes_gone && wm.manager_full_screen != program_full_screen)
    request_full_screen(program_full_screen);
  if (wm.reparented) {
    wm.reparented = false;
    // A manager that has just taken the window on (at the start, or back
    // after it went away) may hold another idea of full screen than the
    // program: tell it the program's. Full screen the program made itself
    // is the manager's from now on.
    if (managed()) {
      wm.own_full_screen = false;
      send_state_message(c, c.rt.presenter.window_mode() != FullScreenMode::Windowed);
      XFlush(c.display);
    }
  }
}

// Whether a manager has taken the window on: it lives in the manager's frame.
bool WindowManagerSide::managed() const {
  return state_->parent != None && state_->parent != context_.root;
}

bool WindowManagerSide::expected_error(Display* display, unsigned long serial) {
  // Any thread may ask (for an error of its own connection); the window's
  // connection and the first serial are read only while a guard is up, after
  // the window thread published them.
  if (!guarding_.load(std::memory_order_acquire) || display != context_.display ||
      serial < guard_first_serial_)
    return false;
  guard_error_ = true;
  return true;
}

void WindowManagerSide::request_full_screen(bool on) {
  const WindowContext& c = context_;
  State& wm = *state_;
  if (c.window == None) return;
  // A manager that does not reparent takes the message; with none running
  // it reaches nobody, and the window's own state waits for the next one.
  send_state_message(c, on);
  if (!managed()) {
    // The window's own state list with full screen added or removed, for a
    // manager to adopt when it takes the window on.
    std::vector<unsigned long> states;
    if (guarded([&] { states = window_states(c); })) {
      const Atom full_screen = c.atoms.states.full_screen;
      states.erase(std::remove(states.begin(), states.end(), full_screen), states.end());
      if (on) states.push_back(full_screen);
      guarded([&] {
        XChangeProperty(c.display, c.window, c.atoms.net_wm_state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()),
                        static_cast<int>(states.size()));
      });
    }
    // With none running the program moves and sizes the window itself.
    if (on && !manager_running(c)) {
      cover_screen();
    } else if (!on && wm.own_full_screen) {
      // A manager started since takes the window where it likes.
      if (!manager_running(c))
        guarded([&] { XMoveWindow(c.display, c.window, wm.windowed_x, wm.windowed_y); });
      wm.own_full_screen = false;
    }
  }
  XFlush(c.display);
}

// With no manager to ask, the window covers the screen itself (raised over
// the others), and back goes where it was; its size then is the presenter's
// request.
void WindowManagerSide::cover_screen() {
  const WindowContext& c = context_;
  State& wm = *state_;
  XWindowAttributes window{};
  if (!guarded([&] { XGetWindowAttributes(c.display, c.window, &window); })) return;
  wm.own_full_screen = true;
  wm.windowed_x = window.x;
  wm.windowed_y = window.y;
  const int screen = DefaultScreen(c.display);
  guarded([&] {
    XMoveResizeWindow(c.display, c.window, -window.border_width, -window.border_width,
                      static_cast<unsigned>(DisplayWidth(c.display, screen)),
                      static_cast<unsigned>(DisplayHeight(c.display, screen)));
    XRaiseWindow(c.display, c.window);
  });
}

bool WindowManagerSide::pointer_button_held() {
  const WindowContext& c = context_;
  if (c.window == None) return false;
  Window root = None, child = None;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned mask = 0;
  bool same_screen = false;
  if (!guarded([&] {
        same_screen =
            XQueryPointer(c.display, c.window, &root, &child, &root_x, &root_y, &x, &y, &mask) != 0;
      }) ||
      !same_screen)
    return false;  // gone, or on another screen: not this window's drag
  return (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

}  // namespace ws
