// Lines 209 to 511 of the animator: the phase paths U, V and W and the finale.
//
// Each pass of the phase loop prints the previous phase's end label and the
// current phase's start label, then draws the phase's path: the forward half
// from left to right along the q rows of its band, the turn at the right (for
// W at the left), and the return half from right to left with the band's rows
// taken from the bottom up. Phase W stands one column further right than U and
// V; what of it runs past the last table column is drawn a second time,
// shifted left by pole_count columns, so that its path also enters the diagram
// at the left. Every step ends with the step clock.
//
// One statement per source line, with the line numbers the error report
// shows; the labels keep the numbers the jumps go by (888, 877, ...).
#include <string_view>

#include "screen/end_prompt.h"
#include "winding/animator.h"

namespace ws {

namespace {

// The 66 blanks that erase the speed hint on row 2.
constexpr std::string_view kHintBlanks =
    "                                                                  ";
static_assert(kHintBlanks.size() == 66);

}  // namespace

void Animator::run_phases() {
  Q& q = slots_per_pole_phase;

  // ---- Phase loop and start labels -------------------------------------
  STMT(209, colour_text(15));
  STMT(210, step_delay = 1);
  STMT(211, row_index = 1);
  FOR(212, phase, 3) {
    IF_BLOCK(213, phase == 1) {
      STMT(214, phase_start_row = 1);
      STMT(215, text_col = cint(col_pitch / 2) + grid_col_offset);
      STMT(216, text_row = cint(row_pitch / 2) + row_pitch * row_index + grid_row_offset);
      STMT(217, locate(text_row - 1, text_col - 1));
      STMT(218, colour_text(15));
      STMT(219, print_statement(rt, {PrintItem::item("U1")}));
      STMT(220, phase_pole_shift = 0);
      STMT(221, colour = 15);
    }
    IF_BLOCK(224, phase == 2) {
      STMT(225, locate(text_row - 1, text_col + 4));
      STMT(226, colour_text(7));
      STMT(227, print_statement(rt, {PrintItem::item("U2")}));
      STMT(228, colour = 12);
      STMT(229, phase_start_row = 2 * (q + 1) + 1);
      STMT(230, phase_pole_shift = 0);
      STMT(231, text_col = cint(col_pitch / 2) + grid_col_offset);
      STMT(232, text_row = cint(row_pitch / 2) + row_pitch * phase_start_row + grid_row_offset);
      STMT(233, locate(text_row - 1, text_col - 1));
      STMT(234, colour_text(12));
      STMT(235, print_statement(rt, {PrintItem::item("V1")}));
    }
    IF_BLOCK(237, phase == 3) {
      STMT(238, locate(text_row - 1, text_col + 4));
      STMT(239, colour_text(4));
      STMT(240, print_statement(rt, {PrintItem::item("V2")}));
      STMT(241, colour = 9);
      STMT(242, phase_pole_shift = 1);
      STMT(243, phase_start_row = q + 2);
      STMT(244, text_col = cint(col_pitch / 2) + col_pitch * phase_pole_shift + grid_col_offset);
      STMT(245, text_row = cint(row_pitch / 2) + row_pitch * phase_start_row + grid_row_offset);
      STMT(246, locate(text_row - 1, text_col - 1));
      STMT(247, colour_text(9));
      STMT(248, print_statement(rt, {PrintItem::item("W1")}));
    }
    STMT(250, circle_radius = 15);

    // ---- Forward half: left to right, one circle per column --------------
    FOR(254, band_slot, q) {
      STMT(255, row_index = row_index + 1);
      IF_THEN(256, all({band_slot == 1, phase == 1}), row_index = phase_start_row);
      IF_THEN(257, all({band_slot == 1, phase == 2}), row_index = phase_start_row);
      IF_THEN(258, all({band_slot == 1, phase == 3}), row_index = phase_start_row);
      FOR(259, pole, pole_count + 1) {
        // The last step of the last band slot stands in column pole_count.
        IF_BLOCK(260, all({pole == pole_count + 1, band_slot == q})) {
          STMT(261, pole = pole - 1);
          STMT(262, last_slot_shift = 1);
        } else {
          STMT(264, pole = pole);
          STMT(265, last_slot_shift = 0);
        }
        // Even columns lie on the lower layer, a quarter pitch further left.
        IF_BLOCK(267, pole == fl(pole / 2) * 2) {
          STMT(268, lower_layer = 1);
        } else {
          STMT(270, lower_layer = 0);
        }
        IF_THEN(272, pole == 1, lower_layer = 0);
        STMT(273, text_col = cint(col_pitch / 2) + col_pitch * (pole - 1 + phase_pole_shift) +
                             grid_col_offset - lower_layer * col_pitch / 4);
        IF_THEN(274, last_slot_shift == 1, pole = pole + 1);
        // Column pole_count + 1 goes one row down, except in the last step.
        IF_THEN(275, pole == pole_count + 1, row_index = row_index + 1);
        IF_THEN(276, all({pole == pole_count + 1, band_slot == q}), row_index = row_index - 1);
        STMT(277, text_row = cint(row_pitch / 2) + row_pitch * row_index + grid_row_offset);
        IF_THEN(278, pole == pole_count + 1, row_index = row_index - 1);
        IF_THEN(279, all({pole == pole_count + 1, band_slot == q}), row_index = row_index + 1);
        STMT(280, circle_x(pole) = text_col * 640 / 80 + 5);
        STMT(281, circle_y(pole) = text_row * 480 / 30 - 7);
        STMT(282, circle(circle_x(pole), circle_y(pole), circle_radius, colour));
        IF_BLOCK(283, pole != fl(pole / 2) * 2) {
          // Into an odd column: dashed up to a bend point above the middle,
          // solid on to the circle.
          IF_BLOCK(284, circle_x(pole - 1) != 0) {
            STMT(285, conn_x1 = circle_x(pole - 1) + 15);
            STMT(286, conn_y1 = circle_y(pole - 1));
            STMT(287, conn_x2 = circle_x(pole) - 15);
            STMT(288, conn_y2 = circle_y(pole));
            STMT(289, conn_mid_x = conn_x1 + (conn_x2 - conn_x1) / 2);
            STMT(290, conn_mid_y = conn_y1 + (conn_y2 - conn_y1) / 2);
            GOTO_IF(291, all({pole == pole_count + 1, band_slot == q}), label_888);
            STMT(292, bend_height = row_pitch * 480 / 60);
            IF_THEN(293, pole == pole_count + 1, bend_height = 0);
            GOTO_IF(294, conn_x2 < 0, label_888);
            GOTO_IF(295, conn_x2 > 640, label_888);
            STMT(296,
                 line(conn_x1, conn_y1, conn_mid_x, conn_mid_y - bend_height, colour, kDashed));
            STMT(297, circle(conn_mid_x, conn_mid_y - bend_height, 2, colour));
            STMT(298, line(conn_mid_x, conn_mid_y - bend_height, conn_x2, conn_y2, colour));
            LABEL(299, label_888);
          }
        } else {
          // Into an even column: a straight arrow pointing right.
          STMT(301, conn_x1 = circle_x(pole - 1) + col_pitch * 640 / 400);
          STMT(302, conn_y1 = circle_y(pole - 1));
          STMT(303, conn_x2 = circle_x(pole) - col_pitch * 640 / 400);
          STMT(304, conn_y2 = circle_y(pole));
          GOTO_IF(305, conn_x2 < 0, label_877);
          GOTO_IF(306, conn_x1 > 640, label_877);
          STMT(307, line(conn_x1, conn_y1, conn_x2, conn_y2, colour));
          STMT(308, line(conn_x2 - 8, conn_y2 - 4, conn_x2, conn_y2, colour));
          STMT(309, line(conn_x2 - 8, conn_y2 + 4, conn_x2, conn_y2, colour));
          LABEL(310, label_877);
        }
        step_clock(311, 312, 313, 315);

        // ---- Phase W, forward copy: the last two columns again at the left
        IF_BLOCK(316, all({phase == 3, pole == pole_count})) {
          STMT(317, text_col = text_col - col_pitch * pole_count);
          STMT(318, circle_x(pole) = text_col * 640 / 80 + 5);
          STMT(319, circle(circle_x(pole), circle_y(pole), circle_radius, colour));
          STMT(320, text_col = text_col + col_pitch * pole_count);
          STMT(321, circle_x(pole) = text_col * 640 / 80 + 5);
        }
        IF_BLOCK(324, all({phase == 3, pole == pole_count + 1})) {
          STMT(325, text_col = text_col - col_pitch * pole_count);
          IF_THEN(326, last_slot_shift == 1, pole = pole + 1);
          IF_THEN(327, pole == pole_count + 1, row_index = row_index + 1);
          IF_THEN(328, all({pole == pole_count + 1, band_slot == q}), row_index = row_index - 1);
          STMT(329, text_row = cint(row_pitch / 2) + row_pitch * row_index + grid_row_offset);
          IF_THEN(330, pole == pole_count + 1, row_index = row_index - 1);
          IF_THEN(331, all({pole == pole_count + 1, band_slot == q}), row_index = row_index + 1);
          STMT(332, circle_x(pole) = text_col * 640 / 80 + 5);
          STMT(333, circle_y(pole) = text_row * 480 / 30 - 7);
          STMT(334, circle(circle_x(pole), circle_y(pole), circle_radius, colour));
          IF_BLOCK(335, circle_x(pole - 1) != 0) {
            STMT(336, conn_x1 = circle_x(pole - 1) + 15 - col_pitch * pole_count * 640 / 80);
            STMT(337, conn_y1 = circle_y(pole - 1));
            STMT(338, conn_x2 = circle_x(pole) - 15);
            STMT(339, conn_y2 = circle_y(pole));
            STMT(340, conn_mid_x = conn_x1 + (conn_x2 - conn_x1) / 2);
            STMT(341, conn_mid_y = conn_y1 + (conn_y2 - conn_y1) / 2);
            GOTO_IF(342, all({pole == pole_count + 2, band_slot == q}), label_889);
            GOTO_IF(343, conn_x2 < 0, label_889);
            GOTO_IF(344, conn_x1 > 640, label_889);
            STMT(345, line(conn_x1, conn_y1, conn_mid_x, conn_mid_y, colour, kDashed));
            STMT(346, circle(conn_mid_x, conn_mid_y, 2, colour));
            STMT(347, line(conn_mid_x, conn_mid_y, conn_x2, conn_y2, colour));
            LABEL(348, label_889);
          }
        }
      }
    }

    // ---- Turn: dashed in the forward colour, solid in the return colour --
    STMT(354, turn_x2 = conn_x2 + col_pitch * 640 / 80);
    STMT(355, conn_x2 = conn_x2 + 30);
    STMT(356, turn_mid_x = conn_x1 + (turn_x2 - conn_x1) / 2);
    STMT(357, line(conn_x2, conn_y2, turn_mid_x, conn_y2 + bend_height, colour, kDashed));
    STMT(358, circle(turn_mid_x, conn_y2 + bend_height, 3, colour));
    IF_THEN(359, phase == 1, colour = 7);
    IF_THEN(360, phase == 2, colour = 4);
    IF_THEN(361, phase == 3, colour = 1);
    STMT(362, line(turn_mid_x, conn_y2 + bend_height, turn_x2, conn_y2, colour));
    STMT(363, colour_text(colour));

    // ---- Return half: right to left, the band's rows from the bottom up --
    FOR(367, band_slot, q) {
      STMT(368, row_index = row_index + 1);
      IF_THEN(369, all({band_slot == 1, phase == 1}), row_index = phase_start_row);
      IF_THEN(370, all({band_slot == 1, phase == 2}), row_index = phase_start_row);
      IF_THEN(371, all({band_slot == 1, phase == 3}), row_index = phase_start_row);
      FOR(373, pole, pole_count + 1) {
        IF_BLOCK(374, all({pole == pole_count + 1, band_slot == q})) {
          STMT(375, pole = pole - 1);
          STMT(376, last_slot_shift = 1);
        } else {
          STMT(378, pole = pole);
          STMT(379, last_slot_shift = 0);
        }
        STMT(381, mirror_pole = pole_count + 2 - pole);
        // Odd poles lie on the lower layer here, and so does column 1.
        IF_BLOCK(382, pole != fl(pole / 2) * 2) {
          STMT(383, lower_layer = 1);
        } else {
          STMT(385, lower_layer = 0);
        }
        IF_THEN(387, mirror_pole == 1, lower_layer = 1);
        STMT(388, text_col = cint(col_pitch / 2) +
                             col_pitch * (mirror_pole - 1 + phase_pole_shift) + grid_col_offset -
                             lower_layer * col_pitch / 4);
        IF_THEN(389, last_slot_shift == 1, pole = pole + 1);
        // The last column goes one row up (row_index one more, mirrored).
        IF_THEN(390, pole == pole_count + 1, row_index = row_index + 1);
        IF_THEN(391, all({pole == pole_count + 1, band_slot == q}), row_index = row_index - 1);
        STMT(392, mirror_base = phase_start_row + phase_start_row + q - 1);
        STMT(393, mirror_row = mirror_base - row_index);
        STMT(394, text_row = cint(row_pitch / 2) + row_pitch * mirror_row + grid_row_offset);
        IF_THEN(395, pole == pole_count + 1, row_index = row_index - 1);
        IF_THEN(396, all({pole == pole_count + 1, band_slot == q}), row_index = row_index + 1);
        STMT(397, circle_x(pole) = text_col * 640 / 80 + 5);
        STMT(398, circle_y(pole) = text_row * 480 / 30 - 7);
        // No cursor placement here: nothing is printed at the circles, and a
        // placement at row pole would fail for every pole above 30.
        STMT(400, circle(circle_x(pole), circle_y(pole), circle_radius, colour));
        IF_BLOCK(401, pole != fl(pole / 2) * 2) {
          // Solid from the previous circle down to a bend point below the
          // middle, dashed on to this circle.
          IF_BLOCK(402, circle_x(pole - 1) != 0) {
            STMT(403, conn_x1 = circle_x(pole - 1) - 15);
            STMT(404, conn_y1 = circle_y(pole - 1));
            STMT(405, conn_x2 = circle_x(pole) + 15);
            STMT(406, conn_y2 = circle_y(pole));
            STMT(407, conn_mid_x = conn_x1 + (conn_x2 - conn_x1) / 2);
            STMT(408, conn_mid_y = conn_y1 + (conn_y2 - conn_y1) / 2);
            GOTO_IF(409, all({pole == pole_count + 1, band_slot == q}), label_588);
            STMT(410, bend_height = -row_pitch * 480 / 60);
            IF_THEN(411, pole == pole_count + 1, bend_height = 0);
            GOTO_IF(412, conn_x2 < 0, label_588);
            GOTO_IF(413, conn_x1 > 640, label_588);
            STMT(414, line(conn_x1, conn_y1, conn_mid_x, conn_mid_y - bend_height, colour));
            STMT(415, circle(conn_mid_x, conn_mid_y - bend_height, 2, colour));
            STMT(416,
                 line(conn_mid_x, conn_mid_y - bend_height, conn_x2, conn_y2, colour, kDashed));
            LABEL(417, label_588);
          }
        } else {
          // A straight arrow pointing left.
          STMT(419, conn_x1 = circle_x(pole - 1) - col_pitch * 640 / 400);
          STMT(420, conn_y1 = circle_y(pole - 1));
          STMT(421, conn_x2 = circle_x(pole) + col_pitch * 640 / 400);
          STMT(422, conn_y2 = circle_y(pole));
          GOTO_IF(423, conn_x2 < 0, label_558);
          GOTO_IF(424, conn_x1 > 640, label_558);
          STMT(425, line(conn_x1, conn_y1, conn_x2, conn_y2, colour));
          STMT(426, line(conn_x2 + 8, conn_y2 - 4, conn_x2, conn_y2, colour));
          STMT(427, line(conn_x2 + 8, conn_y2 + 4, conn_x2, conn_y2, colour));
          LABEL(428, label_558);
        }
        step_clock(429, 430, 431, 433);

        // ---- Phase W, return copy: every step again, pole_count columns left
        IF_BLOCK(436, phase == 3) {
          IF_BLOCK(437, all({pole == pole_count + 1, band_slot == q})) {
            STMT(438, pole = pole - 1);
            STMT(439, last_slot_shift = 1);
          } else {
            STMT(441, pole = pole);
            STMT(442, last_slot_shift = 0);
          }
          STMT(444, mirror_pole = pole_count + 2 - pole);
          IF_BLOCK(445, pole != fl(pole / 2) * 2) {
            STMT(446, lower_layer = 1);
          } else {
            STMT(448, lower_layer = 0);
          }
          IF_THEN(450, mirror_pole == 1, lower_layer = 1);
          STMT(451, text_col = cint(col_pitch / 2) +
                               col_pitch * (mirror_pole - 1 + phase_pole_shift) + grid_col_offset -
                               col_pitch * pole_count - lower_layer * col_pitch / 4);
          IF_THEN(452, last_slot_shift == 1, pole = pole + 1);
          IF_THEN(453, pole == pole_count + 1, row_index = row_index + 1);
          IF_THEN(454, all({pole == pole_count + 1, band_slot == q}), row_index = row_index - 1);
          STMT(455, mirror_base = phase_start_row + phase_start_row + q - 1);
          STMT(456, mirror_row = mirror_base - row_index);
          STMT(457, text_row = cint(row_pitch / 2) + row_pitch * mirror_row + grid_row_offset);
          IF_THEN(458, pole == pole_count + 1, row_index = row_index - 1);
          IF_THEN(459, all({pole == pole_count + 1, band_slot == q}), row_index = row_index + 1);
          STMT(460, wrap_x(pole) = text_col * 640 / 80 + 5);
          STMT(461, wrap_y(pole) = text_row * 480 / 30 - 7);
          STMT(462, circle(wrap_x(pole), wrap_y(pole), circle_radius, colour));
          IF_BLOCK(463, pole != fl(pole / 2) * 2) {
            IF_BLOCK(464, wrap_x(pole - 1) != 0) {
              STMT(465, conn_x1 = wrap_x(pole - 1) - 15);
              STMT(466, conn_y1 = wrap_y(pole - 1));
              STMT(467, conn_x2 = wrap_x(pole) + 15);
              STMT(468, conn_y2 = wrap_y(pole));
              STMT(469, conn_mid_x = conn_x1 + (conn_x2 - conn_x1) / 2);
              STMT(470, conn_mid_y = conn_y1 + (conn_y2 - conn_y1) / 2);
              GOTO_IF(471, all({pole == pole_count + 1, band_slot == q}), label_388);
              STMT(472, bend_height = -row_pitch * 480 / 60);
              IF_THEN(473, pole == pole_count + 1, bend_height = 0);
              GOTO_IF(474, conn_x2 < 0, label_388);
              GOTO_IF(475, conn_x1 > 640, label_388);
              STMT(476, line(conn_x1, conn_y1, conn_mid_x, conn_mid_y - bend_height, colour));
              STMT(477, circle(conn_mid_x, conn_mid_y - bend_height, 2, colour));
              STMT(478, line(conn_mid_x, conn_mid_y - bend_height, conn_x2, conn_y2, colour,
                             kDashed));
              LABEL(479, label_388);
            }
          } else {
            STMT(481, conn_x1 = wrap_x(pole - 1) - col_pitch * 640 / 400);
            STMT(482, conn_y1 = wrap_y(pole - 1));
            STMT(483, conn_x2 = wrap_x(pole) + col_pitch * 640 / 400);
            STMT(484, conn_y2 = wrap_y(pole));
            GOTO_IF(485, conn_x2 < 0, label_288);
            GOTO_IF(486, conn_x1 > 640, label_288);
            STMT(487, line(conn_x1, conn_y1, conn_x2, conn_y2, colour));
            STMT(488, line(conn_x2 + 8, conn_y2 - 4, conn_x2, conn_y2, colour));
            STMT(489, line(conn_x2 + 8, conn_y2 + 4, conn_x2, conn_y2, colour));
            LABEL(490, label_288);
          }
        }
      }
    }
  }

  // ---- Finale ------------------------------------------------------------
  // "W2" four columns right of the unshifted last return circle of phase W.
  STMT(497, locate(text_row - 1, text_col + col_pitch * pole_count + 4));
  STMT(498, colour_text(1));
  STMT(499, print_statement(rt, {PrintItem::item("W2")}));
  STMT(500, colour_text(11));
  STMT(506, locate(2, 8));
  STMT(507, print_statement(rt, {PrintItem::item(kHintBlanks)}));
  // Busy wait until any key is queued; the key is dropped.
  LABEL(510, label_666);
  GOTO_IF(510, strings_equal(poll_key(rt), "") != 0, label_666);
  // 511: the end prompt; it does not return.
  end_program(rt);
}

}  // namespace ws
