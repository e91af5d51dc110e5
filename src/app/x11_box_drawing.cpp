#include "app/x11_box_drawing.h"

#include <cstdint>
#include <vector>

#include "screen/font.h"
#include "screen/page.h"

namespace ws {

namespace {

// The colours, 0xRRGGBB, in the order of BoxPainter's Colour.
constexpr uint32_t kRgb[] = {0xFFFFFF, 0x000000, 0xF0F0F0, 0xE1E1E1,
                             0xADADAD, 0x0078D7, 0xCCE4F7};

}  // namespace

// A colour the colormap cannot give is replaced by black for the ink and the
// default button's edge, by white for the rest.
BoxPainter::BoxPainter(Display* d, int screen) : d_(d) {
  static_assert(sizeof kRgb / sizeof kRgb[0] == kColourCount);
  const Colormap colormap = DefaultColormap(d_, screen);
  for (int i = 0; i < kColourCount; ++i) {
    XColor c{};
    c.red = static_cast<unsigned short>(((kRgb[i] >> 16) & 0xFF) * 0x101);
    c.green = static_cast<unsigned short>(((kRgb[i] >> 8) & 0xFF) * 0x101);
    c.blue = static_cast<unsigned short>((kRgb[i] & 0xFF) * 0x101);
    const bool dark = kRgb[i] == 0 || i == kDefaultEdge;
    pixel_[i] = XAllocColor(d_, colormap, &c) != 0 ? c.pixel
                : dark                             ? BlackPixel(d_, screen)
                                                   : WhitePixel(d_, screen);
  }
}

unsigned long BoxPainter::background() const { return pixel_[kTextArea]; }

void BoxPainter::attach(Window w) {
  window_ = w;
  gc_ = XCreateGC(d_, window_, 0, nullptr);
}

void BoxPainter::detach() {
  if (gc_ != nullptr) XFreeGC(d_, gc_);
  gc_ = nullptr;
}

void BoxPainter::fill(Colour c, int x, int y, int w, int h) {
  XSetForeground(d_, gc_, pixel_[c]);
  XFillRectangle(d_, window_, gc_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

// The text in the page font: one rectangle per run of set pixels in a glyph
// row. The layout has cut the lines to the box.
void BoxPainter::draw_text(int x, int y, const std::string& s) {
  std::vector<XRectangle> runs;
  for (size_t i = 0; i < s.size(); ++i) {
    const int cell_x = x + static_cast<int>(i) * kCellWidth;
    const uint8_t* glyph = kPageFont[static_cast<uint8_t>(s[i])];
    for (int row = 0; row < kCellHeight; ++row) {
      const unsigned bits = glyph[row];
      int col = 0;
      while (col < kCellWidth) {
        if ((bits & (0x80u >> col)) == 0) {
          ++col;
          continue;
        }
        const int start = col;
        while (col < kCellWidth && (bits & (0x80u >> col)) != 0) ++col;
        runs.push_back({static_cast<short>(cell_x + start), static_cast<short>(y + row),
                        static_cast<unsigned short>(col - start), 1});
      }
    }
  }
  XSetForeground(d_, gc_, pixel_[kInk]);
  XFillRectangles(d_, window_, gc_, runs.data(), static_cast<int>(runs.size()));
}

void BoxPainter::draw(const BoxLayout& layout, int pressed) {
  const int band_top = layout.band_top();
  fill(kTextArea, 0, 0, layout.width, band_top);
  for (size_t i = 0; i < layout.lines.size(); ++i)
    draw_text(kBoxTextMargin, kBoxTextMargin + static_cast<int>(i) * kCellHeight, layout.lines[i]);

  fill(kBand, 0, band_top, layout.width, kBoxBandHeight);
  for (size_t i = 0; i < layout.buttons.size(); ++i) {
    const BoxButton& b = layout.buttons[i];
    const bool is_default = i == layout.enter;
    const int edge = is_default ? 2 : 1;
    fill(is_default ? kDefaultEdge : kButtonEdge, b.x, b.y, kBoxButtonWidth, kBoxButtonHeight);
    fill(pressed == static_cast<int>(i) ? kPressedFace : kButtonFace, b.x + edge, b.y + edge,
         kBoxButtonWidth - 2 * edge, kBoxButtonHeight - 2 * edge);
    const int label_width = static_cast<int>(b.label.size()) * kCellWidth;
    draw_text(b.x + (kBoxButtonWidth - label_width) / 2, b.y + (kBoxButtonHeight - kCellHeight) / 2,
              b.label);
  }
  XFlush(d_);
}

}  // namespace ws
