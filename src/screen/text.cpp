#include "screen/text.h"

#include "screen/runtime.h"

namespace ws {
void set_screen_mode(Runtime&, int32_t) {}
void set_text_colors(Runtime&, int32_t) {}
void locate_cursor(Runtime&, int32_t, int32_t) {}
void fit_print_item(Runtime&, std::string_view) {}
void print_string(Runtime&, std::string_view, int) {}
void advance_print_zone(Runtime&) {}
void set_text_view(Runtime&, int32_t, int32_t) {}
void start_new_line(Runtime&) {}
void draw_glyph(Runtime&, uint8_t) {}
void print_statement(Runtime&, std::initializer_list<PrintItem>) {}
}  // namespace ws
