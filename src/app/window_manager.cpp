// The window and the window manager. The hook runs with the connection
// locked: it compares the window and atoms looked up beforehand and records
// what it saw; the property is read after the event processing returned.
#include "app/window_manager.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "screen/presenting.h"
#include "screen/runtime.h"

// Last: X defines macros such as None and Bool.
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "app/x11_support.h"

namespace ws {

namespace {

// _NET_WM_STATE client message actions.
constexpr long kStateRemove = 0;
constexpr long kStateAdd = 1;

struct ManagerHook {
  Runtime* rt = nullptr;
  Display* display = nullptr;
  Window window = None;
  Window root = None;
  Atom net_wm_state = None;
  Atom full_screen = None;
  Atom maximised_vert = None;
  Atom maximised_horz = None;
  WireToEvent previous_property = nullptr;
  WireToEvent previous_reparent = nullptr;
  // Window thread only: the hook and follow_window_manager both run there.
  bool state_changed = false;
  bool reparented = false;
  Window parent = None;
  // Full screen that the program made itself, with no manager running: the
  // window moved and sized over the screen, and where it was before.
  bool own_full_screen = false;
  int windowed_x = 0, windowed_y = 0;
};

ManagerHook g_wm;

// The window may be gone (destroyed by another client, or by the window
// library while the process ends) when its state is read or written: an
// error of those requests is not a reason to end the process. The process's
// X error handler asks expected_window_manager_error about each error.
std::atomic<bool> g_guarding{false};
unsigned long g_guard_first_serial = 0;  // written by the window thread before g_guarding
bool g_guard_error = false;

// Runs requests whose errors are expected; false when one failed.
template <class Requests>
bool guarded(Requests requests) {
  g_guard_error = false;
  g_guard_first_serial = NextRequest(g_wm.display);
  g_guarding.store(true, std::memory_order_release);
  requests();
  XSync(g_wm.display, False);
  g_guarding.store(false, std::memory_order_relaxed);
  return !g_guard_error;
}

Bool manager_hook(Display* display, XEvent* event, xEvent* wire) {
  const int type = wire->u.u.type & 0x7F;
  const WireToEvent previous =
      type == PropertyNotify ? g_wm.previous_property : g_wm.previous_reparent;
  if (previous != nullptr && !previous(display, event, wire)) return False;
  if (event->type == PropertyNotify && event->xproperty.window == g_wm.window &&
      event->xproperty.atom == g_wm.net_wm_state)
    g_wm.state_changed = true;
  if (event->type == ReparentNotify && event->xreparent.window == g_wm.window) {
    g_wm.reparented = true;
    g_wm.parent = event->xreparent.parent;
  }
  return True;
}

std::vector<Atom> window_states() {
  return property_values(g_wm.display, g_wm.window, g_wm.net_wm_state, XA_ATOM, 64);
}

void read_window_state(Runtime& rt) {
  std::vector<Atom> states;
  if (!guarded([&] { states = window_states(); })) return;
  const std::vector<unsigned long> words(states.begin(), states.end());
  rt.presenter.window_manager_changed(window_manager_state(words, {g_wm.full_screen, g_wm.maximised_vert,
                                               g_wm.maximised_horz}));
}

bool managed() { return g_wm.parent != None && g_wm.parent != g_wm.root; }

// Whether a window manager runs: one that does redirects the requests on the
// root window's children to itself.
bool manager_running() {
  XWindowAttributes root{};
  return XGetWindowAttributes(g_wm.display, g_wm.root, &root) != 0 &&
         (root.all_event_masks & SubstructureRedirectMask) != 0;
}

// With no manager to ask, the window covers the screen itself (raised over
// the others), and back goes where it was; its size then is the
// presenter's request.
void cover_screen_ourselves() {
  XWindowAttributes window{};
  if (!guarded([&] { XGetWindowAttributes(g_wm.display, g_wm.window, &window); })) return;
  g_wm.own_full_screen = true;
  g_wm.windowed_x = window.x;
  g_wm.windowed_y = window.y;
  const int screen = DefaultScreen(g_wm.display);
  guarded([&] {
    XMoveResizeWindow(g_wm.display, g_wm.window, -window.border_width, -window.border_width,
                      static_cast<unsigned>(DisplayWidth(g_wm.display, screen)),
                      static_cast<unsigned>(DisplayHeight(g_wm.display, screen)));
    XRaiseWindow(g_wm.display, g_wm.window);
  });
}

void uncover_screen_ourselves() {
  guarded([&] { XMoveWindow(g_wm.display, g_wm.window, g_wm.windowed_x, g_wm.windowed_y); });
}

void send_state_message(bool on) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = g_wm.window;
  e.xclient.message_type = g_wm.net_wm_state;
  e.xclient.format = 32;
  e.xclient.data.l[0] = on ? kStateAdd : kStateRemove;
  e.xclient.data.l[1] = static_cast<long>(g_wm.full_screen);
  e.xclient.data.l[2] = 0;
  e.xclient.data.l[3] = 1;  // a normal application
  XSendEvent(g_wm.display, g_wm.root, False, SubstructureRedirectMask | SubstructureNotifyMask,
             &e);
}

// The window's own state list with full screen added or removed, for a
// manager to adopt when it takes the window on.
void write_own_state(bool on) {
  std::vector<Atom> states;
  if (!guarded([&] { states = window_states(); })) return;
  states.erase(std::remove(states.begin(), states.end(), g_wm.full_screen), states.end());
  if (on) states.push_back(g_wm.full_screen);
  std::vector<unsigned long> words(states.begin(), states.end());
  guarded([&] {
    XChangeProperty(g_wm.display, g_wm.window, g_wm.net_wm_state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(words.data()),
                    static_cast<int>(words.size()));
  });
}

}  // namespace

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

void install_window_manager_hook(Runtime& rt, Display* display) {
  g_wm.rt = &rt;
  g_wm.display = display;
  g_wm.window = glXGetCurrentDrawable();
  g_wm.root = DefaultRootWindow(display);
  g_wm.net_wm_state = XInternAtom(display, "_NET_WM_STATE", False);
  g_wm.full_screen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  g_wm.maximised_vert = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
  g_wm.maximised_horz = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
  g_wm.previous_property = chain_wire_hook(display, PropertyNotify, manager_hook);
  g_wm.previous_reparent = chain_wire_hook(display, ReparentNotify, manager_hook);
  if (g_wm.window == None) return;
  // The window library does not ask for property changes; add them to the
  // window's events (its structure events bring the reparenting).
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, g_wm.window, &attributes) != 0)
    XSelectInput(display, g_wm.window, attributes.your_event_mask | PropertyChangeMask);
  Window root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, g_wm.window, &root, &parent, &children, &count) != 0) {
    g_wm.parent = parent;
    if (children != nullptr) XFree(children);
  }
  g_wm.state_changed = true;
}

void follow_window_manager(Runtime& rt) {
  if (g_wm.window == None) return;
  if (g_wm.state_changed) {
    g_wm.state_changed = false;
    read_window_state(rt);
  }
  if (g_wm.reparented) {
    g_wm.reparented = false;
    // A manager that has just taken the window on (at the start, or back
    // after it went away) may hold another idea of full screen than the
    // program: tell it the program's. Full screen the program made itself
    // is the manager's from now on.
    if (managed()) {
      g_wm.own_full_screen = false;
      const bool full = rt.presenter.window_mode() != FullScreenMode::Windowed;
      send_state_message(full);
      XFlush(g_wm.display);
    }
  }
}

bool expected_window_manager_error(Display* display, unsigned long serial) {
  // Any thread may ask (for an error of its own connection); the window's
  // connection and the first serial are read only while a guard is up, after
  // the window thread published them.
  if (!g_guarding.load(std::memory_order_acquire) || display != g_wm.display ||
      serial < g_guard_first_serial)
    return false;
  g_guard_error = true;
  return true;
}

void request_full_screen(bool on) {
  if (g_wm.window == None) return;
  // A manager that does not reparent takes the message; with none running
  // it reaches nobody, and the window's own state waits for the next one.
  send_state_message(on);
  if (!managed()) {
    write_own_state(on);
    // With none running the program moves and sizes the window itself.
    if (on && !manager_running()) {
      cover_screen_ourselves();
    } else if (!on && g_wm.own_full_screen) {
      // A manager started since takes the window where it likes.
      if (!manager_running()) uncover_screen_ourselves();
      g_wm.own_full_screen = false;
    }
  }
  XFlush(g_wm.display);
}

bool pointer_button_held() {
  if (g_wm.window == None) return false;
  Window root = None, child = None;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned mask = 0;
  bool same_screen = false;
  if (!guarded([&] {
        same_screen = XQueryPointer(g_wm.display, g_wm.window, &root, &child, &root_x, &root_y,
                                    &x, &y, &mask) != 0;
      }) ||
      !same_screen)
    return false;  // gone, or on another screen: not this window's drag
  return (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

}  // namespace ws
