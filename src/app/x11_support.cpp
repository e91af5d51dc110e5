#include "app/x11_support.h"

#include <algorithm>

// Last: Xlib's internals define min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace ws {

namespace {

// A property as the server returned it: its type, format and items (8-bit
// items as bytes, 32-bit ones as longs). The reply's memory is freed with it.
class PropertyReply {
 public:
  PropertyReply(Display* display, Window window, Atom property, Atom type, long max_longs) {
    if (XGetWindowProperty(display, window, property, 0, max_longs, False, type, &type_, &format_,
                           &count_, &after_, &data_) != Success) {
      data_ = nullptr;
      count_ = 0;
    }
  }
  ~PropertyReply() {
    if (data_ != nullptr) XFree(data_);
  }
  PropertyReply(const PropertyReply&) = delete;
  PropertyReply& operator=(const PropertyReply&) = delete;

  // Whether the property exists in the format and (unless any was asked
  // for) the type asked.
  bool is(Atom type, int format) const {
    return data_ != nullptr && type_ != None && format_ == format &&
           (type == AnyPropertyType || type_ == type);
  }
  unsigned long count() const { return count_; }
  const unsigned char* data() const { return data_; }

 private:
  Atom type_ = None;
  int format_ = 0;
  unsigned long count_ = 0, after_ = 0;
  unsigned char* data_ = nullptr;
};

}  // namespace

std::vector<unsigned long> property_values(Display* display, Window window, Atom property,
                                           Atom type, long max_values) {
  const PropertyReply reply(display, window, property, type, max_values);
  if (!reply.is(type, 32)) return {};
  const auto* values = reinterpret_cast<const unsigned long*>(reply.data());
  return {values, values + std::min<unsigned long>(reply.count(), max_values)};
}

std::optional<std::string> string_property(Display* display, Window window, Atom property,
                                           Atom type, long max_bytes) {
  const PropertyReply reply(display, window, property, type, (max_bytes + 3) / 4);
  if (!reply.is(type, 8)) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(reply.data()),
                     std::min<unsigned long>(reply.count(), max_bytes));
}

WireToEvent chain_wire_hook(Display* display, int type, WireToEvent hook) {
  return XESetWireToEvent(display, type, hook);
}

bool chain_to_replaced(WireToEvent replaced, Display* display, XEvent* event, xEvent* wire) {
  return replaced == nullptr || replaced(display, event, wire) != False;
}

bool chain_to_replaced(const ReplacedConverters& replaced, Display* display, XEvent* event,
                       xEvent* wire) {
  // Xlib files the converters under the type without the SendEvent bit.
  const size_t type = wire->u.u.type & 0x7F;
  return chain_to_replaced(type < replaced.size() ? replaced[type] : nullptr, display, event,
                           wire);
}

}  // namespace ws
