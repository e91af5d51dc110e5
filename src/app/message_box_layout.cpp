#include "app/message_box_layout.h"

#include <algorithm>

#include "screen/page.h"

namespace ws {

namespace {

// Where the box goes when the screen has room beside the main window's usual
// place, the top-left 640 x 480.
constexpr int kBesideX = 640 + 24;
constexpr int kBesideY = 32;
// Room left on the screen for the window manager's frame and panels.
constexpr int kScreenAllowance = 64;

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  return lines;
}

// Keeps of the lines what the box shows (see BoxLayout::lines).
void cut_to_box(BoxLayout& l) {
  size_t shown_lines = 0;
  while (shown_lines < l.lines.size() &&
         kBoxTextMargin + static_cast<int>(shown_lines) * kCellHeight < l.band_top())
    ++shown_lines;
  l.lines.resize(shown_lines);
  for (auto& line : l.lines) {
    size_t shown = 0;
    while (shown < line.size() && kBoxTextMargin + static_cast<int>(shown) * kCellWidth < l.width)
      ++shown;
    line.resize(shown);
  }
}

}  // namespace

int BoxLayout::button_at(int px, int py) const {
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i].contains(px, py)) return static_cast<int>(i);
  return -1;
}

BoxLayout lay_out_box(const std::string& text, BoxKind kind, int screen_width,
                      int screen_height) {
  BoxLayout l;
  l.lines = split_lines(text);
  size_t longest = 0;
  for (const auto& line : l.lines) longest = std::max(longest, line.size());
  const int text_width = static_cast<int>(longest) * kCellWidth;
  const int text_height = static_cast<int>(l.lines.size()) * kCellHeight;

  if (kind == BoxKind::YesNo) {
    l.buttons = {{0, 0, "Yes", BoxAnswer::Yes}, {0, 0, "No", BoxAnswer::No}};
  } else {
    l.buttons = {{0, 0, "OK", BoxAnswer::Ok}};
  }
  l.enter = 0;
  const int count = static_cast<int>(l.buttons.size());
  const int row_width = count * kBoxButtonWidth + (count - 1) * kBoxButtonGap;

  // Never narrower than the button row, nor lower than one text line above
  // the band, however small the screen.
  const int max_width = screen_width - kScreenAllowance;
  const int max_height = screen_height - kScreenAllowance;
  l.width = std::min(
      std::max({kBoxMinWidth, text_width + 2 * kBoxTextMargin, row_width + 2 * kBoxBandPadding}),
      std::max(max_width, row_width + 2 * kBoxBandPadding));
  l.height = std::min(text_height + 2 * kBoxTextMargin + kBoxBandHeight,
                      std::max(max_height, kBoxTextMargin + kCellHeight + kBoxBandHeight));
  cut_to_box(l);

  // The buttons sit at the right of the band.
  int x = l.width - kBoxBandPadding - row_width;
  for (auto& b : l.buttons) {
    b.x = x;
    b.y = l.band_top() + kBoxBandPadding;
    x += kBoxButtonWidth + kBoxButtonGap;
  }

  l.x = kBesideX;
  l.y = kBesideY;
  if (l.x + l.width > screen_width) {
    l.x = std::max(0, (screen_width - l.width) / 2);
    l.y = std::max(0, (screen_height - l.height) / 2);
  }
  return l;
}

}  // namespace ws
