// The display connections of the report boxes: one per box, opened on the
// thread that shows it, and known to the process's X error handlers as long
// as it is open.
//
// Another client may destroy a box between any two of its requests, or kill
// its connection; the request that then fails must not end the program, so
// the handlers let these connections' errors pass, and the IO error handler
// lets such a connection's loss pass while the display can still be reached.
// Any number of boxes may be open at once (each thread that shows one waits
// for it, and any thread may show one): the connections are kept in a list
// that grows with them.
#pragma once

#include <optional>
#include <string>

typedef struct _XDisplay Display;

namespace ws {

// A box's connection, and whether it is lost (another client killed it, or
// the server went away). Only the box's own thread uses it: Xlib calls the
// connection's exit handler on the thread whose call met the loss, and that
// handler sets `lost`, so that the failed call returns instead of ending the
// process; the box sees `lost` after that call and stops using the
// connection.
class BoxConnection {
 public:
  // Opens a connection to the named display (display_name.h) and registers
  // it; display() is null when the display cannot be opened.
  explicit BoxConnection(const std::optional<std::string>& display_name);
  // Closed while still registered: closing a lost connection meets the loss
  // again, and the process's handler must still take it for a box's.
  ~BoxConnection();
  BoxConnection(const BoxConnection&) = delete;
  BoxConnection& operator=(const BoxConnection&) = delete;

  Display* display() const { return display_; }
  bool lost() const { return lost_; }

 private:
  static void on_lost(Display*, void* connection);

  Display* display_ = nullptr;
  bool lost_ = false;
};

// Whether d is the connection of a box now open. Any thread (the X error
// handlers).
bool is_box_connection(Display* d);

// Whether any box connection is open: a box is on the screen, or about to be
// or to go. Any thread.
bool box_connection_open();

}  // namespace ws
