#include "app/x11_box_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace ws {

namespace {

// The window manager hints of the Motif convention that most window managers
// read: which functions and decorations the frame offers.
constexpr unsigned long kMotifFunctions = 1, kMotifDecorations = 2;
constexpr unsigned long kMotifMove = 4, kMotifClose = 32;
constexpr unsigned long kMotifBorder = 2, kMotifTitle = 8, kMotifMenu = 16;

Atom intern(Display* d, const char* name) { return XInternAtom(d, name, False); }

}  // namespace

BoxAtoms::BoxAtoms(Display* d)
    : wm_state(intern(d, "WM_STATE")),
      net_wm_state(intern(d, "_NET_WM_STATE")),
      hidden(intern(d, "_NET_WM_STATE_HIDDEN")),
      above(intern(d, "_NET_WM_STATE_ABOVE")),
      skip_taskbar(intern(d, "_NET_WM_STATE_SKIP_TASKBAR")),
      showing_desktop(intern(d, "_NET_SHOWING_DESKTOP")),
      wm_desktop(intern(d, "_NET_WM_DESKTOP")),
      current_desktop(intern(d, "_NET_CURRENT_DESKTOP")),
      wm_delete(intern(d, "WM_DELETE_WINDOW")),
      active_window(intern(d, "_NET_ACTIVE_WINDOW")) {}

BoxWindow::BoxWindow(Display* d, const std::string& caption, const BoxLayout& layout,
                     Window owner)
    : d_(d), layout_(layout), atoms_(d), painter_(d, DefaultScreen(d)) {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = painter_.background();
  attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                          StructureNotifyMask | PropertyChangeMask;
  window_ = XCreateWindow(d_, DefaultRootWindow(d_), layout_.x, layout_.y,
                          static_cast<unsigned>(layout_.width),
                          static_cast<unsigned>(layout_.height), 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWBackPixel | CWEventMask, &attributes);
  painter_.attach(window_);
  XStoreName(d_, window_, caption.c_str());
  set_window_manager_hints(owner);
}

BoxWindow::~BoxWindow() {
  painter_.detach();
  if (!destroyed_) XDestroyWindow(d_, window_);
  XFlush(d_);
}

// What the window manager reads when the box is first mapped: the class,
// that it takes the keyboard and starts shown, its fixed size and place, a
// dialog above the other windows without a taskbar entry, a frame that only
// moves and closes, the close request, and the program's window it belongs
// to once that exists.
void BoxWindow::set_window_manager_hints(Window owner) {
  XClassHint class_hint{const_cast<char*>("winding-scheme"), const_cast<char*>("WindingScheme")};
  XSetClassHint(d_, window_, &class_hint);

  XWMHints wm_hints{};
  wm_hints.flags = InputHint | StateHint;
  wm_hints.input = True;
  wm_hints.initial_state = NormalState;
  XSetWMHints(d_, window_, &wm_hints);

  // A fixed size, at the layout's place.
  XSizeHints size{};
  size.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
  size.x = layout_.x;
  size.y = layout_.y;
  size.width = size.min_width = size.max_width = layout_.width;
  size.height = size.min_height = size.max_height = layout_.height;
  XSetWMNormalHints(d_, window_, &size);

  // A dialog that stays above the other windows and has no taskbar entry
  // (from which it could be minimised); both properties are read by the
  // window manager when the window is mapped.
  Atom type = intern(d_, "_NET_WM_WINDOW_TYPE_DIALOG");
  XChangeProperty(d_, window_, intern(d_, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  set_first_states();

  // Only moving and closing: a box that could be minimised could be lost
  // while the program waits for it.
  struct {
    unsigned long flags, functions, decorations;
    long input_mode;
    unsigned long status;
  } motif{kMotifFunctions | kMotifDecorations, kMotifMove | kMotifClose,
          kMotifBorder | kMotifTitle | kMotifMenu, 0, 0};
  const Atom motif_atom = intern(d_, "_MOTIF_WM_HINTS");
  XChangeProperty(d_, window_, motif_atom, motif_atom, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&motif), 5);

  Atom protocols[] = {atoms_.wm_delete};
  XSetWMProtocols(d_, window_, protocols, 1);

  if (owner != 0) XSetTransientForHint(d_, window_, owner);
}

// The states the box asks for when it is mapped from the withdrawn state:
// above the other windows, no taskbar entry.
void BoxWindow::set_first_states() {
  const Atom states[] = {atoms_.above, atoms_.skip_taskbar};
  XChangeProperty(d_, window_, atoms_.net_wm_state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(states), 2);
}

void BoxWindow::map() { XMapRaised(d_, window_); }

void BoxWindow::follow_owner(Window owner) {
  XSetTransientForHint(d_, window_, owner);
  XRaiseWindow(d_, window_);
}

void BoxWindow::show_again(bool withdrawn) {
  if (withdrawn) set_first_states();
  XMapRaised(d_, window_);
  XEvent active{};
  active.xclient.type = ClientMessage;
  active.xclient.window = window_;
  active.xclient.message_type = atoms_.active_window;
  active.xclient.format = 32;
  active.xclient.data.l[0] = 2;
  active.xclient.data.l[1] = CurrentTime;
  XSendEvent(d_, DefaultRootWindow(d_), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &active);
  XFlush(d_);
}

}  // namespace ws
