#include "app/x11_box_connection.h"

#include <X11/Xlib.h>

#include <array>
#include <atomic>

#include "app/display_name.h"

namespace ws {

namespace {

// The connections of the boxes now open.
std::array<std::atomic<Display*>, 4> g_box_connections{};

}  // namespace

BoxConnection::BoxConnection(const std::optional<std::string>& display_name)
    : display_(open_display(display_name)) {
  if (display_ == nullptr) return;
  XSetIOErrorExitHandler(display_, on_lost, this);
  for (auto& slot : g_box_connections) {
    Display* expected = nullptr;
    if (slot.compare_exchange_strong(expected, display_, std::memory_order_acq_rel)) break;
  }
}

// Should another box's new connection get the same address meanwhile, it has
// a slot of its own, and removing either equal entry leaves it registered.
BoxConnection::~BoxConnection() {
  if (display_ == nullptr) return;
  XCloseDisplay(display_);
  for (auto& c : g_box_connections) {
    Display* expected = display_;
    if (c.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel)) break;
  }
}

void BoxConnection::on_lost(Display*, void* connection) {
  static_cast<BoxConnection*>(connection)->lost_ = true;
}

bool is_box_connection(Display* d) {
  for (const auto& c : g_box_connections)
    if (c.load(std::memory_order_acquire) == d) return true;
  return false;
}

}  // namespace ws
