#include "app/x11_box_connection.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "app/display_name.h"

namespace ws {

namespace {

// The connections of the boxes now open, in the order they were opened. The
// lock is held only to change or search the list, never around an X call,
// so an X error handler (which runs inside a call on some connection) can
// always take it. A connection that gets the address of one being closed
// meanwhile has an entry of its own: removing either equal entry leaves it
// registered.
struct Registry {
  std::mutex lock;
  std::vector<Display*> open;
};

// Never destroyed: a thread may still ask while the process ends.
Registry& registry() {
  static Registry& r = *new Registry;
  return r;
}

}  // namespace

BoxConnection::BoxConnection(const std::optional<std::string>& display_name)
    : display_(open_display(display_name)) {
  if (display_ == nullptr) return;
  XSetIOErrorExitHandler(display_, on_lost, this);
  Registry& r = registry();
  const std::lock_guard<std::mutex> hold(r.lock);
  r.open.push_back(display_);
}

BoxConnection::~BoxConnection() {
  if (display_ == nullptr) return;
  XCloseDisplay(display_);
  Registry& r = registry();
  const std::lock_guard<std::mutex> hold(r.lock);
  r.open.erase(std::find(r.open.begin(), r.open.end(), display_));
}

void BoxConnection::on_lost(Display*, void* connection) {
  static_cast<BoxConnection*>(connection)->lost_ = true;
}

bool is_box_connection(Display* d) {
  Registry& r = registry();
  const std::lock_guard<std::mutex> hold(r.lock);
  return std::find(r.open.begin(), r.open.end(), d) != r.open.end();
}

bool box_connection_open() {
  Registry& r = registry();
  const std::lock_guard<std::mutex> hold(r.lock);
  return !r.open.empty();
}

}  // namespace ws
