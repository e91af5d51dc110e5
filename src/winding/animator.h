// The winding scheme animator: one procedure of numbered statements that asks
// for the two numbers, derives the layout and draws the winding diagram step
// by step. Lines 1 to 203 are in animator_opening.cpp (header, title
// drawings, inputs, number tables, marks), lines 209 to 511 in
// animator_phases.cpp (the phase paths and the finale).
#pragma once

#include <string>

#include "screen/drawing.h"
#include "screen/key_poll.h"
#include "screen/text.h"
#include "winding/statement.h"

namespace ws {

class Animator : public Procedure {
 public:
  explicit Animator(Runtime& rt) : Procedure(rt) {}

  // Lines 1 to 203.
  void run_opening();
  // Lines 209 to 511; ends in the end prompt and does not return normally.
  void run_phases();

  // The step clock: poll a key, '-' doubles step_delay, '+' halves it, pause.
  void step_clock(int32_t poll_line, int32_t minus_line, int32_t plus_line, int32_t pause_line) {
    STMT(poll_line, last_key = poll_key(rt));
    IF_THEN(minus_line, strings_equal(last_key, char_to_string(rt, 45)) != 0,
            step_delay = step_delay + step_delay);
    IF_THEN(plus_line, strings_equal(last_key, char_to_string(rt, 43)) != 0,
            step_delay = step_delay / 2);
    STMT(pause_line, delay_seconds(rt, static_cast<double>(static_cast<Real>(step_delay))));
  }

  // The quantity store; public so that tests can read what the run left.
  Q wave_icon_x, pole, slot_count, pole_count, phase_count, pole_pitch, slots_per_pole_phase;
  Q step_delay, grid_col_offset, grid_row_offset, col_pitch, row_pitch;
  Q slot_no, slot_in_pole, row_index, band, colour, text_col, text_row, pixel_x, pixel_y;
  Q mark_col_offset, mark_row_offset;
  Q phase, phase_start_row, phase_pole_shift, circle_radius, band_slot, last_slot_shift,
      lower_layer;
  Q conn_x1, conn_y1, conn_x2, conn_y2, conn_mid_x, conn_mid_y, bend_height, turn_x2, turn_mid_x;
  Q mirror_pole, mirror_base, mirror_row;
  PointArray circle_x{rt}, circle_y{rt}, wrap_x{rt}, wrap_y{rt};
  std::string last_key;

 protected:
  // Drawing with the argument roundings of the statement model: line
  // coordinates to single precision, circle centre and radius to double,
  // colours through round_to_int64.
  void line(Real x1, Real y1, Real x2, Real y2) { draw_line(rt, f(x1), f(y1), f(x2), f(y2)); }
  void line(Real x1, Real y1, Real x2, Real y2, Real colour_number) {
    draw_line(rt, f(x1), f(y1), f(x2), f(y2), rnd(colour_number));
  }
  void line(Real x1, Real y1, Real x2, Real y2, Real colour_number, int32_t style) {
    draw_line(rt, f(x1), f(y1), f(x2), f(y2), rnd(colour_number), style);
  }
  void circle(Real x, Real y, Real r) { draw_circle(rt, d(x), d(y), d(r)); }
  void circle(Real x, Real y, Real r, Real colour_number) {
    draw_circle(rt, d(x), d(y), d(r), rnd(colour_number));
  }
  // The cursor, the column expression evaluated first.
  void locate(Real row, Real column) {
    const int32_t c = rnd(column);
    const int32_t r = rnd(row);
    locate_cursor(rt, r, c);
  }
  void colour_text(Real foreground) { set_text_colors(rt, rnd(foreground)); }

  static float f(Real x) { return static_cast<float>(x); }
  static double d(Real x) { return static_cast<double>(x); }
  // The 16-bit styles as the animator passes them, sign-extended.
  static constexpr int32_t kDotted = static_cast<int16_t>(0x8888);
  static constexpr int32_t kDashed = static_cast<int16_t>(0xFF00);
};

// The animator procedure, run once on the program thread: sets the x87 unit
// to extended precision, installs the arithmetic-signal handler and runs
// lines 1 to 511. It does not return normally (the end prompt parks).
void animate_winding_scheme(Runtime& rt);

}  // namespace ws
