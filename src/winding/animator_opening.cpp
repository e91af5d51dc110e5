// Lines 1 to 203 of the animator: the header rows, the three title drawings,
// the two inputs and the quantities derived from them, the two number tables
// and the cross-and-dot marks. One statement per source line, each closed by
// its statement-end check.
#include <atomic>
#include <string_view>

#include "screen/errors.h"
#include "screen/number_input.h"
#include "screen/window_ops.h"
#include "winding/animator.h"

namespace ws {

namespace {

constexpr std::string_view kWindowTitle = "SCHEMES: WAVE, TWO LAYER, FULL PITCH WINDING";
// Row 1: nine blanks under the title drawings, then the credit.
constexpr std::string_view kCreditRow =
    "         Winding scheme of a three-phase, two-layer, full-pitch winding";
constexpr std::string_view kSpeedHint =
    " Change speed: for 2 x speed press (+), for 0,5 x speed press (-) ";
static_assert(kCreditRow.size() == 71 && kCreditRow.find_first_not_of(' ') == 9);
static_assert(kSpeedHint.size() == 66);

using P = PrintItem;

}  // namespace

void Animator::run_opening() {
  auto input_number = [this](std::string_view prompt, Q& target) {
    print_string(rt, prompt, 0);
    input_values(rt, target.storage(), 1);
    if (rt.state.stop_requested.load(std::memory_order_acquire) != 0) park_program_thread(rt);
  };

  // The header rows.
  STMT(1, set_screen_mode(rt, 12));
  STMT(3, (void)0);  // the point arrays exist from the start
  STMT(6, set_resize_mode(rt, 0, 2));
  STMT(9, set_window_title(rt, kWindowTitle));
  STMT(12, locate_cursor(rt, 1, 1));
  STMT(13, set_text_colors(rt, 3));
  STMT(14, print_statement(rt, {P::item(kCreditRow)}));
  STMT(16, set_text_colors(rt, 14));
  STMT(17, locate_cursor(rt, 2, 8));
  STMT(18, print_statement(rt, {P::item(kSpeedHint)}));
  STMT(20, set_text_colors(rt, 15));

  // The wave: a crest, then a trough.
  STMT(22, wave_icon_x = -10);
  STMT(23, line(wave_icon_x + 15, 15, wave_icon_x + 15, 5));
  STMT(24, line(wave_icon_x + 15, 5, wave_icon_x + 20, 1));
  STMT(25, line(wave_icon_x + 20, 1, wave_icon_x + 24, 5));
  STMT(26, line(wave_icon_x + 24, 5, wave_icon_x + 24, 15));
  STMT(27, line(wave_icon_x + 24, 15, wave_icon_x + 29, 19));
  STMT(28, line(wave_icon_x + 29, 19, wave_icon_x + 33, 15));
  STMT(29, line(wave_icon_x + 33, 15, wave_icon_x + 33, 5));
  // The open slot with its two coil sides.
  STMT(32, pole = 27);
  STMT(33, line(pole + 1, 3, pole + 3, 3));
  STMT(34, line(pole + 3, 3, pole + 3, 17));
  STMT(35, line(pole + 3, 17, pole + 11, 17));
  STMT(36, line(pole + 11, 17, pole + 11, 3));
  STMT(37, line(pole + 11, 3, pole + 13, 3));
  STMT(38, circle(pole + 7, 13, 3));
  STMT(39, circle(pole + 7, 7, 3));
  // The pitch: an arch standing on two dotted verticals.
  STMT(43, pole = 15);
  STMT(44, line(pole + 30, 18, pole + 30, 0, 15, kDotted));
  STMT(45, line(pole + 40, 18, pole + 40, 0, 15, kDotted));
  STMT(46, line(pole + 30, 15, pole + 30, 5));
  STMT(47, line(pole + 30, 5, pole + 35, 1));
  STMT(48, line(pole + 35, 1, pole + 40, 5));
  STMT(49, line(pole + 40, 5, pole + 40, 15));

  // The two numbers and what follows from them.
  STMT(52, set_text_colors(rt, 14));
  STMT(54, locate_cursor(rt, 3, 7));
  STMT(55, input_number(" Z=", slot_count));
  STMT(57, locate_cursor(rt, 3, 22));
  STMT(58, input_number(" p'=", pole_count));
  STMT(59, phase_count = 3);
  STMT(60, pole_pitch = slot_count / pole_count);
  STMT(61, slots_per_pole_phase = pole_pitch / phase_count);
  STMT(64, set_text_colors(rt, 11));
  STMT(66, locate_cursor(rt, 3, 37));
  STMT(67, print_statement(rt, {P::item(" y1="), P::zone(), P::num(pole_pitch.value())}));
  STMT(70, locate_cursor(rt, 3, 52));
  STMT(71, print_statement(rt, {P::item(" z="), P::num(pole_pitch.value()), P::zone()}));
  STMT(74, locate_cursor(rt, 3, 67));
  STMT(75, print_statement(rt, {P::item(" m = "), P::num(slots_per_pole_phase.value())}));
  STMT(77, step_delay = 1);
  IF_THEN(81, slots_per_pole_phase == 1, grid_col_offset = 2);
  IF_THEN(82, slots_per_pole_phase == 2, grid_col_offset = 4);
  IF_THEN(83, slots_per_pole_phase == 3, grid_col_offset = 4);
  IF_THEN(84, slots_per_pole_phase == 4, grid_col_offset = 5);
  IF_THEN(85, slots_per_pole_phase == 5, grid_col_offset = 5);
  IF_THEN(86, slots_per_pole_phase == 6, grid_col_offset = 5);
  IF_THEN(87, slots_per_pole_phase == 7, grid_col_offset = 5);
  IF_THEN(88, slots_per_pole_phase == 8, grid_col_offset = 5);
  IF_THEN(91, slots_per_pole_phase == 1, grid_row_offset = 2);
  IF_THEN(92, slots_per_pole_phase == 2, grid_row_offset = 2);
  IF_THEN(93, slots_per_pole_phase == 3, grid_row_offset = 4);
  IF_THEN(94, slots_per_pole_phase == 4, grid_row_offset = -1);
  IF_THEN(95, slots_per_pole_phase == 5, grid_row_offset = 7);
  IF_THEN(96, slots_per_pole_phase == 6, grid_row_offset = 5);
  IF_THEN(97, slots_per_pole_phase == 7, grid_row_offset = 3);
  IF_THEN(98, slots_per_pole_phase == 8, grid_row_offset = 2);
  STMT(101, col_pitch = cint(74 / (pole_count + 1)));
  STMT(102, row_pitch = cint(22 / (pole_pitch + 2)));

  // The number table, one number per step, coloured by band.
  STMT(103, slot_no = 0);
  FOR(105, pole, pole_count + 1) {
    STMT(106, slot_in_pole = 0);
    FOR(107, row_index, pole_pitch) {
      step_clock(108, 109, 110, 112);
      STMT(113, slot_no = slot_no + 1);
      STMT(114, slot_in_pole = slot_in_pole + 1);
      STMT(115, band = fl((slot_in_pole + slots_per_pole_phase - 1) / slots_per_pole_phase));
      IF_THEN(116, band == 1, colour = 15);
      IF_THEN(117, band == 2, colour = 9);
      IF_THEN(118, band == 3, colour = 12);
      STMT(119, text_col = cint(col_pitch / 2) + col_pitch * (pole - 1) + grid_col_offset);
      STMT(120, text_row = cint(row_pitch / 2) + row_pitch * row_index + grid_row_offset +
                           (band - 1) * row_pitch);
      STMT(121, colour_text(colour));
      STMT(124, locate(text_row, text_col));
      IF_THEN(125, slot_no > slot_count, slot_no = slot_no - slot_count);
      STMT(126, print_statement(rt, {P::num(slot_no.value())}));
    }
  }

  // The same table further left, each number with a prime stroke.
  STMT(130, slot_no = 0);
  FOR(131, pole, pole_count + 1) {
    STMT(132, slot_in_pole = 0);
    FOR(133, row_index, pole_pitch) {
      step_clock(134, 135, 136, 138);
      STMT(139, slot_no = slot_no + 1);
      STMT(140, slot_in_pole = slot_in_pole + 1);
      STMT(141, band = fl((slot_in_pole + slots_per_pole_phase - 1) / slots_per_pole_phase));
      IF_THEN(142, band == 1, colour = 15);
      IF_THEN(143, band == 2, colour = 9);
      IF_THEN(144, band == 3, colour = 12);
      STMT(145, text_col = cint(col_pitch / 4) + col_pitch * (pole - 1) + grid_col_offset);
      STMT(146, text_row = cint(row_pitch / 2) + row_pitch * row_index + (band - 1) * row_pitch +
                           grid_row_offset);
      STMT(147, colour_text(colour));
      STMT(148, pixel_x = text_col * 640 / 80 + 2);
      STMT(149, pixel_y = text_row * 480 / 30 - 7);
      STMT(150, locate(text_row, text_col));
      IF_THEN(151, slot_no > slot_count, slot_no = slot_no - slot_count);
      STMT(152, print_statement(rt, {P::num(slot_no.value())}));
      STMT(153, line(pixel_x + 12, pixel_y - 2, pixel_x + 14, pixel_y - 5));
    }
  }

  // The cross-and-dot marks: one above each band of each column.
  IF_THEN(157, slots_per_pole_phase == 1, mark_col_offset = 2);
  IF_THEN(158, slots_per_pole_phase == 2, mark_col_offset = 4);
  IF_THEN(159, slots_per_pole_phase == 3, mark_col_offset = 4);
  IF_THEN(160, slots_per_pole_phase == 4, mark_col_offset = 5);
  IF_THEN(161, slots_per_pole_phase == 5, mark_col_offset = 5);
  IF_THEN(162, slots_per_pole_phase == 6, mark_col_offset = 5);
  IF_THEN(163, slots_per_pole_phase == 7, mark_col_offset = 5);
  IF_THEN(164, slots_per_pole_phase == 8, mark_col_offset = 5);
  IF_THEN(167, slots_per_pole_phase == 1, mark_row_offset = 5);
  IF_THEN(168, slots_per_pole_phase == 2, mark_row_offset = 4);
  IF_THEN(169, slots_per_pole_phase == 3, mark_row_offset = 5);
  IF_THEN(170, slots_per_pole_phase == 4, mark_row_offset = 0);
  IF_THEN(171, slots_per_pole_phase == 5, mark_row_offset = 7);
  IF_THEN(172, slots_per_pole_phase == 6, mark_row_offset = 5);
  IF_THEN(173, slots_per_pole_phase == 7, mark_row_offset = 3);
  IF_THEN(174, slots_per_pole_phase == 8, mark_row_offset = 2);
  STMT(176, slot_no = 0);
  FOR(177, pole, pole_count + 1) {
    FOR(179, row_index, phase_count) {
      step_clock(180, 181, 182, 184);
      STMT(185, slot_no = slot_no + 1);
      IF_THEN(187, row_index == 1, colour = 15);
      IF_THEN(188, row_index == 2, colour = 9);
      IF_THEN(189, row_index == 3, colour = 12);
      STMT(191, text_col = cint(col_pitch * 3 / 8) + col_pitch * (pole - 1) + mark_col_offset);
      STMT(192, text_row = row_pitch * (slots_per_pole_phase + 1) * (row_index - 1) +
                           mark_row_offset);
      STMT(194, colour_text(colour));
      STMT(195, pixel_x = text_col * 640 / 80 + 2);
      STMT(196, pixel_y = text_row * 480 / 30 - 7);
      IF_THEN(197, text_row != 0, locate(text_row, text_col));
      STMT(198, circle(pixel_x, pixel_y, 5, colour));
      IF_BLOCK(199, slot_no != fl(slot_no / 2) * 2) {
        STMT(200, line(pixel_x - 2, pixel_y - 2, pixel_x + 2, pixel_y + 2));
        STMT(201, line(pixel_x - 2, pixel_y + 2, pixel_x + 2, pixel_y - 2));
      } else {
        STMT(203, circle(pixel_x, pixel_y, 1, colour));
      }
    }
  }
}

}  // namespace ws
