// The screen page: pixels (one colour number per pixel), palette, text cursor
// and colours. The frame thread reads the pixels and palette while the program
// thread writes them, without a lock; to keep that well defined the pixels are
// stored as relaxed atomic 64-bit words of eight pixels each (plain moves on
// x86-64), and the palette as relaxed atomic words.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace ws {

// A text cell of the grid, in pixels.
constexpr int kCellWidth = 8;
constexpr int kCellHeight = 16;

// The 16 default colours as 0xAARRGGBB.
extern const std::array<uint32_t, 16> kDefaultPalette;

class ScreenPage {
 public:
  // width must be a multiple of 8.
  ScreenPage(int width, int height);
  ScreenPage(const ScreenPage&) = delete;
  ScreenPage& operator=(const ScreenPage&) = delete;

  // The page record: size, colours, the text view and cursor.
  uint16_t width = 640;
  uint16_t height = 480;
  uint8_t colour_bits = 4;
  uint32_t colour_mask = 15;
  uint16_t mode = 12;
  int32_t foreground = 15;
  uint32_t background = 0;
  int16_t view_top = 1;
  int16_t view_bottom = 29;
  int16_t cursor_col = 1;
  int16_t cursor_row = 1;
  // The cursor stands past the last column, held there until the next print.
  uint8_t hold = 0;
  // Clip rectangle (inclusive), used by the drawing operations.
  int32_t clip_left = 0, clip_top = 0, clip_right = 639, clip_bottom = 479;

  int pixel_count() const { return width * height; }
  int word_count() const { return pixel_count() / 8; }

  uint8_t pixel(int x, int y) const {
    const int i = y * width + x;
    return static_cast<uint8_t>(
        words_[i >> 3].load(std::memory_order_relaxed) >> ((i & 7) * 8));
  }
  // Stores colour AND colour_mask. No bounds check.
  void set_pixel(int x, int y, uint32_t colour) {
    const int i = y * width + x;
    auto& w = words_[i >> 3];
    const int sh = (i & 7) * 8;
    uint64_t v = w.load(std::memory_order_relaxed);
    v = (v & ~(uint64_t{0xFF} << sh)) |
        (uint64_t{colour & colour_mask & 0xFF} << sh);
    w.store(v, std::memory_order_relaxed);
  }
  // Word access: word k holds pixels 8k .. 8k+7, pixel 8k in the lowest byte.
  uint64_t word(int k) const { return words_[k].load(std::memory_order_relaxed); }
  void set_word(int k, uint64_t v) { words_[k].store(v, std::memory_order_relaxed); }

  uint32_t palette(int n) const { return palette_[n].load(std::memory_order_relaxed); }
  void set_palette(int n, uint32_t argb) { palette_[n].store(argb, std::memory_order_relaxed); }
  int palette_size() const { return 1 << colour_bits; }

  // Moves pixel rows [src_row, src_row + rows) to dst_row (either direction).
  void move_pixel_rows(int dst_row, int src_row, int rows);
  // Fills pixel rows [row, row + rows) with one colour.
  void fill_pixel_rows(int row, int rows, uint32_t colour);
  // Copies pixels and palette from a page of the same size.
  void copy_pixels_from(const ScreenPage& other);
  // Copies the record fields (cursor, colours, view, hold flag...).
  void copy_record_from(const ScreenPage& other);

 private:
  std::unique_ptr<std::atomic<uint64_t>[]> words_;
  std::array<std::atomic<uint32_t>, 256> palette_{};
};

// A size in pixels.
struct PixelSize {
  int32_t width = 0, height = 0;
};

// The opening size, 640 x 400: the size of the blank 80 x 25 text screen
// (mode 0) that exists before the animator selects its page. The window opens
// at it, and the presenter takes it (and its shape, 1.6) for the window's
// until the window library reports a size.
inline constexpr PixelSize kOpeningSize{640, 400};

// The page record of a screen mode: mode 12 is the 640 x 480, 16-colour page
// with its 80 x 30 text grid; mode 0 the blank 80 x 25 text screen of the
// opening size that exists before the animator selects its page.
std::unique_ptr<ScreenPage> create_page(int mode);

}  // namespace ws
