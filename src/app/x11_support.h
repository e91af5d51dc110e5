// Xlib helpers written once for the program and the test support: reading a
// window property in the form the caller wants, and putting a hook on Xlib's
// conversion of wire events and chaining it to the converter it replaced.
//
// A property read is one request on the caller's connection and takes its
// lock: it must not run inside a wire-event hook. What does not match what
// was asked (the property missing, another type or format, the window gone)
// reads as nothing; longer values are cut to the length asked.
//
// This is the one place that includes Xlib's internals (X11/Xlibint.h, whose
// min and max macros would break the standard headers of any file that
// includes it): the hooks themselves need only the wire form of an event,
// xEvent from X11/Xproto.h.
//
// Include it after the standard and test headers: X defines macros such as
// None and Bool.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace ws {

// The 32-bit values of a window's property (longs, as Xlib returns them; for
// an atom list, the atoms), at most max_values of them. Empty when the
// property is missing, not of format 32, or of another type than `type`
// (AnyPropertyType takes any).
std::vector<unsigned long> property_values(Display* display, Window window, Atom property,
                                           Atom type, long max_values);

// An 8-bit property of the type given (e.g. UTF8_STRING, or XA_STRING) as a
// string of at most max_bytes bytes; nullopt when it is missing, of another
// type, or not of format 8.
std::optional<std::string> string_property(Display* display, Window window, Atom property,
                                           Atom type, long max_bytes);

// Xlib's converter of events of one type from their wire form on one
// connection. A converter returns False for an event it drops.
using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);

// Puts hook in place of the connection's converter for events of the type
// and returns the converter it replaced. The hook chains to it: it calls the
// replaced converter first (that one fills the event, and another hook may
// sit there) and drops the event when that one dropped it. The hook runs with
// the connection locked: it may compare the event with what was looked up
// beforehand and record what it saw, but call nothing that takes the lock.
WireToEvent chain_wire_hook(Display* display, int type, WireToEvent hook);

// The converters that a hook of several core event types replaced, by type:
// what chain_wire_hook returned for each type hooked, nullptr for the others.
using ReplacedConverters = std::array<WireToEvent, LASTEvent>;

// A hook's first step: calls the converter it replaced, which fills the event
// (and may be another hook), and tells whether the event goes on: false when
// that converter dropped it (the hook then drops it too), true when it kept it
// or there is none.
bool chain_to_replaced(WireToEvent replaced, Display* display, XEvent* event, xEvent* wire);
// The same with the converter replaced for the wire event's type. That type
// is the event's without its high bit, which the server sets on an event that
// a client sent with SendEvent (a window manager's WM_DELETE_WINDOW comes so):
// Xlib keeps one converter for both and calls it for either.
bool chain_to_replaced(const ReplacedConverters& replaced, Display* display, XEvent* event,
                       xEvent* wire);

}  // namespace ws
