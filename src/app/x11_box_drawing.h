// The report box's look: its colours, and the drawing of its text in the page
// font above a band with its buttons, by its layout (message_box_layout.h).
// Internal to the box (x11_box_window.h).
#pragma once

#include <string>

#include "app/message_box_layout.h"

// Last: X defines macros such as None and Bool.
#include <X11/Xlib.h>

namespace ws {

class BoxPainter {
 public:
  // The colours, from the screen's default colormap.
  BoxPainter(Display* d, int screen);
  BoxPainter(const BoxPainter&) = delete;
  BoxPainter& operator=(const BoxPainter&) = delete;

  // The text area's colour, which the window is cleared to.
  unsigned long background() const;
  // The box's window and its drawing context, once it exists: drawing is
  // into it from then on. The context goes with the window.
  void attach(Window w);
  void detach();
  // The whole box; `pressed` is the button under a held mouse button, or -1.
  void draw(const BoxLayout& layout, int pressed);

 private:
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

  void fill(Colour c, int x, int y, int w, int h);
  void draw_text(int x, int y, const std::string& s);

  Display* d_;
  Window window_ = 0;
  GC gc_ = nullptr;
  unsigned long pixel_[kColourCount] = {};
};

}  // namespace ws
