// The close and Pause/Break hook on Xlib's conversion of wire events. It sees
// every event of the connection whoever reads it (the window library's event
// processing, or the event loop's pending check), so none slips past. It runs
// with the connection locked: it compares only atoms and keycodes looked up
// beforehand and records what it found; the keys are acted upon afterwards.
#include <array>
#include <atomic>

#include "app/presenter.h"
#include "screen/keyboard.h"
#include "screen/runtime.h"

// Last: Xlib's internals define min and max as macros.
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/keysym.h>
#undef min
#undef max

namespace ws {

namespace {

using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);

struct KeyRecord {
  int32_t code;
  bool press;
};

struct HookState {
  Runtime* rt = nullptr;
  Atom wm_protocols = None;
  Atom wm_delete_window = None;
  KeyCode pause_keycode = 0;
  KeyCode break_keycode = 0;
  // What the press of each of the two keys was taken as, so that its release
  // matches it even when Ctrl has been let go in between.
  int32_t pause_keycode_down = 0;
  int32_t break_keycode_down = 0;
  std::array<WireToEvent, LASTEvent> previous{};
  // Window thread only: the hook and the dispatch both run there.
  std::array<KeyRecord, 64> records{};
  int record_count = 0;
  // The window lost the keyboard: the releases of keys held then go to
  // another window, so the held modifiers are let go.
  bool focus_lost = false;
};

HookState g_hook;

void record_key(int32_t code, bool press) {
  if (g_hook.record_count < static_cast<int>(g_hook.records.size()))
    g_hook.records[g_hook.record_count++] = {code, press};
}

// True when the key event is Pause or Break (recorded, to be dropped).
bool take_pause_or_break(const XKeyEvent& key, bool press) {
  const bool on_pause = key.keycode == g_hook.pause_keycode;
  const bool on_break = key.keycode == g_hook.break_keycode && !on_pause;
  if (!on_pause && !on_break) return false;
  int32_t& down = on_pause ? g_hook.pause_keycode_down : g_hook.break_keycode_down;
  // Break is its own key, or the Pause key with Ctrl held.
  int32_t code = on_break || (key.state & ControlMask) != 0 ? kKeyBreak : kKeyPause;
  if (press) {
    down = code;
  } else if (down != 0) {
    code = down;
    down = 0;
  }
  record_key(code, press);
  return true;
}

Bool window_proc_hook(Display* display, XEvent* event, xEvent* wire) {
  const int type = wire->u.u.type & 0x7F;
  const WireToEvent previous = g_hook.previous[type];
  if (previous != nullptr && !previous(display, event, wire)) return False;
  switch (event->type) {
    case ClientMessage:
      if (event->xclient.message_type == g_hook.wm_protocols && event->xclient.format == 32 &&
          static_cast<Atom>(event->xclient.data.l[0]) == g_hook.wm_delete_window) {
        // The window stays; the frame thread ends the process.
        g_hook.rt->state.close_request.fetch_or(1, std::memory_order_acq_rel);
        return False;
      }
      break;
    case KeyPress:
    case KeyRelease:
      if (take_pause_or_break(event->xkey, event->type == KeyPress)) return False;
      break;
    case FocusOut:
      if (event->xfocus.detail != NotifyInferior) g_hook.focus_lost = true;
      break;
    default:
      break;
  }
  return True;
}

}  // namespace

void install_window_hook(Runtime& rt, Display* display) {
  g_hook.rt = &rt;
  g_hook.wm_protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  g_hook.wm_delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  g_hook.pause_keycode = XKeysymToKeycode(display, XK_Pause);
  g_hook.break_keycode = XKeysymToKeycode(display, XK_Break);
  for (const int type : {ClientMessage, KeyPress, KeyRelease, FocusOut})
    g_hook.previous[type] = XESetWireToEvent(display, type, window_proc_hook);
  // The window library does not ask for focus changes; add them to the
  // window's events.
  const Window window = glXGetCurrentDrawable();
  XWindowAttributes attributes;
  if (window != None && XGetWindowAttributes(display, window, &attributes) != 0)
    XSelectInput(display, window, attributes.your_event_mask | FocusChangeMask);
}

void dispatch_hooked_keys(Runtime& rt) {
  for (int i = 0; i < g_hook.record_count; ++i) {
    const KeyRecord& r = g_hook.records[i];
    if (r.press)
      handle_key_press(rt, r.code);
    else
      handle_key_release(rt, r.code);
  }
  g_hook.record_count = 0;
  if (g_hook.focus_lost) {
    g_hook.focus_lost = false;
    release_modifier_keys(rt);
  }
}

}  // namespace ws
