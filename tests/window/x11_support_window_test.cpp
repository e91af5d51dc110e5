// The X helpers against a real X server: a property is read in the form
// asked for or not at all (missing, of another type or format, on a window
// that is gone), and cut to the length asked; a wire-event hook chained over
// another gets every event filled in, a client's sent one as well as the
// server's own, and drops what the hook below it dropped.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/xvfb_suite.h"

// After the test headers: X defines macros such as None.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "app/x11_support.h"

namespace ws::test {
namespace {

int ignore_errors(Display*, XErrorEvent*) { return 0; }

class PropertyReadTest : public XServerSuite<PropertyReadTest> {
 protected:
  void SetUp() override {
    XServerSuite::SetUp();
    d_ = XOpenDisplay(x().display().c_str());
    ASSERT_NE(d_, nullptr);
    // A read of a window that is gone is an error the reads must survive.
    XSetErrorHandler(ignore_errors);
    window_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 10, 10, 0, 0, 0);
    const std::vector<unsigned long> five = {11, 12, 13, 14, 15};
    set(atom("FIVE_CARDINALS"), XA_CARDINAL, 32, five.data(), 5);
    const Atom atoms[] = {XA_CARDINAL, XA_STRING};
    set(atom("TWO_ATOMS"), XA_ATOM, 32, atoms, 2);
    set(atom("TEN_BYTES"), atom("UTF8_STRING"), 8, "0123456789", 10);
    set(atom("LATIN1_TEXT"), XA_STRING, 8, "Z=24", 4);
    XSync(d_, False);
  }
  void TearDown() override {
    if (d_ != nullptr) XCloseDisplay(d_);
  }

  Atom atom(const char* name) { return XInternAtom(d_, name, False); }
  void set(Atom property, Atom type, int format, const void* data, int count) {
    XChangeProperty(d_, window_, property, type, format, PropModeReplace,
                    static_cast<const unsigned char*>(data), count);
  }

  Display* d_ = nullptr;
  Window window_ = None;
};

TEST_F(PropertyReadTest, ValuesComeOnlyInTheFormAskedAndNoMoreThanAsked) {
  struct Case {
    const char* what;
    const char* property;
    Atom type;
    long max_values;
    std::vector<unsigned long> expected;
  };
  const Case cases[] = {
      {"all of them, of any type", "FIVE_CARDINALS", AnyPropertyType, 64, {11, 12, 13, 14, 15}},
      {"of the type asked", "FIVE_CARDINALS", XA_CARDINAL, 64, {11, 12, 13, 14, 15}},
      {"an atom list", "TWO_ATOMS", XA_ATOM, 64, {XA_CARDINAL, XA_STRING}},
      {"longer than asked", "FIVE_CARDINALS", AnyPropertyType, 2, {11, 12}},
      {"of another type", "TWO_ATOMS", XA_CARDINAL, 64, {}},
      {"of format 8", "TEN_BYTES", AnyPropertyType, 64, {}},
      {"missing", "NOT_SET_ON_THE_WINDOW", AnyPropertyType, 64, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(property_values(d_, window_, atom(c.property), c.type, c.max_values), c.expected)
        << c.what;
}

TEST_F(PropertyReadTest, StringsComeOnlyInTheFormAskedAndNoLongerThanAsked) {
  const Atom utf8 = atom("UTF8_STRING");
  struct Case {
    const char* what;
    const char* property;
    Atom type;
    long max_bytes;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"whole", "TEN_BYTES", utf8, 4096, "0123456789"},
      {"another type's own", "LATIN1_TEXT", XA_STRING, 4096, "Z=24"},
      // Asked in 32-bit units from the server: a cut inside one is kept.
      {"longer than asked", "TEN_BYTES", utf8, 5, "01234"},
      {"of another type", "LATIN1_TEXT", utf8, 4096, std::nullopt},
      {"of format 32", "FIVE_CARDINALS", XA_CARDINAL, 4096, std::nullopt},
      {"missing", "NOT_SET_ON_THE_WINDOW", utf8, 4096, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(string_property(d_, window_, atom(c.property), c.type, c.max_bytes), c.expected)
        << c.what;
}

TEST_F(PropertyReadTest, AWindowThatIsGoneHasNoProperties) {
  const Atom five = atom("FIVE_CARDINALS"), ten = atom("TEN_BYTES");
  XDestroyWindow(d_, window_);
  XSync(d_, False);
  EXPECT_TRUE(property_values(d_, window_, five, AnyPropertyType, 64).empty());
  EXPECT_EQ(string_property(d_, window_, ten, atom("UTF8_STRING"), 64), std::nullopt);
}

// Two hooks on one connection, as the program's sit on the window's: the
// outer one put over the inner one, which is put over Xlib's own converters.
// Hooks carry no user data: what they replaced and saw is kept here.
struct SeenByHook {
  int calls = 0;
  int type = 0;
  Bool send_event = False;
  Atom message = None;  // a ClientMessage's message_type
};
ReplacedConverters g_below_inner{}, g_below_outer{};
bool g_inner_drops = false;
SeenByHook g_inner_seen, g_outer_seen;

void record(SeenByHook& seen, const XEvent& event) {
  ++seen.calls;
  seen.type = event.type;
  seen.send_event = event.xany.send_event;
  seen.message = event.type == ClientMessage ? event.xclient.message_type : None;
}

Bool inner_hook(Display* display, XEvent* event, xEvent* wire) {
  if (!chain_to_replaced(g_below_inner, display, event, wire)) return False;
  record(g_inner_seen, *event);
  return g_inner_drops ? False : True;
}

Bool outer_hook(Display* display, XEvent* event, xEvent* wire) {
  if (!chain_to_replaced(g_below_outer, display, event, wire)) return False;
  record(g_outer_seen, *event);
  return True;
}

class WireHookTest : public XServerSuite<WireHookTest> {
 protected:
  void SetUp() override {
    XServerSuite::SetUp();
    d_ = XOpenDisplay(x().display().c_str());
    ASSERT_NE(d_, nullptr);
    window_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 10, 10, 0, 0, 0);
    XSelectInput(d_, window_, PropertyChangeMask);
    message_ = XInternAtom(d_, "WS_TEST_MESSAGE", False);
    for (const int type : {ClientMessage, PropertyNotify}) {
      g_below_inner[type] = chain_wire_hook(d_, type, inner_hook);
      g_below_outer[type] = chain_wire_hook(d_, type, outer_hook);
    }
    XSync(d_, False);
  }
  void TearDown() override {
    if (d_ != nullptr) XCloseDisplay(d_);
    g_below_inner = {};
    g_below_outer = {};
  }

  // A client's message to the window, sent as a window manager sends
  // WM_DELETE_WINDOW (the server marks it sent).
  void send_message() {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window_;
    e.xclient.message_type = message_;
    e.xclient.format = 32;
    XSendEvent(d_, window_, False, NoEventMask, &e);
  }
  // A change of one of the window's properties: the server's own event.
  void change_property() {
    const unsigned char byte = 1;
    XChangeProperty(d_, window_, message_, XA_INTEGER, 8, PropModeReplace, &byte, 1);
  }

  Display* d_ = nullptr;
  Window window_ = None;
  Atom message_ = None;
};

TEST_F(WireHookTest, AChainedHookGetsEveryEventFilledInAndDropsWhatTheHookBelowDropped) {
  struct Case {
    const char* what;
    int type;  // a client's ClientMessage, sent; or the server's PropertyNotify
    Bool sent;
    bool inner_drops;
  };
  const Case cases[] = {
      {"a client's message", ClientMessage, True, false},
      {"a client's message, dropped below", ClientMessage, True, true},
      {"a property change", PropertyNotify, False, false},
      {"a property change, dropped below", PropertyNotify, False, true},
  };
  for (const Case& c : cases) {
    g_inner_seen = {};
    g_outer_seen = {};
    g_inner_drops = c.inner_drops;
    if (c.type == ClientMessage)
      send_message();
    else
      change_property();
    // The reply to the sync comes after the event: Xlib has converted it.
    XSync(d_, False);
    EXPECT_EQ(g_inner_seen.calls, 1) << c.what;
    EXPECT_EQ(g_inner_seen.type, c.type) << c.what;
    EXPECT_EQ(g_inner_seen.send_event, c.sent) << c.what;
    if (c.type == ClientMessage) {
      EXPECT_EQ(g_inner_seen.message, message_) << c.what;
    }
    // The outer hook goes on exactly when the inner one kept the event, and
    // then sees it as the inner one did; the queue has what both kept.
    EXPECT_EQ(g_outer_seen.calls, c.inner_drops ? 0 : 1) << c.what;
    if (!c.inner_drops) {
      EXPECT_EQ(g_outer_seen.type, c.type) << c.what;
      EXPECT_EQ(g_outer_seen.send_event, c.sent) << c.what;
    }
    XEvent queued;
    EXPECT_EQ(XCheckTypedWindowEvent(d_, window_, c.type, &queued) == True, !c.inner_drops)
        << c.what;
  }
}

}  // namespace
}  // namespace ws::test
