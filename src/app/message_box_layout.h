// The report box's layout: where its text, its buttons and the box itself go
// on a screen of a given size. Pure: no X11 call, so that a headless test can
// check it; x11_message_box.cpp draws and places the box by it.
//
// The box is a text area above a band that holds the buttons (Yes and No, or
// OK) at its right. It fits the text, in the page's 8 x 16 cells, and the
// buttons, but not more than the screen less room for the window manager's
// frame and panels: what then does not fit of the text is cut off, the
// buttons stay in view. It goes to the right of the main window's usual place,
// the screen's top-left 640 x 480, when the screen is wide enough for it
// there, else in the middle of the screen.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "screen/message_box.h"

namespace ws {

inline constexpr int kBoxTextMargin = 24;  // around the text block
inline constexpr int kBoxMinWidth = 280;
inline constexpr int kBoxButtonWidth = 88;
inline constexpr int kBoxButtonHeight = 28;
inline constexpr int kBoxButtonGap = 10;
inline constexpr int kBoxBandPadding = 12;  // around the button row
inline constexpr int kBoxBandHeight = kBoxButtonHeight + 2 * kBoxBandPadding;

struct BoxButton {
  int x = 0, y = 0;  // top-left corner in the box
  std::string label;
  BoxAnswer answer;

  bool contains(int px, int py) const {
    return px >= x && px < x + kBoxButtonWidth && py >= y && py < y + kBoxButtonHeight;
  }
};

struct BoxLayout {
  int x = 0, y = 0;  // the box's place on the screen
  int width = 0, height = 0;
  // The text lines as shown, from the top margin: each cut after the last
  // character that starts inside the box, and only the lines that start
  // above the band (the band covers the rest of the last one).
  std::vector<std::string> lines;
  std::vector<BoxButton> buttons;  // left to right
  size_t enter = 0;                // the button Enter takes, drawn as the default

  int band_top() const { return height - kBoxBandHeight; }
  // The button at a point of the box, or -1.
  int button_at(int px, int py) const;
};

// The layout of a box with this text (one line per line feed) and kind on a
// screen of screen_width x screen_height pixels.
BoxLayout lay_out_box(const std::string& text, BoxKind kind, int screen_width,
                      int screen_height);

}  // namespace ws
