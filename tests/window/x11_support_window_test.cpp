// The property reads of the X helpers against a real X server: a property is
// read in the form asked for or not at all (missing, of another type or
// format, on a window that is gone), and cut to the length asked.
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

}  // namespace
}  // namespace ws::test
