#include "screen/text.h"

#include <array>

#include "screen/errors.h"
#include "screen/font.h"
#include "screen/key_codes.h"
#include "screen/number_text.h"
#include "screen/runtime.h"

namespace ws {

namespace {

constexpr int kZoneWidth = 14;
constexpr int kBellMs = 250;

int text_columns(const ScreenPage& page) { return page.width / kCellWidth; }
int text_rows(const ScreenPage& page) { return page.height / kCellHeight; }

// Byte k of entry b is 0xFF where bit (7 - k) of b is set: a glyph row spread
// over one 8-pixel word, leftmost pixel in the lowest byte.
constexpr std::array<uint64_t, 256> kRowMasks = [] {
  std::array<uint64_t, 256> masks{};
  for (int b = 0; b < 256; ++b) {
    for (int k = 0; k < 8; ++k) {
      if (b & (0x80 >> k)) masks[b] |= uint64_t{0xFF} << (k * 8);
    }
  }
  return masks;
}();

uint64_t repeated_colour(const ScreenPage& page, uint32_t colour) {
  return (colour & page.colour_mask & 0xFF) * 0x0101010101010101ULL;
}

}  // namespace

void set_screen_mode(Runtime& rt, int32_t mode) {
  if (error_pending(rt)) return;
  if (mode != 12) {
    raise_runtime_error(rt, kIllegalFunctionCall);
    return;
  }
  if (rt.pages.page().mode == mode) {
    // The page stays; the next frame is built whether or not it changed.
    rt.pages.frame_valid.store(false, std::memory_order_release);
    return;
  }
  // A stop request while the change waits for the frame thread parks here.
  if (!rt.pages.replace_page(create_page(mode),
                             rt.state.frame_thread_running.load(std::memory_order_acquire),
                             rt.clock, rt.state.stop_requested))
    park_program_thread(rt);
}

void set_text_colors(Runtime& rt, int32_t foreground) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  if (static_cast<uint32_t>(foreground) >= static_cast<uint32_t>(page.palette_size())) {
    raise_runtime_error(rt, kIllegalFunctionCall);
    return;
  }
  page.foreground = foreground;
}

void locate_cursor(Runtime& rt, int32_t row, int32_t column) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  // The row below the text view (the last one) may be placed on as well.
  const bool row_ok =
      row >= page.view_top && (row <= page.view_bottom || row == text_rows(page));
  const bool column_ok = column >= 1 && column <= text_columns(page);
  if (!row_ok || !column_ok) {
    raise_runtime_error(rt, kIllegalFunctionCall);
    return;
  }
  page.cursor_row = static_cast<int16_t>(row);
  page.cursor_col = static_cast<int16_t>(column);
  page.hold = 0;
}

void fit_print_item(Runtime& rt, std::string_view item) {
  const ScreenPage& page = rt.pages.write_page();
  if (page.hold != 0 || page.cursor_col == 1) return;
  const int64_t end_x = int64_t{page.cursor_col - 1} * kCellWidth +
                        static_cast<int64_t>(item.size()) * kCellWidth;
  if (end_x > page.width) start_new_line(rt);
}

void print_string(Runtime& rt, std::string_view text, int line_end) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  if (page.hold != 0) {
    if (!text.empty()) {
      page.hold = 0;
      start_new_line(rt);
    } else if (line_end != 0) {
      page.hold = 0;
    }
  }
  const int columns = text_columns(page);
  bool wrapped = false;
  for (size_t i = 0; i < text.size(); ++i) {
    wrapped = false;
    const auto c = static_cast<uint8_t>(text[i]);
    if (c == kBell) {
      rt.clock.sleep_ms(kBellMs);
      continue;
    }
    if (is_silent_control(c)) continue;
    draw_glyph(rt, c);
    if (++page.cursor_col > columns) {
      if (i + 1 == text.size() && line_end == 0) {
        page.cursor_col = static_cast<int16_t>(columns);
        page.hold = 1;
      } else {
        start_new_line(rt);
        wrapped = true;
      }
    }
  }
  if (line_end != 0 && !wrapped) start_new_line(rt);
}

void advance_print_zone(Runtime& rt) {
  ScreenPage& page = rt.pages.write_page();
  if (page.hold != 0) {
    start_new_line(rt);
    page.hold = 0;
    return;
  }
  const int columns = text_columns(page);
  const int last_zone = columns - kZoneWidth + 1;  // 67: no zone starts after it
  for (;;) {
    // print_string does nothing while an error is pending: the cursor would
    // never reach a zone.
    if (error_pending(rt)) return;
    print_string(rt, " ", 0);
    const int col = page.cursor_col;
    if (col == 1 || ((col - 1) % kZoneWidth == 0 && col <= last_zone) || col >= columns) return;
  }
}

void set_text_view(Runtime& rt, int32_t top, int32_t bottom) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  const int rows = text_rows(page);
  if (top < 1 || top > rows || bottom < top || bottom > rows) {
    raise_runtime_error(rt, kIllegalFunctionCall);
    return;
  }
  page.view_top = static_cast<int16_t>(top);
  page.view_bottom = static_cast<int16_t>(bottom);
  page.cursor_row = static_cast<int16_t>(top);
  page.cursor_col = 1;
  page.hold = 0;
}

void start_new_line(Runtime& rt) {
  ScreenPage& page = rt.pages.write_page();
  page.cursor_col = 1;
  if (++page.cursor_row <= page.view_bottom) return;
  // Scroll the text view up one row: its top row is lost, its bottom row
  // cleared. Drawings move with the text; rows outside the view stay.
  const int top = page.view_top, bottom = page.view_bottom;
  page.move_pixel_rows((top - 1) * kCellHeight, top * kCellHeight, (bottom - top) * kCellHeight);
  page.fill_pixel_rows((bottom - 1) * kCellHeight, kCellHeight, page.background);
  page.cursor_row = static_cast<int16_t>(bottom);
}

void draw_glyph(Runtime& rt, uint8_t code) {
  ScreenPage& page = rt.pages.write_page();
  const int col = page.cursor_col, row = page.cursor_row;
  if (col < 1 || col > text_columns(page) || row < 1 || row > text_rows(page)) return;
  const uint64_t fg = repeated_colour(page, static_cast<uint32_t>(page.foreground));
  const uint64_t bg = repeated_colour(page, page.background);
  const int words_per_row = page.width / 8;
  // Cells are 8 pixels wide and start on a multiple of 8: one word per glyph row.
  int k = (row - 1) * kCellHeight * words_per_row + (col - 1);
  for (int r = 0; r < kCellHeight; ++r, k += words_per_row) {
    const uint64_t mask = kRowMasks[kPageFont[code][r]];
    page.set_word(k, (fg & mask) | (bg & ~mask));
  }
}

void print_statement(Runtime& rt, std::initializer_list<PrintItem> items) {
  bool zone_last = false;
  for (const PrintItem& item : items) {
    if (error_pending(rt)) return;
    zone_last = item.kind == PrintItem::Kind::Zone;
    if (zone_last) {
      advance_print_zone(rt);
      continue;
    }
    std::string number;
    std::string_view text = item.text;
    if (item.kind == PrintItem::Kind::Number) {
      number = single_to_text(item.number);
      number += ' ';  // at most 14 characters: no allocation
      text = number;
    }
    fit_print_item(rt, text);
    print_string(rt, text, 0);
  }
  if (!zone_last && !error_pending(rt)) print_string(rt, {}, 1);
}

}  // namespace ws
