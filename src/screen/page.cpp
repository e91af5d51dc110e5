#include "screen/page.h"

#include <cstring>

namespace ws {

const std::array<uint32_t, 16> kDefaultPalette = {
    0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA,
    0xFFAA5500, 0xFFAAAAAA, 0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF,
    0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF};

ScreenPage::ScreenPage(int w, int h)
    : width(static_cast<uint16_t>(w)),
      height(static_cast<uint16_t>(h)),
      words_(new std::atomic<uint64_t>[static_cast<size_t>(w) * h / 8]) {
  for (int k = 0; k < word_count(); ++k) words_[k].store(0, std::memory_order_relaxed);
  for (auto& p : palette_) p.store(0, std::memory_order_relaxed);
  clip_right = w - 1;
  clip_bottom = h - 1;
}

void ScreenPage::move_pixel_rows(int dst_row, int src_row, int rows) {
  const int per_row = width / 8;
  const int dst = dst_row * per_row, src = src_row * per_row, n = rows * per_row;
  if (dst < src) {
    for (int k = 0; k < n; ++k) set_word(dst + k, word(src + k));
  } else {
    for (int k = n - 1; k >= 0; --k) set_word(dst + k, word(src + k));
  }
}

void ScreenPage::fill_pixel_rows(int row, int rows, uint32_t colour) {
  const uint64_t byte = colour & colour_mask & 0xFF;
  const uint64_t v = byte * 0x0101010101010101ULL;
  const int per_row = width / 8;
  for (int k = row * per_row; k < (row + rows) * per_row; ++k) set_word(k, v);
}

void ScreenPage::copy_pixels_from(const ScreenPage& other) {
  for (int k = 0; k < word_count(); ++k) set_word(k, other.word(k));
  for (int n = 0; n < 256; ++n) set_palette(n, other.palette(n));
}

void ScreenPage::copy_record_from(const ScreenPage& o) {
  mode = o.mode;
  foreground = o.foreground;
  background = o.background;
  view_top = o.view_top;
  view_bottom = o.view_bottom;
  cursor_col = o.cursor_col;
  cursor_row = o.cursor_row;
  hold = o.hold;
}

std::unique_ptr<ScreenPage> create_page(int mode) {
  std::unique_ptr<ScreenPage> page;
  if (mode == 12) {
    page = std::make_unique<ScreenPage>(640, 480);
    page->mode = 12;
    page->colour_bits = 4;
    page->colour_mask = 15;
    page->view_bottom = 480 / 16 - 1;
  } else {
    page = std::make_unique<ScreenPage>(kOpeningSize.width, kOpeningSize.height);
    page->mode = 0;
    page->colour_bits = 4;
    page->colour_mask = 15;
    page->view_bottom = 25;
    page->foreground = 7;
  }
  for (int n = 0; n < 16; ++n) page->set_palette(n, kDefaultPalette[n]);
  return page;
}

}  // namespace ws
