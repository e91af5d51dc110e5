#include "app/x11_message_box.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/display_name.h"
#include "app/message_box_layout.h"
#include "app/session_end.h"
#include "app/x11_support.h"
#include "screen/font.h"
#include "screen/page.h"

namespace ws {

namespace {

// How often a box opened before the program's window looks for it.
constexpr int kOwnerLookMs = 100;
// How long a box unmapped by someone waits before it maps itself again: long
// enough for the window manager to have finished what the unmap started (a
// switch of virtual desktop that tells the new desktop only after it unmapped
// the windows of the old one, the withdrawal of a box another client
// unmapped), short enough not to be seen as a wait.
constexpr int kUnmapSettleMs = 150;
// How often a box looks at session_ended when there is no descriptor to
// poll for it.
constexpr int kSessionLookMs = 100;
// _NET_WM_DESKTOP of a window shown on every virtual desktop.
constexpr unsigned long kAllDesktops = 0xFFFFFFFF;

// The window manager hints of the Motif convention that most window managers
// read: which functions and decorations the frame offers.
constexpr unsigned long kMotifFunctions = 1, kMotifDecorations = 2;
constexpr unsigned long kMotifMove = 4, kMotifClose = 32;
constexpr unsigned long kMotifBorder = 2, kMotifTitle = 8, kMotifMenu = 16;

// Colours, 0xRRGGBB.
enum Colour {
  kTextArea,
  kInk,
  kBand,
  kButtonFace,
  kButtonEdge,
  kDefaultEdge,
  kPressedFace,
  kColourCount
};
constexpr uint32_t kRgb[kColourCount] = {0xFFFFFF, 0x000000, 0xF0F0F0, 0xE1E1E1,
                                         0xADADAD, 0x0078D7, 0xCCE4F7};

// The connections of the boxes now open (see is_box_connection): a box whose
// window another client destroyed goes on to the destruction's notice, and a
// box whose connection another client killed counts as answered.
std::array<std::atomic<Display*>, 4> g_box_connections{};

// A box's display connection, and whether it is lost (another client killed
// it, or the server went away). Only the box's own thread uses it: Xlib calls
// the exit handler below on the thread whose call met the loss.
struct BoxConnection {
  Display* display = nullptr;
  bool lost = false;

  BoxConnection() = default;
  BoxConnection(const BoxConnection&) = delete;
  BoxConnection& operator=(const BoxConnection&) = delete;

  // Closed while still registered: closing a lost connection meets the loss
  // again, and the process's handler must still take it for a box's. Should
  // another box's new connection get the same address meanwhile, it has a
  // slot of its own, and removing either equal entry leaves it registered.
  ~BoxConnection() {
    if (display == nullptr) return;
    XCloseDisplay(display);
    for (auto& c : g_box_connections) {
      Display* expected = display;
      if (c.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel)) break;
    }
  }
};

// Called by Xlib after the process's IO error handler has let a box's lost
// connection pass: returning lets the failed call return instead of ending
// the process. The box sees `lost` after that call and stops using the
// connection.
void on_box_connection_lost(Display*, void* connection) {
  static_cast<BoxConnection*>(connection)->lost = true;
}

// Opens a connection for a box to the named display and registers it with
// the error handlers; false when the display cannot be opened.
bool open_box_connection(BoxConnection& c, const std::optional<std::string>& display_name) {
  c.display = open_display(display_name);
  if (c.display == nullptr) return false;
  XSetIOErrorExitHandler(c.display, on_box_connection_lost, &c);
  for (auto& slot : g_box_connections) {
    Display* expected = nullptr;
    if (slot.compare_exchange_strong(expected, c.display, std::memory_order_acq_rel)) break;
  }
  return true;
}

// How a box's wait ended without an answer from the user.
enum class Ending {
  Destroyed,       // another client destroyed the window: shown again if a question
  SessionEnded,    // a session-end signal came: a question is No, a notice OK
  ConnectionLost,  // another client killed the connection: a question is Yes, a notice OK
};

BoxAnswer answer_for_ending(Ending e, BoxKind kind) {
  if (kind == BoxKind::Ok) return BoxAnswer::Ok;
  return e == Ending::SessionEnded ? BoxAnswer::No : BoxAnswer::Yes;
}

// One box on the screen, from its mapping to its answer.
class Box {
 public:
  Box(BoxConnection& connection, const std::string& caption, const std::string& text,
      BoxKind kind, const std::atomic<unsigned long>& owner)
      : connection_(connection),
        d_(connection.display),
        kind_(kind),
        owner_(owner),
        wm_state_(atom("WM_STATE")),
        net_wm_state_(atom("_NET_WM_STATE")),
        hidden_(atom("_NET_WM_STATE_HIDDEN")),
        showing_desktop_(atom("_NET_SHOWING_DESKTOP")),
        wm_desktop_(atom("_NET_WM_DESKTOP")),
        current_desktop_(atom("_NET_CURRENT_DESKTOP")),
        wm_delete_(atom("WM_DELETE_WINDOW")),
        states_{atom("_NET_WM_STATE_ABOVE"), atom("_NET_WM_STATE_SKIP_TASKBAR")} {
    const int screen = DefaultScreen(d_);
    const Window root = RootWindow(d_, screen);
    layout_ = lay_out_box(text, kind, DisplayWidth(d_, screen), DisplayHeight(d_, screen));
    allocate_colours(screen);
    create_window(root);
    XStoreName(d_, window_, caption.c_str());
    set_window_manager_hints();
    // The root tells of "show desktop" (see put_away) and of the virtual
    // desktop shown (see on_other_desktop).
    XSelectInput(d_, root, PropertyChangeMask);
    XMapRaised(d_, window_);
  }

  // On a lost connection these calls only free what Xlib holds: nothing is
  // sent any more.
  ~Box() {
    XFreeGC(d_, gc_);
    if (!destroyed_) XDestroyWindow(d_, window_);
    XFlush(d_);
  }

  Box(const Box&) = delete;
  Box& operator=(const Box&) = delete;

  // What ends a box's wait: the user's answer, or an Ending.
  using Outcome = std::variant<BoxAnswer, Ending>;

  // Handles events until the box is answered by the user, or its wait ends
  // otherwise.
  Outcome run() {
    for (;;) {
      if (const auto ending = wait_for_event()) return *ending;
      XEvent ev;
      XNextEvent(d_, &ev);
      if (connection_.lost) return Ending::ConnectionLost;
      if (const auto outcome = handle(ev)) return *outcome;
    }
  }

 private:
  Atom atom(const char* name) { return XInternAtom(d_, name, False); }

  // A colour the colormap cannot give is replaced by black for the ink and
  // the default button's edge, by white for the rest.
  void allocate_colours(int screen) {
    const Colormap colormap = DefaultColormap(d_, screen);
    for (int i = 0; i < kColourCount; ++i) {
      XColor c{};
      c.red = static_cast<unsigned short>(((kRgb[i] >> 16) & 0xFF) * 0x101);
      c.green = static_cast<unsigned short>(((kRgb[i] >> 8) & 0xFF) * 0x101);
      c.blue = static_cast<unsigned short>((kRgb[i] & 0xFF) * 0x101);
      const bool dark = kRgb[i] == 0 || i == kDefaultEdge;
      pixel_[i] = XAllocColor(d_, colormap, &c) != 0 ? c.pixel
                  : dark                             ? BlackPixel(d_, screen)
                                                     : WhitePixel(d_, screen);
    }
  }

  // The box's window at the layout's place and size, and its drawing context.
  void create_window(Window root) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixel_[kTextArea];
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                            StructureNotifyMask | PropertyChangeMask;
    window_ = XCreateWindow(d_, root, layout_.x, layout_.y, static_cast<unsigned>(layout_.width),
                            static_cast<unsigned>(layout_.height), 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    gc_ = XCreateGC(d_, window_, 0, nullptr);
  }

  // What the window manager reads when the box is first mapped: the class,
  // that it takes the keyboard and starts shown, its fixed size and place, a
  // dialog above the other windows without a taskbar entry, a frame that
  // only moves and closes, the close request, and the program's window it
  // belongs to once that exists.
  void set_window_manager_hints() {
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
    Atom type = atom("_NET_WM_WINDOW_TYPE_DIALOG");
    XChangeProperty(d_, window_, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
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
    const Atom motif_atom = atom("_MOTIF_WM_HINTS");
    XChangeProperty(d_, window_, motif_atom, motif_atom, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&motif), 5);

    Atom protocols[] = {wm_delete_};
    XSetWMProtocols(d_, window_, protocols, 1);

    follow_owner();
  }

  // One event: the outcome when it ends the box's wait.
  std::optional<Outcome> handle(XEvent& ev) {
    switch (ev.type) {
      case Expose:
        if (ev.xexpose.count == 0) draw();
        return std::nullopt;
      case KeyPress:
        return on_key(ev.xkey);
      case ButtonPress:
        on_button_press(ev.xbutton);
        return std::nullopt;
      case ButtonRelease:
        return on_button_release(ev.xbutton);
      case MapNotify:
        if (ev.xmap.window == window_) on_mapped();
        return std::nullopt;
      case UnmapNotify:
        if (ev.xunmap.window == window_) on_unmapped();
        return std::nullopt;
      case PropertyNotify:
        on_property_change(ev.xproperty);
        return std::nullopt;
      case DestroyNotify:
        if (ev.xdestroywindow.window != window_) return std::nullopt;
        destroyed_ = true;
        return Ending::Destroyed;
      case ClientMessage:
        return on_client_message(ev.xclient);
      default:
        return std::nullopt;
    }
  }

  // Y, N, Enter or Escape, as the box's kind takes them (answer_for_key).
  std::optional<Outcome> on_key(XKeyEvent& key) {
    if (const auto answer = answer_for_key(XLookupKeysym(&key, 0))) return *answer;
    return std::nullopt;
  }

  // A button answers when the first mouse button is pressed and released on
  // it; it shows pressed meanwhile.
  void on_button_press(const XButtonEvent& b) {
    if (b.button != Button1) return;
    pressed_ = layout_.button_at(b.x, b.y);
    if (pressed_ >= 0) draw();
  }

  std::optional<Outcome> on_button_release(const XButtonEvent& b) {
    if (b.button != Button1 || pressed_ < 0) return std::nullopt;
    const int released = layout_.button_at(b.x, b.y);
    const int was = pressed_;
    pressed_ = -1;
    if (released == was) return layout_.buttons[static_cast<size_t>(was)].answer;
    draw();
    return std::nullopt;
  }

  // On the screen again: a settling time still running is over.
  void on_mapped() {
    mapped_ = shown_ = true;
    settle_due_.reset();
  }

  // A box taken from the screen while it waits for its answer asks to be
  // shown again (see come_back).
  void on_unmapped() {
    mapped_ = false;
    come_back();
  }

  // The box's WM_STATE or _NET_WM_STATE, or the root's "show desktop", may
  // tell that the box was put away.
  void on_property_change(const XPropertyEvent& p) {
    const bool telling =
        p.window == window_ ? p.atom == wm_state_ || p.atom == net_wm_state_
                            : p.atom == showing_desktop_;
    if (telling) come_back();
  }

  // The window manager's close: an OK box counts it as OK; a question must
  // be answered.
  std::optional<Outcome> on_client_message(const XClientMessageEvent& m) {
    if (static_cast<Atom>(m.data.l[0]) == wm_delete_ && kind_ == BoxKind::Ok)
      return BoxAnswer::Ok;
    return std::nullopt;
  }

  // Waits until an event is queued (nullopt), or until the wait ends for
  // good: the session ended, or the connection was lost. Meanwhile it looks
  // for the program's window until that exists, and maps a box that stayed
  // unmapped again (see come_back).
  std::optional<Ending> wait_for_event() {
    for (;;) {
      if (const auto ending = ended_without_answer()) return ending;
      const bool queued = XPending(d_) != 0;
      if (connection_.lost) return Ending::ConnectionLost;
      if (queued) return std::nullopt;
      if (settle_due_ && std::chrono::steady_clock::now() >= *settle_due_) {
        map_again_after_settling();
        continue;
      }
      if (sleep_until_woken()) return Ending::SessionEnded;
      if (follow_owner()) XRaiseWindow(d_, window_);
    }
  }

  // The connection lost, or the session ended; checked before each look at
  // the queue, so that a box shown after the session ended ends before it is
  // drawn.
  std::optional<Ending> ended_without_answer() const {
    if (connection_.lost) return Ending::ConnectionLost;
    if (session_ended()) return Ending::SessionEnded;
    return std::nullopt;
  }

  // The settling time of an unmapped box is over: it maps itself again
  // should it still be unmapped, and not because another virtual desktop is
  // shown.
  void map_again_after_settling() {
    settle_due_.reset();
    if (taken_away() && !on_other_desktop()) show_again();
  }

  // Sleeps until the connection has something to read, the session ends
  // (true), or it is time to look for the program's window, at the session
  // without a descriptor to wake on, or at an unmapped box.
  bool sleep_until_woken() {
    int timeout = -1;
    if (owned_ == 0) timeout = kOwnerLookMs;
    const int wake = session_end_fd();
    if (wake < 0) timeout = timeout < 0 ? kSessionLookMs : std::min(timeout, kSessionLookMs);
    if (settle_due_) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                            *settle_due_ - std::chrono::steady_clock::now())
                            .count();
      const int ms = static_cast<int>(std::max<int64_t>(left, 0));
      timeout = timeout < 0 ? ms : std::min(timeout, ms);
    }
    pollfd fds[2] = {{ConnectionNumber(d_), POLLIN, 0}, {wake, POLLIN, 0}};
    poll(fds, 2, timeout);
    // Readable only once the handler wrote to it: the session has ended.
    return (fds[1].revents & POLLIN) != 0;
  }

  // The box's answer to a change that may have taken it from the screen.
  // Whoever took it away (the manager's minimise, hide or "show desktop",
  // or another client's unmapping, after which the manager lets it go), it
  // comes back, unless the user shows another virtual desktop than the
  // box's: the manager shows it again when the user comes back. It looks
  // again after a short settling time and only then asks to be shown: a
  // manager that switches the virtual desktop unmaps (and may iconify) the
  // windows of the old one before it names the new one current, and a box
  // that came back in between would pull the user back to its desktop.
  void come_back() {
    if (!settle_due_ && taken_away())
      settle_due_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUnmapSettleMs);
  }

  // Put away by the manager, or unmapped once it had been on the screen.
  bool taken_away() { return put_away() || (shown_ && !mapped_); }

  // Whether the window manager shows another virtual desktop than the box's
  // (_NET_CURRENT_DESKTOP of the root against _NET_WM_DESKTOP of the box).
  // False when either is missing: no manager, one without virtual desktops,
  // or a box it has let go.
  bool on_other_desktop() {
    const auto desktop = property(window_, wm_desktop_);
    const auto current = property(DefaultRootWindow(d_), current_desktop_);
    return !desktop.empty() && !current.empty() && desktop[0] != kAllDesktops &&
           desktop[0] != current[0];
  }

  // The states the box asks for when it is mapped from the withdrawn state:
  // above the other windows, no taskbar entry.
  void set_first_states() {
    XChangeProperty(d_, window_, net_wm_state_, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states_), 2);
  }

  // Whether the window is withdrawn: never managed, or let go by the window
  // manager (no WM_STATE, or WithdrawnState), which also drops the states the
  // box asked for.
  bool withdrawn() {
    const auto state = property(window_, wm_state_);
    return state.empty() || state[0] == WithdrawnState;
  }

  // Makes the box a transient window of the program's window once that
  // exists. True when it has just become one.
  bool follow_owner() {
    if (owned_ != 0) return false;
    owned_ = owner_.load(std::memory_order_acquire);
    if (owned_ == 0) return false;
    XSetTransientForHint(d_, window_, owned_);
    return true;
  }

  // The 32-bit values of a property (empty when it is missing).
  std::vector<unsigned long> property(Window w, Atom name) {
    return property_values(d_, w, name, AnyPropertyType, 32);
  }

  // Whether the window manager has taken the box from the screen: iconified
  // (WM_STATE Iconic), hidden (_NET_WM_STATE_HIDDEN), or the desktop shown
  // (the root's _NET_SHOWING_DESKTOP). A box unmapped for another reason
  // (another virtual desktop shown) stays where the manager put it.
  bool put_away() {
    const auto state = property(window_, wm_state_);
    if (!state.empty() && state[0] == IconicState) return true;
    for (const unsigned long s : property(window_, net_wm_state_))
      if (s == hidden_) return true;
    const auto showing = property(DefaultRootWindow(d_), showing_desktop_);
    return !showing.empty() && showing[0] == 1;
  }

  // Maps the box again (which takes an iconified window back to the normal
  // state, and a withdrawn one to a new start with the states it first asked
  // for) and asks the window manager to activate it, as a pager would
  // (source 2): activating a window also ends "show desktop".
  void show_again() {
    if (!mapped_ && withdrawn()) set_first_states();
    XMapRaised(d_, window_);
    XEvent active{};
    active.xclient.type = ClientMessage;
    active.xclient.window = window_;
    active.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
    active.xclient.format = 32;
    active.xclient.data.l[0] = 2;
    active.xclient.data.l[1] = CurrentTime;
    const Window root = DefaultRootWindow(d_);
    XSendEvent(d_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &active);
    XFlush(d_);
  }

  std::optional<BoxAnswer> answer_for_key(KeySym key) const {
    switch (key) {
      case XK_Return:
      case XK_KP_Enter:
        return layout_.buttons[layout_.enter].answer;
      case XK_y:
        if (kind_ == BoxKind::YesNo) return BoxAnswer::Yes;
        break;
      case XK_n:
        if (kind_ == BoxKind::YesNo) return BoxAnswer::No;
        break;
      case XK_Escape:
        if (kind_ == BoxKind::Ok) return BoxAnswer::Ok;
        break;
      default:
        break;
    }
    return std::nullopt;
  }

  void fill(Colour c, int x, int y, int w, int h) {
    XSetForeground(d_, gc_, pixel_[c]);
    XFillRectangle(d_, window_, gc_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  }

  // Draws the text with the page font: one rectangle per run of set pixels
  // in a glyph row. The layout has cut the lines to the box.
  void draw_text(int x, int y, const std::string& s) {
    std::vector<XRectangle> runs;
    for (size_t i = 0; i < s.size(); ++i) {
      const int cell_x = x + static_cast<int>(i) * kCellWidth;
      const uint8_t* glyph = kPageFont[static_cast<uint8_t>(s[i])];
      for (int row = 0; row < kCellHeight; ++row) {
        const unsigned bits = glyph[row];
        int col = 0;
        while (col < kCellWidth) {
          if ((bits & (0x80u >> col)) == 0) {
            ++col;
            continue;
          }
          const int start = col;
          while (col < kCellWidth && (bits & (0x80u >> col)) != 0) ++col;
          runs.push_back({static_cast<short>(cell_x + start), static_cast<short>(y + row),
                          static_cast<unsigned short>(col - start), 1});
        }
      }
    }
    XSetForeground(d_, gc_, pixel_[kInk]);
    XFillRectangles(d_, window_, gc_, runs.data(), static_cast<int>(runs.size()));
  }

  void draw() {
    const int band_top = layout_.band_top();
    fill(kTextArea, 0, 0, layout_.width, band_top);
    for (size_t i = 0; i < layout_.lines.size(); ++i)
      draw_text(kBoxTextMargin, kBoxTextMargin + static_cast<int>(i) * kCellHeight,
                layout_.lines[i]);

    fill(kBand, 0, band_top, layout_.width, kBoxBandHeight);
    for (size_t i = 0; i < layout_.buttons.size(); ++i) {
      const BoxButton& b = layout_.buttons[i];
      const bool is_default = i == layout_.enter;
      const int edge = is_default ? 2 : 1;
      fill(is_default ? kDefaultEdge : kButtonEdge, b.x, b.y, kBoxButtonWidth, kBoxButtonHeight);
      fill(pressed_ == static_cast<int>(i) ? kPressedFace : kButtonFace, b.x + edge, b.y + edge,
           kBoxButtonWidth - 2 * edge, kBoxButtonHeight - 2 * edge);
      const int label_width = static_cast<int>(b.label.size()) * kCellWidth;
      draw_text(b.x + (kBoxButtonWidth - label_width) / 2, b.y + (kBoxButtonHeight - kCellHeight) / 2,
                b.label);
    }
    XFlush(d_);
  }

  BoxConnection& connection_;
  Display* d_;
  BoxLayout layout_;
  BoxKind kind_;
  const std::atomic<unsigned long>& owner_;
  Window owned_ = 0;  // the window the box is transient for, once known
  unsigned long pixel_[kColourCount] = {};
  Window window_ = 0;
  GC gc_ = nullptr;
  const Atom wm_state_, net_wm_state_, hidden_, showing_desktop_, wm_desktop_, current_desktop_;
  const Atom wm_delete_;
  const Atom states_[2];  // the states asked for at the first mapping
  int pressed_ = -1;      // the button under a held mouse button, or -1
  bool destroyed_ = false;
  bool mapped_ = false;   // as the last MapNotify or UnmapNotify told
  bool shown_ = false;    // mapped once: the manager has taken the box on
  // When a box found unmapped maps itself again (see come_back).
  std::optional<std::chrono::steady_clock::time_point> settle_due_;
};

}  // namespace

bool is_box_connection(Display* d) {
  for (const auto& c : g_box_connections)
    if (c.load(std::memory_order_acquire) == d) return true;
  return false;
}

BoxAnswer X11MessageBoxes::show(const std::string& caption, const std::string& text,
                                BoxKind kind) {
  // Once the session has ended nobody answers: no box is opened.
  if (session_ended()) return answer_for_ending(Ending::SessionEnded, kind);
  // A connection of the box's own: freeglut drops events of windows it did
  // not create, and the calling thread may be any thread.
  BoxConnection connection;
  if (!open_box_connection(connection, display_name_)) return BoxAnswer::Unavailable;
  // A box destroyed from outside counts as closed when it only informs;
  // a question is asked again until it is answered.
  for (;;) {
    if (session_ended()) return answer_for_ending(Ending::SessionEnded, kind);
    std::variant<BoxAnswer, Ending> result = [&] {
      Box box(connection, caption, text, kind, owner_);
      return box.run();
    }();
    if (const auto* answer = std::get_if<BoxAnswer>(&result)) return *answer;
    const Ending ending = std::get<Ending>(result);
    if (ending != Ending::Destroyed || kind == BoxKind::Ok) return answer_for_ending(ending, kind);
  }
}

}  // namespace ws
