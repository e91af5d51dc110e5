// The close and keyboard hook on Xlib's conversion of wire events. It sees
// every event of the connection whoever reads it (the window library's event
// processing, or the event loop's pending check), so none slips past. It runs
// with the connection locked: it compares only atoms and keycodes looked up
// beforehand and records what it found; the keys are acted upon afterwards, in
// the order they came.
#include <X11/XKBlib.h>

#include <array>
#include <atomic>
#include <optional>

#include "app/key_event_log.h"
#include "app/keyboard_x11.h"
#include "app/window_context.h"
#include "app/x11_hook.h"
#include "screen/keyboard.h"
#include "screen/runtime.h"

// Last: X defines macros such as None and Bool.
#include <GL/freeglut.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "app/x11_support.h"

namespace ws {

struct WindowHook::State {
  // Set by the hook when another client destroyed the window (release);
  // read by the event loop and by the X error handler, which may run on any
  // thread (acquire).
  std::atomic<bool> window_destroyed{false};
  KeyCode pause_keycode = 0;
  KeyCode break_keycode = 0;
  LockMasks lock_masks;
  ModifierKeycodes modifier_keycodes;
  // The focus has come back: the KeymapNotify that the server sends right
  // after the FocusIn tells the keys down at that moment.
  bool keymap_due = false;
  // What the press of each of the two keys was taken as, so that its release
  // matches it even when Ctrl has been let go in between.
  int32_t pause_keycode_down = 0;
  int32_t break_keycode_down = 0;
  std::array<WireToEvent, LASTEvent> previous{};
  WireToEvent previous_xkb = nullptr;
  // Window thread only: the hook and the dispatch both run there.
  KeyEventLog<XEvent> log;
};

// The hooks that Xlib calls, which reach the hook's state through the
// published window side (window_hook()).
struct WindowHookWire {
  static WindowHook::State& state() { return *window_hook().state_; }
  static const WindowContext& context() { return window_hook().context_; }
  static Bool window_proc_hook(Display* display, XEvent* event, xEvent* wire);
  static Bool keyboard_state_hook(Display* display, XEvent* event, xEvent* wire);
};

namespace {

KeyboardNotice lock_notice(const LockMasks& masks, unsigned locked_mods) {
  const LockToggles t = lock_toggles(locked_mods, masks);
  KeyboardNotice n{KeyboardNotice::Kind::LockToggles};
  n.caps_lock = t.caps;
  n.num_lock = t.num;
  return n;
}

// The notice of a Pause or Break key event; none for any other key.
template <class State>
std::optional<KeyboardNotice> pause_or_break(State& hook, const XKeyEvent& key, bool press) {
  const bool on_pause = key.keycode == hook.pause_keycode;
  const bool on_break = key.keycode == hook.break_keycode && !on_pause;
  if (!on_pause && !on_break) return std::nullopt;
  int32_t& down = on_pause ? hook.pause_keycode_down : hook.break_keycode_down;
  // Break is its own key, or the Pause key with Ctrl held.
  int32_t code = on_break || (key.state & ControlMask) != 0 ? kKeyBreak : kKeyPause;
  if (press) {
    down = code;
  } else if (down != 0) {
    code = down;
    down = 0;
  }
  return KeyboardNotice{press ? KeyboardNotice::Kind::Press : KeyboardNotice::Kind::Release, code};
}

}  // namespace

Bool WindowHookWire::window_proc_hook(Display* display, XEvent* event, xEvent* wire) {
  WindowHook::State& hook = state();
  const WindowContext& c = context();
  if (!chain_to_replaced(hook.previous, display, event, wire)) return False;
  switch (event->type) {
    case ClientMessage:
      if (event->xclient.message_type == c.atoms.wm_protocols && event->xclient.format == 32 &&
          static_cast<Atom>(event->xclient.data.l[0]) == c.atoms.wm_delete_window) {
        // The window stays; the frame thread ends the process.
        c.rt.state.close_request.fetch_or(1, std::memory_order_acq_rel);
        return False;
      }
      break;
    case KeyPress:
    case KeyRelease:
      // Pause and Break are recorded, a key behind a recorded one waits for
      // it: either is dropped here.
      if (hook.log.take_key_event(pause_or_break(hook, event->xkey, event->type == KeyPress),
                                  *event))
        return False;
      break;
    case DestroyNotify:
      // The window library ignores it and would go on as if the window
      // still existed.
      if (event->xdestroywindow.window == c.window && c.window != None)
        hook.window_destroyed.store(true, std::memory_order_release);
      break;
    case FocusOut:
      // The releases of keys held now go to another window.
      if (event->xfocus.detail != NotifyInferior) {
        hook.keymap_due = false;
        hook.log.record({KeyboardNotice::Kind::FocusLost});
      }
      break;
    case FocusIn:
      if (event->xfocus.detail != NotifyInferior) hook.keymap_due = true;
      break;
    case KeymapNotify:
      // Also sent after the pointer enters the window: only the one after
      // a FocusIn tells of the focus.
      if (hook.keymap_due) {
        hook.keymap_due = false;
        KeyboardNotice n{KeyboardNotice::Kind::FocusGained};
        n.modifiers = modifiers_down(event->xkeymap.key_vector, hook.modifier_keycodes);
        hook.log.record(n);
      }
      break;
    default:
      break;
  }
  return True;
}

// The keyboard's lock-toggle changes, which the window library ignores.
Bool WindowHookWire::keyboard_state_hook(Display* display, XEvent* event, xEvent* wire) {
  WindowHook::State& hook = state();
  if (!chain_to_replaced(hook.previous_xkb, display, event, wire)) return False;
  const auto& xkb = reinterpret_cast<const XkbEvent&>(*event);
  if (xkb.any.xkb_type != XkbStateNotify) return True;
  hook.log.record(lock_notice(hook.lock_masks, xkb.state.locked_mods));
  return False;
}

namespace {

// Hands held-back key events to the window library, in their order, and lets
// it process them now.
void hand_back(Display* display, const std::vector<XEvent>& events) {
  for (auto it = events.rbegin(); it != events.rend(); ++it) {
    XEvent e = *it;
    XPutBackEvent(display, &e);
  }
  glutMainLoopEvent();
}

void act(Runtime& rt, const KeyboardNotice& n) {
  switch (n.kind) {
    case KeyboardNotice::Kind::Press: handle_key_press(rt.keyboard, n.code); break;
    case KeyboardNotice::Kind::Release: handle_key_release(rt.keyboard, n.code); break;
    case KeyboardNotice::Kind::FocusLost: release_modifier_keys(rt.keyboard); break;
    case KeyboardNotice::Kind::FocusGained: hold_modifier_keys(rt.keyboard, n.modifiers); break;
    case KeyboardNotice::Kind::LockToggles:
      report_lock_toggles(rt.keyboard, n.caps_lock, n.num_lock);
      break;
  }
}

}  // namespace

WindowHook::WindowHook(WindowContext& context)
    : context_(context), state_(std::make_unique<State>()) {}

WindowHook::~WindowHook() = default;

void WindowHook::install() {
  Display* display = context_.display;
  State& hook = *state_;
  hook.pause_keycode = XKeysymToKeycode(display, XK_Pause);
  hook.break_keycode = XKeysymToKeycode(display, XK_Break);
  hook.modifier_keycodes = modifier_keycodes(display);
  const Window window = context_.window;
  for (const int type :
       {ClientMessage, KeyPress, KeyRelease, FocusIn, FocusOut, KeymapNotify, DestroyNotify})
    hook.previous[type] = chain_wire_hook(display, type, WindowHookWire::window_proc_hook);
  // The window library does not ask for focus changes nor for the keys down
  // when the focus comes; add them to the window's events (it asks for its
  // structure's changes, DestroyNotify among them).
  XWindowAttributes attributes;
  if (window != None && XGetWindowAttributes(display, window, &attributes) != 0)
    XSelectInput(display, window, attributes.your_event_mask | FocusChangeMask | KeymapStateMask);

  // The lock toggles: the keyboard tells this connection of each change, so
  // nothing polls the server for them.
  int opcode = 0, event_base = 0, error_base = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (XkbQueryExtension(display, &opcode, &event_base, &error_base, &major, &minor)) {
    hook.lock_masks = lock_masks(display);
    hook.previous_xkb = chain_wire_hook(display, event_base, WindowHookWire::keyboard_state_hook);
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbModifierLockMask,
                          XkbModifierLockMask);
    // A change between the keyboard's reading at start and now.
    XkbStateRec state;
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success)
      hook.log.record(lock_notice(hook.lock_masks, state.locked_mods));
  }
}

bool WindowHook::keys_waiting() const { return state_->log.holding(); }

bool WindowHook::window_destroyed() const {
  return state_->window_destroyed.load(std::memory_order_acquire);
}

void WindowHook::dispatch_keys() {
  Runtime& rt = context_.rt;
  Display* display = context_.display;
  state_->log.drain([&rt](const KeyboardNotice& n) { act(rt, n); },
                    [display](const std::vector<XEvent>& events) { hand_back(display, events); });
}

}  // namespace ws
