// The phase paths and the finale, run headless on the virtual clock.
//
// Most checks replay a step: the page as it stood at the pause of the step
// before, plus the circles, lines and labels this step is meant to draw, must
// equal the page at this step's pause pixel for pixel. That shows every
// centre, end point, colour and line style, and that nothing else was drawn.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "screen/drawing.h"
#include "screen/key_codes.h"
#include "screen/keyboard.h"
#include "screen/text.h"
#include "support/golden.h"
#include "winding/animator_fixture.h"

namespace ws::test {
namespace {

constexpr int32_t kDash = static_cast<int16_t>(0xFF00);

// ---- Expected drawing, as operations on a page ---------------------------

struct Op {
  enum class Kind { Circle, Line, Label } kind;
  double a = 0, b = 0, c = 0, d = 0;  // circle: x, y, r; line: x1, y1, x2, y2; label: row, col
  int colour = 0;
  int32_t style = 0;  // 0 solid
  std::string text;
};
using Ops = std::vector<Op>;

Ops operator+(Ops a, const Ops& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Ops ring(double x, double y, int colour) {
  return {{Op::Kind::Circle, x, y, 15, 0, colour, 0, {}}};
}
Ops dot(double x, double y, double r, int colour) {
  return {{Op::Kind::Circle, x, y, r, 0, colour, 0, {}}};
}
Ops solid(double x1, double y1, double x2, double y2, int colour) {
  return {{Op::Kind::Line, x1, y1, x2, y2, colour, 0, {}}};
}
Ops dashed(double x1, double y1, double x2, double y2, int colour) {
  return {{Op::Kind::Line, x1, y1, x2, y2, colour, kDash, {}}};
}
Ops label(int row, int col, int colour, std::string text) {
  return {{Op::Kind::Label, double(row), double(col), 0, 0, colour, 0, std::move(text)}};
}
// A straight line from x1 to x2 with its head at x2, pointing towards
// increasing x (forward) or decreasing x (return).
Ops arrow_forward(double x1, double x2, double y, int colour) {
  return solid(x1, y, x2, y, colour) + solid(x2 - 8, y - 4, x2, y, colour) +
         solid(x2 - 8, y + 4, x2, y, colour);
}
Ops arrow_return(double x1, double x2, double y, int colour) {
  return solid(x1, y, x2, y, colour) + solid(x2 + 8, y - 4, x2, y, colour) +
         solid(x2 + 8, y + 4, x2, y, colour);
}
// Forward: dashed to the bend point, its radius-2 circle, solid on.
Ops bend_forward(double x1, double y1, double mx, double my, double x2, double y2, int colour) {
  return dashed(x1, y1, mx, my, colour) + dot(mx, my, 2, colour) + solid(mx, my, x2, y2, colour);
}
// Return: solid to the bend point, its circle, dashed on.
Ops bend_return(double x1, double y1, double mx, double my, double x2, double y2, int colour) {
  return solid(x1, y1, mx, my, colour) + dot(mx, my, 2, colour) + dashed(mx, my, x2, y2, colour);
}
// The turn: dashed in the forward colour to a radius-3 circle, solid in the
// return colour on.
Ops turn(double x1, double y, double mx, double my, double x2, int forward, int back) {
  return dashed(x1, y, mx, my, forward) + dot(mx, my, 3, forward) + solid(mx, my, x2, y, back);
}

// ---- Recording the run at every pause of a step clock ---------------------

struct Step {
  int phase = 0;
  float step_delay = 0;
  std::unique_ptr<ScreenPage> page;  // only when pages are kept
};

std::unique_ptr<ScreenPage> copy_of(const ScreenPage& page) {
  auto p = create_page(12);
  p->copy_pixels_from(page);
  return p;
}

// A whole run of the animator with the two numbers typed, recording each step
// of the phase paths at its pause. By default the run ends with two keys: one
// for the final key wait, one once the end prompt stands.
struct PhaseRun {
  AnimatorRun run;
  Animator& a = run.animator;
  bool keep_pages = true;
  bool finish_with_two_keys = true;
  std::vector<Step> steps;
  int64_t finale_ms = -1;  // when the final key wait began
  std::unique_ptr<ScreenPage> finale_page;
  int finale_cursor_row = 0, finale_cursor_col = 0, finale_foreground = 0;
  std::function<void(PhaseRun&)> on_step, on_finale;

  PhaseRun(const std::string& slots, const std::string& poles) {
    run.answer(slots, poles);
    Headless& h = run.h;
    h.clock.record_sleeps = true;
    h.clock.on_advance = [this, advance = h.clock.on_advance, &h] {
      advance();
      const int64_t ms = h.clock.sleeps.back();
      h.clock.sleeps.clear();
      // A pause sleeps in 9 ms slices; its first slice marks a new step.
      const bool slice = ms == 9;
      if (slice && !in_pause_ && a.phase >= 1 && a.phase <= 3) record();
      in_pause_ = slice;
      // The phase loop leaves phase at 4; the first sleep after it is the
      // key poll of the final wait.
      if (finale_ms < 0 && a.phase == 4) reach_finale();
    };
  }

  RunEnd run_all() { return run.run_all(); }
  Headless& h() { return run.h; }
  const ScreenPage& page() { return run.page(); }

  std::vector<const Step*> of_phase(int phase) const {
    std::vector<const Step*> r;
    for (const Step& s : steps)
      if (s.phase == phase) r.push_back(&s);
    return r;
  }

  // The reports of runtime errors raised in lines 209 and later, as
  // "caption|text".
  std::vector<std::string> phase_reports() const {
    std::vector<std::string> r;
    for (const ShownBox& b : run.h.boxes.shown) {
      const auto at = b.text.find("Line:");
      if (at != std::string::npos && std::atoi(b.text.c_str() + at + 5) >= 209)
        r.push_back(b.caption + "|" + b.text);
    }
    return r;
  }

 private:
  void record() {
    Step s;
    s.phase = static_cast<int>(a.phase.value());
    s.step_delay = a.step_delay.value();
    if (keep_pages) s.page = copy_of(run.page());
    steps.push_back(std::move(s));
    if (on_step) on_step(*this);
  }

  void reach_finale() {
    finale_ms = run.h.now_ms();
    finale_page = copy_of(run.page());
    finale_cursor_row = run.page().cursor_row;
    finale_cursor_col = run.page().cursor_col;
    finale_foreground = run.page().foreground;
    if (finish_with_two_keys) {
      run.h.press_at(finale_ms + 50, 'a');
      run.h.press_at(finale_ms + 1000, 'b');
    }
    if (on_finale) on_finale(*this);
  }

  bool in_pause_ = false;
};

// Applies the operations to a copy of `before` and compares it with `after`;
// empty when equal, else a description with both pages written out.
std::string replay_differs(const ScreenPage& before, const Ops& ops, const ScreenPage& after,
                           const std::string& name) {
  Headless scratch;
  Runtime& rt = scratch.rt;
  set_screen_mode(rt, 12);
  rt.pages.page().copy_pixels_from(before);
  for (const Op& op : ops) {
    switch (op.kind) {
      case Op::Kind::Circle:
        draw_circle(rt, op.a, op.b, op.c, op.colour);
        break;
      case Op::Kind::Line:
        draw_line(rt, float(op.a), float(op.b), float(op.c), float(op.d), op.colour,
                  op.style != 0 ? std::optional<int32_t>(op.style) : std::nullopt);
        break;
      case Op::Kind::Label:
        locate_cursor(rt, int(op.a), int(op.b));
        set_text_colors(rt, op.colour);
        print_statement(rt, {PrintItem::item(op.text)});
        break;
    }
  }
  int count = 0, fx = -1, fy = -1;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (rt.pages.page().pixel(x, y) != after.pixel(x, y) && count++ == 0) fx = x, fy = y;
  if (count == 0) return {};
  return std::to_string(count) + " pixels differ, the first at (" + std::to_string(fx) + ", " +
         std::to_string(fy) + "): expected " + std::to_string(rt.pages.page().pixel(fx, fy)) + ", drawn " +
         std::to_string(after.pixel(fx, fy)) + "; pages " +
         dump_page(rt.pages.page(), name + "-expected") + " and " + dump_page(after, name + "-drawn");
}

// ---- 24 slots, 4 poles: the diagram worked out step by step --------------

class Diagram24x4 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The page as the marks leave it, the one the first step draws on.
    opening = new AnimatorRun;
    opening->answer("24", "4");
    opening->run_opening();
    diagram = new PhaseRun("24", "4");
    end = diagram->run_all();
  }
  static void TearDownTestSuite() {
    delete diagram;
    delete opening;
  }
  void SetUp() override { ASSERT_EQ(diagram->steps.size(), 60u) << "steps of U, V and W"; }

  // Replays steps first, first + 1, ... of the run.
  static void expect_steps(size_t first, const std::vector<Ops>& expected,
                           const std::string& name) {
    for (size_t i = 0; i < expected.size(); ++i) {
      const size_t k = first + i;
      const ScreenPage& before = k == 0 ? opening->page() : *diagram->steps[k - 1].page;
      const std::string step = name + "-" + std::to_string(i + 1);
      EXPECT_EQ(replay_differs(before, expected[i], *diagram->steps[k].page, step), "") << step;
    }
  }

  static inline AnimatorRun* opening = nullptr;
  static inline PhaseRun* diagram = nullptr;
  static inline RunEnd end = RunEnd::Returned;
};

TEST_F(Diagram24x4, PhaseUForwardHalfTurnAndReturnHalf) {
  const int w = 15, g = 7;
  expect_steps(0,
               {
                   // Band slot 1, y 105, under the start label.
                   label(6, 11, 15, "U1") + ring(101, 105, w),
                   ring(191, 105, w) + arrow_forward(125, 167, 105, w),
                   ring(341, 105, w) + bend_forward(206, 105, 266, 81, 326, 105, w),
                   ring(431, 105, w) + arrow_forward(365, 407, 105, w),
                   // Column 5 one row lower, joined straight.
                   ring(581, 153, w) + bend_forward(446, 105, 506, 129, 566, 153, w),
                   // Band slot 2, y 153.
                   ring(101, 153, w),
                   ring(191, 153, w) + arrow_forward(125, 167, 153, w),
                   ring(341, 153, w) + bend_forward(206, 153, 266, 129, 326, 153, w),
                   ring(431, 153, w) + arrow_forward(365, 407, 153, w),
                   // The last step again on column 4, without a connection.
                   ring(431, 153, w),
                   // The turn, then the return half's first circle.
                   turn(446, 153, 491, 177, 536, w, g) + ring(551, 153, g),
                   ring(461, 153, g) + arrow_return(527, 485, 153, g),
                   ring(311, 153, g) + bend_return(446, 153, 386, 177, 326, 153, g),
                   ring(221, 153, g) + arrow_return(287, 245, 153, g),
                   ring(71, 105, g) + bend_return(206, 153, 146, 129, 86, 105, g),
                   ring(551, 105, g),
                   ring(461, 105, g) + arrow_return(527, 485, 105, g),
                   ring(311, 105, g) + bend_return(446, 105, 386, 129, 326, 105, g),
                   ring(221, 105, g) + arrow_return(287, 245, 105, g),
                   ring(221, 105, g),
                   // Phase V opens with U's end label, its own start label
                   // and first circle.
                   label(6, 31, 7, "U2") + label(24, 11, 12, "V1") + ring(101, 393, 12),
               },
               "U");
}

TEST_F(Diagram24x4, PhaseWOneColumnRightAndWrappedCopies) {
  const int b = 9, d = 1;
  expect_steps(
      40,
      {
          label(24, 31, 4, "V2") + label(15, 26, 9, "W1") + ring(221, 249, b),
          ring(311, 249, b) + arrow_forward(245, 287, 249, b),
          ring(461, 249, b) + bend_forward(326, 249, 386, 225, 446, 249, b),
          ring(551, 249, b) + arrow_forward(485, 527, 249, b),
          // The copy of column 4 at the left; column 5 lies off the
          // page and its connection, ending beyond x 640, is left out.
          ring(71, 249, b) + ring(701, 297, b),
          // The copy of column 5 over the second table column, joined
          // to the first copy; then band slot 2's first circle.
          ring(221, 297, b) + bend_forward(86, 249, 146, 273, 206, 297, b) + ring(221, 297, b),
          ring(311, 297, b) + arrow_forward(245, 287, 297, b),
          ring(461, 297, b) + bend_forward(326, 297, 386, 273, 446, 297, b),
          ring(551, 297, b) + arrow_forward(485, 527, 297, b),
          ring(71, 297, b) + ring(551, 297, b),
          // The last copy, the turn at the left, and the return half's
          // first circle, off the page at x 671.
          ring(71, 297, b) + turn(86, 297, 131, 321, 176, b, d) + ring(671, 297, d),
          // Return half, band slot 1 (y 297); each step follows the
          // copy of the step before. The arrow into pole 2 starts at
          // x 647 and is left out.
          ring(191, 297, d) + ring(581, 297, d),
          ring(101, 297, d) + arrow_return(167, 125, 297, d) + ring(431, 297, d) +
              bend_return(566, 297, 506, 321, 446, 297, d),
          ring(-49, 297, d) + ring(341, 297, d) + arrow_return(407, 365, 297, d),
          ring(-139, 297, d) + ring(191, 249, d) + bend_return(326, 297, 266, 273, 206, 249, d),
          // Band slot 2 (y 249).
          ring(-289, 249, d) + ring(671, 249, d),
          ring(191, 249, d) + ring(581, 249, d),
          ring(101, 249, d) + arrow_return(167, 125, 249, d) + ring(431, 249, d) +
              bend_return(566, 249, 506, 273, 446, 249, d),
          ring(-49, 249, d) + ring(341, 249, d) + arrow_return(407, 365, 249, d),
          ring(-139, 249, d) + ring(341, 249, d),
      },
      "W");
  // After the last pause: its copy off the page, "W2", the hint erased.
  EXPECT_EQ(replay_differs(
                *diagram->steps[59].page,
                ring(-139, 249, d) + label(15, 46, 1, "W2") + label(2, 8, 0, std::string(66, ' ')),
                *diagram->finale_page, "W-finale"),
            "");
}

// The labels are checked by the replays above (drawings cross their cells on
// the finished page); here what the run leaves at its end.
TEST_F(Diagram24x4, FinalStateAndEndPrompt) {
  const ScreenPage& page = diagram->page();
  const Animator& a = diagram->a;
  EXPECT_FLOAT_EQ(a.text_col.value(), -18);
  EXPECT_FLOAT_EQ(a.text_row.value(), 16);
  EXPECT_FLOAT_EQ(a.phase.value(), 4);
  // Line 210 set the step clock to one second, and no key came to change it.
  for (const Step& s : diagram->steps) ASSERT_FLOAT_EQ(s.step_delay, 1);
  // The final key wait: the hint gone, the cursor below it, light cyan.
  EXPECT_EQ(row_text(*diagram->finale_page, 2, 8, 73), std::string(66, ' '));
  EXPECT_EQ(diagram->finale_cursor_row, 3);
  EXPECT_EQ(diagram->finale_cursor_col, 1);
  EXPECT_EQ(diagram->finale_foreground, 11);
  // The end prompt, and the end.
  EXPECT_EQ(row_text(page, 30, 1, 26), "Press any key to continue ");
  EXPECT_EQ(cell_colour(page, 30, 1), 11);
  EXPECT_EQ(page.cursor_row, 30);
  EXPECT_EQ(page.cursor_col, 26);
  EXPECT_EQ(end, RunEnd::Parked);
  EXPECT_EQ(diagram->h().exit_code, 0);
  EXPECT_TRUE(diagram->phase_reports().empty());
}

// The finished page, end prompt included, against the picture checked in.
// WS_UPDATE_GOLDEN=1 writes the picture instead.
TEST_F(Diagram24x4, GoldenPage) {
  const std::string path =
      (std::filesystem::path(__FILE__).parent_path() / "golden" / "diagram-24-4.png").string();
  const GoldenOutcome outcome =
      check_golden_page(diagram->page(), path, "diagram-24-4", kDiagramGoldenWriter);
  if (outcome.rewritten) {
    RecordProperty("golden_rewritten", path);
    std::printf("%s\n", outcome.message.c_str());
  }
  EXPECT_TRUE(outcome.passed) << outcome.message;
}

// ---- Other inputs: the steps where their rules show ----------------------

struct StepCase {
  const char* name;
  const char* slots;
  const char* poles;
  size_t steps_per_phase;
  int phase;
  size_t index;  // of the step within its phase, counted from 0; at least 1
  Ops ops;       // what that step adds to the page of the step before
  std::vector<std::string> reports = {};  // of lines 209 and later
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

class OtherInputs : public ::testing::TestWithParam<StepCase> {};

TEST_P(OtherInputs, StepDrawsExactly) {
  const StepCase& c = GetParam();
  PhaseRun r(c.slots, c.poles);
  ASSERT_EQ(r.run_all(), RunEnd::Parked);
  for (int phase = 1; phase <= 3; ++phase)
    EXPECT_EQ(r.of_phase(phase).size(), c.steps_per_phase) << "phase " << phase;
  const auto steps = r.of_phase(c.phase);
  ASSERT_LT(c.index, steps.size());
  EXPECT_EQ(replay_differs(*steps[c.index - 1]->page, c.ops, *steps[c.index]->page, c.name), "");
  EXPECT_EQ(r.phase_reports(), c.reports);
}

INSTANTIATE_TEST_SUITE_P(
    Phases, OtherInputs,
    ::testing::Values(
        // Odd pole count: the last step's arrow runs back across the last
        // circle, and the turn starts inside it.
        StepCase{"OddPolesLastStepArrow", "18", "3", 16, 1, 7,
                 ring(397, 153, 15) + arrow_forward(425.8, 368.2, 153, 15)},
        StepCase{"OddPolesTurn", "18", "3", 16, 1, 8,
                 turn(398.2, 153, 469, 177, 512.2, 15, 7) + ring(505, 153, 7)},
        // Odd pole count, return half: the last column of band slot 1 stands
        // on the lower layer, one row up, reached by a slanting arrow; the
        // last step's arrow crosses its circle.
        StepCase{"OddPolesReturnLastColumn", "18", "3", 16, 1, 11,
                 ring(73, 105, 7) + solid(188.2, 153, 101.8, 105, 7) +
                     solid(109.8, 101, 101.8, 105, 7) + solid(109.8, 109, 101.8, 105, 7)},
        StepCase{"OddPolesReturnLastStepArrow", "18", "3", 16, 1, 15,
                 ring(217, 105, 7) + arrow_return(188.2, 245.8, 105, 7)},
        // One pole: the copy of W's last return column lands on the page,
        // on the lower layer as column 1. "W2" would stand at column 91.
        StepCase{"OnePoleWrappedReturnColumn1",
                 "6",
                 "1",
                 8,
                 3,
                 6,
                 ring(107, 249, 1) + solid(343.8, 297, 166.2, 249, 1) +
                     solid(174.2, 245, 166.2, 249, 1) + solid(174.2, 253, 166.2, 249, 1) +
                     ring(699, 249, 1),
                 {"Unhandled Error #5|Line:497\nIllegal function call\nContinue?"}},
        // Odd pole count, phase W: the copies of columns 3 and 4 are joined
        // by a bent connection, though the regular one into 4 is an arrow.
        StepCase{
            "OddPolesWrappedJoint", "18", "3", 16, 3, 4,
            ring(217, 297, 9) + bend_forward(124, 249, 163, 273, 202, 297, 9) + ring(253, 297, 9)},
        // Two poles: the connection into column 3 left a bend height of 0,
        // so W's turn runs flat.
        StepCase{"TwoPolesFlatTurnOfW", "12", "2", 12, 3, 6,
                 ring(83, 297, 9) + turn(98, 297, 183, 297, 268, 9, 1) + ring(683, 297, 1)},
        // q = 5/3: one band slot and no last step; column 5 goes one row
        // down and is joined straight.
        StepCase{"FractionalQNoLastStep", "20", "4", 10, 1, 4,
                 ring(549, 121, 15) + bend_forward(414, 73, 474, 97, 534, 121, 15)}),
    [](const auto& info) { return std::string(info.param.name); });

// q below 1: no band slot, so no step at all; the turns still run, each from
// what the previous one left, and "W2" would go past column 80.
TEST(PhasesWithoutSteps, TurnsAndLabelsOnly) {
  PhaseRun r("6", "4");  // q = 0.5, col_pitch 15, row_pitch 6, offsets 0
  ASSERT_EQ(r.run_all(), RunEnd::Parked);
  EXPECT_TRUE(r.steps.empty());
  const Animator& a = r.a;
  // U's turn from (30, 0), V's from (60, 0), W's from (90, 0) to (180, 0).
  EXPECT_FLOAT_EQ(a.conn_x2.value(), 90);
  EXPECT_FLOAT_EQ(a.turn_x2.value(), 180);
  EXPECT_FLOAT_EQ(a.turn_mid_x.value(), 90);
  for (int x = 94; x <= 180; ++x) ASSERT_EQ(r.page().pixel(x, 0), 1) << x;
  // Line 497 places the cursor at column 87: error 5, and after Yes "W2"
  // goes where the line end of "W1" left the cursor.
  EXPECT_EQ(
      r.phase_reports(),
      std::vector<std::string>{"Unhandled Error #5|Line:497\nIllegal function call\nContinue?"});
  struct Label {
    int row, col, colour;
    const char* text;
  };
  for (const Label& l : {Label{8, 7, 15, "U1"}, Label{8, 12, 7, "U2"}, Label{26, 7, 12, "V1"},
                         Label{26, 12, 4, "V2"}, Label{17, 22, 9, "W1"}, Label{18, 1, 1, "W2"}}) {
    EXPECT_EQ(row_text(r.page(), l.row, l.col, l.col + 1), l.text) << l.row << ", " << l.col;
    EXPECT_EQ(cell_colour(r.page(), l.row, l.col), l.colour) << l.text;
  }
}

// q = 9 (54 slots, 2 poles): row_pitch 1 and no row offset put U's first
// path row on text row 1, so both labels of U go to row 0; the reports name
// the lines, and the run goes on after Yes.
TEST(PhaseLabels, OffTheGridReportedWithTheirLines) {
  PhaseRun r("54", "2");
  r.keep_pages = false;
  ASSERT_EQ(r.run_all(), RunEnd::Parked);
  const std::string error5 = "Unhandled Error #5|Line:";
  EXPECT_EQ(r.phase_reports(),
            (std::vector<std::string>{error5 + "217\nIllegal function call\nContinue?",
                                      error5 + "225\nIllegal function call\nContinue?"}));
  EXPECT_EQ(r.steps.size(), 3u * 2 * 9 * 3);
}

// Large pole counts. Up to 998 every index stays within 0 to 1000; with 999
// the last forward step of W needs element 1001, at the lines that store and
// read it. The return half places no cursor, so pole counts of 30 and more
// raise nothing there.
struct ReportCase {
  const char* name;
  const char* slots;
  const char* poles;
  size_t steps_per_phase;
  std::vector<int> lines;  // error 9 reported at these lines, in order
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class LargePoleCounts : public ::testing::TestWithParam<ReportCase> {};

TEST_P(LargePoleCounts, ReportsOfThePhaseLines) {
  const ReportCase& c = GetParam();
  PhaseRun r(c.slots, c.poles);
  r.keep_pages = false;
  int last_report_step = -1;
  r.h().boxes.on_show = [&](const ShownBox&) { last_report_step = int(r.steps.size()); };
  ASSERT_EQ(r.run_all(), RunEnd::Parked);
  std::vector<std::string> expected;
  for (int line : c.lines)
    expected.push_back("Unhandled Error #9|Line:" + std::to_string(line) +
                       "\nSubscript out of range\nContinue?");
  EXPECT_EQ(r.phase_reports(), expected);
  for (int phase = 1; phase <= 3; ++phase)
    EXPECT_EQ(r.of_phase(phase).size(), c.steps_per_phase) << "phase " << phase;
  if (!c.lines.empty()) {
    // After the pause of W's last forward step, before the return half's
    // first pause (q is 1: the return half has pole_count + 1 steps).
    EXPECT_EQ(last_report_step, int(r.steps.size() - c.steps_per_phase / 2));
  }
  EXPECT_EQ(row_text(r.page(), 30, 1, 25), "Press any key to continue");
}

INSTANTIATE_TEST_SUITE_P(
    Phases, LargePoleCounts,
    ::testing::Values(ReportCase{"Poles30", "180", "30", 124, {}},
                      ReportCase{"Poles998", "2994", "998", 1998, {}},
                      ReportCase{"Poles999", "2997", "999", 2000, {332, 333, 334, 338, 339}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The finale: the final key wait and the end prompt --------------------

struct FinaleAction {
  enum Kind { Press, Close, ExpectPrompt, ExpectNoPrompt };
  int64_t after_ms;  // after the final key wait began
  Kind kind;
  int32_t code = 0;
};

struct FinaleCase {
  const char* name;
  std::string typed_in_last_step;  // keys pressed during the last step's pause
  std::vector<FinaleAction> actions;
  int64_t ends_from_ms, ends_by_ms;  // the run's end, after the wait began
};

void PrintTo(const FinaleCase& c, std::ostream* os) { *os << c.name; }

class Finale : public ::testing::TestWithParam<FinaleCase> {};

TEST_P(Finale, WaitsAndEnds) {
  const FinaleCase& c = GetParam();
  PhaseRun r("6", "2");  // q 1: six steps per phase
  r.keep_pages = false;
  r.finish_with_two_keys = false;
  constexpr size_t kSteps = 18;
  r.on_step = [&](PhaseRun& run) {
    if (run.steps.size() == kSteps) run.h().type(c.typed_in_last_step, run.h().now_ms() + 100);
  };
  std::vector<std::string> failures;
  r.on_finale = [&](PhaseRun& run) {
    for (const FinaleAction& action : c.actions) {
      const int64_t t = run.finale_ms + action.after_ms;
      switch (action.kind) {
        case FinaleAction::Press:
          run.h().press_at(t, action.code);
          break;
        case FinaleAction::Close:
          run.h().close_at(t);
          break;
        case FinaleAction::ExpectPrompt:
        case FinaleAction::ExpectNoPrompt:
          run.h().at(t, [&run, &failures, action] {
            const bool shown = row_text(run.page(), 30, 1, 25) == "Press any key to continue";
            if (shown != (action.kind == FinaleAction::ExpectPrompt))
              failures.push_back("prompt " + std::string(shown ? "shown" : "not shown") + " at " +
                                 std::to_string(action.after_ms) + " ms");
          });
          break;
      }
    }
  };
  ASSERT_EQ(r.run_all(), RunEnd::Parked);
  ASSERT_EQ(r.steps.size(), kSteps);
  ASSERT_GE(r.finale_ms, 0);
  EXPECT_EQ(r.h().exit_code, 0);
  EXPECT_EQ(failures, std::vector<std::string>{});
  const int64_t ended = r.h().now_ms() - r.finale_ms;
  EXPECT_GE(ended, c.ends_from_ms);
  EXPECT_LE(ended, c.ends_by_ms);
  EXPECT_TRUE(r.phase_reports().empty());
}

INSTANTIATE_TEST_SUITE_P(Phases, Finale,
                         ::testing::Values(
                             // The first queued key ends the wait at once; the prompt discards the
                             // others and waits for a new key.
                             FinaleCase{"KeysQueuedInLastStep",
                                        "abc",
                                        {{20, FinaleAction::ExpectPrompt},
                                         {3000, FinaleAction::Press, 'x'}},
                                        3000,
                                        3200},
                             // Shift alone queues nothing; a function key ends the wait, a cursor
                             // key the prompt.
                             FinaleCase{"ShiftAloneEndsNeither",
                                        "",
                                        {{500, FinaleAction::Press, kKeyLeftShift},
                                         {1000, FinaleAction::ExpectNoPrompt},
                                         {1500, FinaleAction::Press, kKeyF1},
                                         {2000, FinaleAction::ExpectPrompt},
                                         {2500, FinaleAction::Press, kKeyLeftShift},
                                         {3500, FinaleAction::Press, kKeyRight}},
                                        3500,
                                        3700},
                             FinaleCase{"CloseAtPrompt",
                                        "",
                                        {{500, FinaleAction::Press, 'a'},
                                         {1000, FinaleAction::ExpectPrompt},
                                         {2000, FinaleAction::Close}},
                                        2000,
                                        2300}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ws::test
