// The text operations on the page: screen mode, colours, cursor, printing.
// All run on the program thread and do nothing while an error is pending,
// except where a comment says otherwise. The only error they raise is 5.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace ws {

struct Runtime;
class ScreenPage;

// Mode 12: the 640 x 480, 16-colour page with its 80 x 30 text grid, made
// current under the display lock.
void set_screen_mode(Runtime& rt, int32_t mode);
void set_text_colors(Runtime& rt, int32_t foreground);
void locate_cursor(Runtime& rt, int32_t row, int32_t column);
// No pending-error test: the print statement does not call it then.
void fit_print_item(Runtime& rt, std::string_view item);
void print_string(Runtime& rt, std::string_view text, int line_end);
// No pending-error test: the print statement does not call it then.
void advance_print_zone(Runtime& rt);
void set_text_view(Runtime& rt, int32_t top, int32_t bottom);
void start_new_line(Runtime& rt);
void draw_glyph(Runtime& rt, uint8_t code);
// Unchecked pixel write of colour AND 15.
inline void plot_pixel(ScreenPage& page, int x, int y, uint32_t colour);

// One item of a print statement: a literal text, a number item (the number's
// text and one blank) or a zone advance after the item before it.
struct PrintItem {
  enum class Kind { Text, Number, Zone };
  Kind kind;
  std::string_view text;
  float number = 0.0f;

  static PrintItem item(std::string_view t) { return {Kind::Text, t, 0.0f}; }
  static PrintItem num(float x) { return {Kind::Number, {}, x}; }
  static PrintItem zone() { return {Kind::Zone, {}, 0.0f}; }
};

// A print statement: the items in order, then a line end unless the last
// element is a zone advance. Stops outputting as soon as an error is pending.
void print_statement(Runtime& rt, std::initializer_list<PrintItem> items);

}  // namespace ws

#include "screen/page.h"

inline void ws::plot_pixel(ScreenPage& page, int x, int y, uint32_t colour) {
  page.set_pixel(x, y, colour);
}
