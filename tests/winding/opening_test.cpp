// The first half of the animator run headless: header rows, title drawings,
// the two inputs and the derived values, the two number tables and the
// cross-and-dot marks.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "screen/font.h"
#include "screen/number_text.h"
#include "winding/animator_fixture.h"

namespace ws::test {
namespace {

using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

struct Report {
  int error;
  int line;
  bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Report& r) {
  return os << "error " << r.error << " at line " << r.line;
}

// The error reports shown so far, read back from the boxes' caption and text.
std::vector<Report> reports(const ScriptedBoxes& boxes) {
  std::vector<Report> out;
  const std::string caption = "Unhandled Error #";
  for (const ShownBox& b : boxes.shown) {
    if (b.caption.rfind(caption, 0) != 0 || b.text.rfind("Line:", 0) != 0) continue;
    out.push_back({std::stoi(b.caption.substr(caption.size())), std::stoi(b.text.substr(5))});
  }
  return out;
}

std::vector<Report> repeated(Report r, int n) { return std::vector<Report>(n, r); }

// Types the two answers and runs lines 1 to 203 to their end, with no report
// on the way.
void open_without_reports(AnimatorRun& run, const char* slots, const char* poles) {
  run.answer(slots, poles);
  EXPECT_EQ(run.run_opening(), RunEnd::Returned);
  EXPECT_EQ(reports(run.boxes()), std::vector<Report>{});
}

// An 80-column row of blanks with texts placed at 1-based columns.
std::string row_of(std::initializer_list<std::pair<int, std::string>> texts) {
  std::string row(80, ' ');
  for (const auto& [col, text] : texts) row.replace(col - 1, text.size(), text);
  return row.substr(0, 80);
}

std::string item(int n) { return " " + std::to_string(n) + " "; }

// Where the cell (row, column) differs from the glyph ch in colour on black,
// pixels in skip not compared; empty when it matches.
std::string cell_mismatch(const ScreenPage& page, int row, int col, char ch, int colour,
                          const PixelSet& skip = {}) {
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int px = (col - 1) * 8 + x, py = (row - 1) * 16 + y;
      if (skip.count({px, py})) continue;
      const bool set = (kPageFont[static_cast<uint8_t>(ch)][y] & (0x80 >> x)) != 0;
      const int want = set ? colour : 0;
      if (page.pixel(px, py) != want) {
        return "cell " + std::to_string(row) + "," + std::to_string(col) + " should show '" +
               std::string(1, ch) + "' in " + std::to_string(colour) + ": pixel (" +
               std::to_string(px) + "," + std::to_string(py) + ") is " +
               std::to_string(page.pixel(px, py));
      }
    }
  }
  return "";
}

void expect_text(const ScreenPage& page, int row, int col, const std::string& text, int colour,
                 const PixelSet& skip = {}) {
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string m = cell_mismatch(page, row, col + static_cast<int>(i), text[i], colour, skip);
    EXPECT_EQ(m, "") << "text '" << text << "' at " << row << "," << col;
    if (!m.empty()) return;
  }
}

// The set pixels of a box (within the page), each required to have the given
// colour unless colour is -1.
PixelSet set_pixels(const ScreenPage& page, int x0, int y0, int x1, int y1, int colour = -1) {
  PixelSet s;
  for (int y = std::max(y0, 0); y <= std::min(y1, 479); ++y)
    for (int x = std::max(x0, 0); x <= std::min(x1, 639); ++x)
      if (const int c = page.pixel(x, y); c != 0) {
        s.insert({x, y});
        if (colour >= 0) {
          EXPECT_EQ(c, colour) << "pixel " << x << "," << y;
        }
      }
  return s;
}

// The four pixels of the prime stroke after a number printed at (row, col).
PixelSet stroke_pixels(int row, int col) {
  const int x0 = 8 * col + 14, y0 = 16 * row - 9;
  return {{x0, y0}, {x0 + 1, y0 - 1}, {x0 + 1, y0 - 2}, {x0 + 2, y0 - 3}};
}

// A mark: the radius-5 ring and a cross or the radius-1 dot.
PixelSet mark_pixels(int cx, int cy, bool cross) {
  static const Pixel kRingQuarter[] = {{5, 0}, {5, 1}, {5, 2}, {4, 3},
                                       {3, 4}, {2, 5}, {1, 5}, {0, 5}};
  PixelSet s;
  for (auto [dx, dy] : kRingQuarter)
    for (int sx : {-1, 1})
      for (int sy : {-1, 1}) s.insert({cx + sx * dx, cy + sy * dy});
  if (cross) {
    for (int k = -2; k <= 2; ++k) s.insert({cx + k, cy + k}), s.insert({cx + k, cy - k});
  } else {
    s.insert({{cx - 1, cy}, {cx + 1, cy}, {cx, cy - 1}, {cx, cy + 1}});
  }
  return s;
}

// Marks are drawn on the page or not at all; one that lies inside the page
// is checked within its 11 x 11 box.
void expect_mark(const ScreenPage& page, int cx, int cy, bool cross, int colour) {
  EXPECT_EQ(set_pixels(page, cx - 5, cy - 5, cx + 5, cy + 5, colour), mark_pixels(cx, cy, cross))
      << (cross ? "cross" : "dot") << " at " << cx << "," << cy;
}

// ---------------------------------------------------------------------------
// Header rows and title drawings: the run is closed while it waits for Z.

class BeforeInput : public ::testing::Test {
 protected:
  void SetUp() override {
    run.h.close_at(300);
    end = run.run_opening();
  }
  AnimatorRun run;
  RunEnd end{};
};

TEST_F(BeforeInput, HeaderRowsWindowAndParkingInTheFirstInput) {
  EXPECT_EQ(end, RunEnd::Parked);
  EXPECT_NE(run.h.rt.state.exit_handshake.load() & 1u, 0u);
  const ScreenPage& page = run.page();
  EXPECT_EQ(page.width, 640);
  EXPECT_EQ(page.height, 480);
  {
    std::lock_guard<std::mutex> lock(run.h.rt.window.title_mutex);
    EXPECT_EQ(run.h.rt.window.window_title, "SCHEMES: WAVE, TWO LAYER, FULL PITCH WINDING");
  }
  EXPECT_EQ(run.h.rt.window.scaling_mode.load(), ScalingMode::Smoothed);

  // Credit row: columns 1 to 9 blank under the drawings, the text in colour 3
  // ending on column 71.
  EXPECT_EQ(row_text(page, 1, 8, 9), "  ");
  EXPECT_NE(cell_char(page, 1, 10), ' ');
  EXPECT_NE(cell_char(page, 1, 71), ' ');
  EXPECT_EQ(row_text(page, 1, 72, 80), std::string(9, ' '));
  for (int c = 10; c <= 71; ++c)
    if (cell_char(page, 1, c) != ' ') {
      EXPECT_EQ(cell_colour(page, 1, c), 3) << "column " << c;
    }

  expect_text(page, 2, 8, " Change speed: for 2 x speed press (+), for 0,5 x speed press (-) ",
              14);
  EXPECT_EQ(row_text(page, 2, 74, 80), std::string(7, ' '));
  expect_text(page, 3, 7, " Z=", 14);
}

TEST_F(BeforeInput, TitleDrawingsPixelForPixel) {
  // Wave (crest, trough), open slot with two circles, arch on two dotted
  // verticals whose dots at y 14, 10 and 6 lie under the arch's legs.
  static const char* const kPicture[] = {
      "........................................................",
      "..........#.......................................#.....",
      ".........#.#.................................#...#.#...#",
      ".......##...#...............###.......###......##...##..",
      "......#......#................#..###..#.......#.......#.",
      ".....#........#........#......#.#...#.#......#.........#",
      ".....#........#........#......##.....##......#.........#",
      ".....#........#........#......##.....##......#.........#",
      ".....#........#........#......##.....##......#.........#",
      ".....#........#........#......#.#...#.#......#.........#",
      ".....#........#........#......#..###..#......#.........#",
      ".....#........#........#......#.#...#.#......#.........#",
      ".....#........#........#......##.....##......#.........#",
      ".....#........#........#......##.....##......#.........#",
      ".....#........#........#......##.....##......#.........#",
      ".....#........#........#......#.#...#.#......#.........#",
      "...............#......#.......#..###..#.................",
      "................##...#........#########.................",
      "..................#.#........................#.........#",
      "...................#....................................",
  };
  PixelSet want;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; kPicture[y][x] != '\0'; ++x)
      if (kPicture[y][x] == '#') want.insert({x, y});
  // Columns 1 to 8 of rows 1 and 2 hold nothing else.
  EXPECT_EQ(set_pixels(run.page(), 0, 0, 63, 31, 15), want);
}

// ---------------------------------------------------------------------------
// Inputs, derived values and row 3. The run is closed in the first step's
// pause, after line 102.

struct DerivedCase {
  const char* slots;
  const char* poles;
  float pole_pitch, q, col_pitch, row_pitch, grid_col_offset, grid_row_offset;
  std::vector<Report> reports;
};

// The two answers as typed, so that test names and failures show them (not
// the bytes of the pointers to them).
void PrintTo(const DerivedCase& c, std::ostream* os) {
  *os << "Z=" << c.slots << " p=" << c.poles;
}
std::string answer_name(const char* answer) {
  if (*answer == '\0') return "none";
  return *answer == '-' ? "minus" + std::string(answer + 1) : std::string(answer);
}
std::string derived_case_name(const ::testing::TestParamInfo<DerivedCase>& info) {
  return "Z" + answer_name(info.param.slots) + "_P" + answer_name(info.param.poles);
}

class DerivedValues : public ::testing::TestWithParam<DerivedCase> {};

void expect_same_real(float got, float want, const char* what) {
  if (std::isnan(want))
    EXPECT_TRUE(std::isnan(got)) << what << " is " << got;
  else
    EXPECT_EQ(got, want) << what;
}

TEST_P(DerivedValues, QuantitiesAndReports) {
  const DerivedCase& c = GetParam();
  AnimatorRun run;
  run.answer(c.slots, c.poles);
  run.h.close_at(600);
  run.run_opening();
  const Animator& a = run.animator;
  EXPECT_EQ(a.slot_count.value(), *c.slots ? std::stof(c.slots) : 0.0f);
  EXPECT_EQ(a.pole_count.value(), *c.poles ? std::stof(c.poles) : 0.0f);
  EXPECT_EQ(a.phase_count.value(), 3.0f);
  expect_same_real(a.pole_pitch.value(), c.pole_pitch, "pole_pitch");
  expect_same_real(a.slots_per_pole_phase.value(), c.q, "slots_per_pole_phase");
  EXPECT_EQ(a.col_pitch.value(), c.col_pitch);
  EXPECT_EQ(a.row_pitch.value(), c.row_pitch);
  EXPECT_EQ(a.grid_col_offset.value(), c.grid_col_offset);
  EXPECT_EQ(a.grid_row_offset.value(), c.grid_row_offset);
  EXPECT_EQ(a.step_delay.value(), 1.0f);
  EXPECT_EQ(reports(run.boxes()), c.reports);
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Inputs, DerivedValues,
    ::testing::Values(
        DerivedCase{"24", "4", 6, 2, 15, 3, 4, 2, {}},
        DerivedCase{"25", "4", 6.25f, static_cast<float>(6.25L / 3), 15, 3, 0, 0, {}},
        DerivedCase{"36", "4", 9, 3, 15, 2, 4, 4, {}},
        // A positive Z over 0: infinities, no report before the first step.
        DerivedCase{"24", "0", kInf, kInf, 74, 0, 0, 0, {}},
        // 0 over 0: 22 / NaN cannot be rounded to 16 bits.
        DerivedCase{"0", "0", kNaN, kNaN, 74, 0, 0, 0, {{6, 102}}},
        DerivedCase{"", "", kNaN, kNaN, 74, 0, 0, 0, {{6, 102}}},
        // -1: 74 / 0.
        DerivedCase{"24", "-1", -24, -8, 0, -1, 0, 0, {{6, 101}}}),
    derived_case_name);

TEST(Row3, ValuesAfterTheLabels) {
  const std::string inf = single_to_text(kInf) + " ";
  struct Case {
    const char* slots;
    const char* poles;
    std::string row3;    // without the value after " m = "
    std::string m_item;  // on row 3 from column 72 when it fits, else row 4
  } cases[] = {
      {"24", "4",
       row_of({{7, " Z=24"}, {22, " p'=4"}, {37, " y1=   6 "}, {52, " z= 6 "}, {67, " m = "}}),
       " 2 "},
      // Ten cells do not fit after column 71.
      {"25", "4",
       row_of({{7, " Z=25"}, {22, " p'=4"}, {37, " y1=   6.25 "}, {52, " z= 6.25 "}, {67, " m = "}}),
       " 2.083333 "},
      {"24", "0",
       row_of({{7, " Z=24"}, {22, " p'=0"}, {37, " y1=  " + inf}, {52, " z=" + inf}, {67, " m = "}}),
       inf},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.slots) + " / " + c.poles);
    AnimatorRun run;
    run.answer(c.slots, c.poles);
    run.h.close_at(600);
    run.run_opening();
    const bool fits = 71 + c.m_item.size() <= 80;
    const std::string row3 = fits ? row_of({{1, c.row3}, {72, c.m_item}}) : c.row3;
    const std::string row4 = fits ? row_of({}) : row_of({{1, c.m_item}});
    EXPECT_EQ(row_text(run.page(), 3), row3);
    EXPECT_EQ(row_text(run.page(), 4), row4);
    // Prompts and typed numbers in yellow, labels and values in light cyan.
    for (int col : {8, 10, 24, 26}) EXPECT_EQ(cell_colour(run.page(), 3, col), 14) << col;
    for (int col : {38, 44, 53, 56, 68}) EXPECT_EQ(cell_colour(run.page(), 3, col), 11) << col;
  }
}

TEST(Inputs, CloseDuringTheSecondInputParksThere) {
  AnimatorRun run;
  run.h.enqueue("24\r7", 0);
  run.h.close_at(500);
  EXPECT_EQ(run.run_opening(), RunEnd::Parked);
  EXPECT_EQ(run.animator.slot_count.value(), 24.0f);
  EXPECT_EQ(run.animator.phase_count.value(), 0.0f);  // line 59 never ran
  EXPECT_EQ(row_text(run.page(), 3, 22, 26), " p'=7");
  EXPECT_EQ(row_text(run.page(), 3, 37, 80), std::string(44, ' '));
}

// Offsets of the tables and the marks by slots_per_pole_phase.
TEST(Offsets, ByThePoleAndPhaseSlotCount) {
  struct Case {
    const char* slots;  // over one pole pair: q = Z / 3
    float q, grid_col, grid_row, mark_col, mark_row;
  } cases[] = {
      {"3", 1, 2, 2, 2, 5},   {"6", 2, 4, 2, 4, 4},   {"9", 3, 4, 4, 4, 5},
      {"12", 4, 5, -1, 5, 0}, {"15", 5, 5, 7, 5, 7},  {"18", 6, 5, 5, 5, 5},
      {"21", 7, 5, 3, 5, 3},  {"24", 8, 5, 2, 5, 2},  {"7.5", 2.5f, 0, 0, 0, 0},
      {"0", 0, 0, 0, 0, 0},   {"27", 9, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("Z=") + c.slots);
    AnimatorRun run;
    open_without_reports(run, c.slots, "1");
    const Animator& a = run.animator;
    EXPECT_EQ(a.slots_per_pole_phase.value(), c.q);
    EXPECT_EQ(a.grid_col_offset.value(), c.grid_col);
    EXPECT_EQ(a.grid_row_offset.value(), c.grid_row);
    EXPECT_EQ(a.mark_col_offset.value(), c.mark_col);
    EXPECT_EQ(a.mark_row_offset.value(), c.mark_row);
  }
}

// ---------------------------------------------------------------------------
// Inputs that never finish the first table: a report at every step, and a
// close request still ends the run.

TEST(EndlessTable, ReportAtEveryStepUntilClosed) {
  struct Case {
    const char* slots;
    const char* poles;
    std::vector<Report> first;
  } cases[] = {{"24", "0", {}}, {"0", "0", {{6, 102}}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.slots) + " / " + c.poles);
    AnimatorRun run;
    run.answer(c.slots, c.poles);
    std::vector<int64_t> report_times;
    run.boxes().on_show = [&](const ShownBox& b) {
      if (b.text.rfind("Line:124\n", 0) == 0) report_times.push_back(run.h.now_ms());
    };
    run.h.close_at(40'500);
    EXPECT_EQ(run.run_opening(), RunEnd::Parked);
    std::vector<Report> want = c.first;
    const auto steps = repeated({5, 124}, 40);
    want.insert(want.end(), steps.begin(), steps.end());
    EXPECT_EQ(reports(run.boxes()), want);
    for (size_t i = 1; i < report_times.size(); ++i)
      EXPECT_NEAR(report_times[i] - report_times[i - 1], 1000, 5) << "step " << i;
    // The numbers, black on black, run down from row 4 and scroll the page
    // from row 29 on: by now everything printed and drawn has scrolled away.
    EXPECT_EQ(run.animator.colour.value(), 0.0f);
    EXPECT_EQ(run.page().cursor_row, 29);
    EXPECT_EQ(set_pixels(run.page(), 0, 0, 639, 479).size(), 0u);
  }
}

TEST(NoRows, NegativePoleCountReportsLine101AndDrawsNoTable) {
  AnimatorRun run;
  run.answer("24", "-1");
  EXPECT_EQ(run.run_opening(), RunEnd::Returned);
  EXPECT_EQ(reports(run.boxes()), (std::vector<Report>{{6, 101}}));
  EXPECT_EQ(run.animator.pole.value(), 1.0f);  // the loops ran no pass
  EXPECT_EQ(run.animator.slot_no.value(), 0.0f);
  for (int row = 4; row <= 29; ++row) EXPECT_EQ(row_text(run.page(), row), std::string(80, ' '));
}

// ---------------------------------------------------------------------------
// The two number tables.

struct TableLayout {
  const char* slots;
  const char* poles;
  int per_column;
  std::vector<int> pass1_cols, pass2_cols, rows, colours;
};

// Every number of both tables at its place and in its band's colour, each
// number of the second table with its stroke, and nothing else on the rows.
void expect_tables(const ScreenPage& page, const TableLayout& t) {
  const int z = std::stoi(t.slots);
  PixelSet strokes;
  std::map<Pixel, std::pair<char, int>> cells;  // (row, col) -> (char, colour)
  for (const auto* cols : {&t.pass1_cols, &t.pass2_cols}) {
    for (size_t p = 0; p < cols->size(); ++p) {
      for (int r = 0; r < t.per_column; ++r) {
        const std::string text = item((static_cast<int>(p) * t.per_column + r) % z + 1);
        for (size_t i = 0; i < text.size(); ++i)
          cells[{t.rows[r], (*cols)[p] + static_cast<int>(i)}] = {text[i], t.colours[r]};
      }
    }
  }
  for (size_t p = 0; p < t.pass2_cols.size(); ++p) {
    for (int r = 0; r < t.per_column; ++r) {
      for (const Pixel& px : stroke_pixels(t.rows[r], t.pass2_cols[p])) {
        strokes.insert(px);
        EXPECT_EQ(page.pixel(px.first, px.second), t.colours[r])
            << "stroke pixel " << px.first << "," << px.second;
      }
    }
  }
  for (int row : t.rows) {
    for (int col = 1; col <= 80; ++col) {
      const auto it = cells.find({row, col});
      const char ch = it == cells.end() ? ' ' : it->second.first;
      const int colour = it == cells.end() ? 0 : it->second.second;
      EXPECT_EQ(cell_mismatch(page, row, col, ch, colour, strokes), "");
    }
  }
}

TEST(Tables, PositionsColoursAndStrokes) {
  const TableLayout layouts[] = {
      // q = 2: five columns, the fifth repeating 1 to 6.
      {"24", "4", 6, {12, 27, 42, 57, 72}, {8, 23, 38, 53, 68}, {7, 10, 16, 19, 25, 28},
       {15, 15, 9, 9, 12, 12}},
      // q = 10/9: three numbers per column, bands 1, 1, 2, offsets 0.
      {"10", "3", 3, {9, 27, 45, 63}, {4, 22, 40, 58}, {6, 10, 18}, {15, 15, 9}},
  };
  for (const TableLayout& t : layouts) {
    SCOPED_TRACE(std::string(t.slots) + " / " + t.poles);
    AnimatorRun run;
    open_without_reports(run, t.slots, t.poles);
    expect_tables(run.page(), t);
  }
}

TEST(Tables, OneNumberPerStepAndThePaceKeys) {
  AnimatorRun run;
  run.answer("24", "4");
  // Taken by the third step's poll: the third and later steps wait half a second.
  run.h.enqueue("+", 1500);
  std::map<int64_t, int> shown;  // time -> count of first-column numbers shown
  for (int64_t t : {900, 1500, 2300, 2700, 3300, 3700}) {
    run.h.at(t, [&, t] {
      int n = 0;
      for (int row : {7, 10, 16, 19, 25, 28}) n += cell_char(run.page(), row, 13) != ' ';
      shown[t] = n;
    });
  }
  run.run_opening();
  EXPECT_EQ(shown, (std::map<int64_t, int>{
                       {900, 0}, {1500, 1}, {2300, 2}, {2700, 3}, {3300, 4}, {3700, 5}}));
}

TEST(Tables, LastColumnAtColumn79WrapsAndScrollsOnce) {
  AnimatorRun run;
  open_without_reports(run, "72", "12");
  const ScreenPage& page = run.page();
  // The last number of the first table went to row 29 and scrolled the page:
  // the first table and the header stand one row higher.
  const int colours[] = {15, 15, 9, 9, 12, 12};
  const int rows[] = {7, 10, 16, 19, 25, 28};
  for (int r = 0; r < 6; ++r) {
    expect_text(page, rows[r], 1, item(r + 1), colours[r]);       // wrapped last column
    expect_text(page, rows[r] - 1, 8, std::to_string(r + 1), colours[r]);  // first column
    expect_text(page, rows[r], 79, std::to_string(r + 1), colours[r]);  // second table
  }
  EXPECT_EQ(row_text(page, 1, 8, 73),
            " Change speed: for 2 x speed press (+), for 0,5 x speed press (-) ");
  EXPECT_EQ(row_text(page, 2, 7, 11), " Z=72");
  EXPECT_EQ(row_text(page, 29), std::string(80, ' '));
}

TEST(Tables, ColumnPastTheGridReportsLine124AndStacksOnRow29) {
  AnimatorRun run;
  run.answer("90", "15");
  // At each report the cursor waits on row 29, column 1, under the number
  // printed before, which the line end scrolled up to row 28.
  std::vector<std::pair<int, int>> cursor_at_report;
  std::string row28_col2;
  run.boxes().on_show = [&](const ShownBox& b) {
    if (b.text.rfind("Line:124\n", 0) != 0) return;
    cursor_at_report.push_back({run.page().cursor_row, run.page().cursor_col});
    row28_col2 += cell_char(run.page(), 28, 2);
  };
  EXPECT_EQ(run.run_opening(), RunEnd::Returned);
  auto want = repeated({5, 124}, 6);
  const auto marks = repeated({5, 197}, 3);  // the marks of column 16 at text column 81
  want.insert(want.end(), marks.begin(), marks.end());
  EXPECT_EQ(reports(run.boxes()), want);
  EXPECT_EQ(cursor_at_report, (std::vector<std::pair<int, int>>(6, {29, 1})));
  EXPECT_EQ(row28_col2, " 12345");
}

TEST(Tables, OnePoleOverwritesTheCreditRowAndScrolls) {
  AnimatorRun run;
  run.answer("27", "1");
  std::string credit_before, hint_before, row1_after_one, row1_after_scroll, row28, row29;
  run.h.at(500, [&] { credit_before = row_text(run.page(), 1, 10, 80); });
  run.h.at(1500, [&] { row1_after_one = row_text(run.page(), 1, 10, 80); });
  run.h.at(26'500, [&] { hint_before = row_text(run.page(), 2, 8, 80); });
  run.h.at(27'500, [&] {
    row1_after_scroll = row_text(run.page(), 1, 8, 80);
    row28 = row_text(run.page(), 28, 18, 21);
    row29 = row_text(run.page(), 29);
  });
  EXPECT_EQ(run.run_opening(), RunEnd::Returned);
  // The first number stands on row 1 in columns 18 to 20, over the credit.
  std::string want = credit_before;
  want.replace(18 - 10, 3, " 1 ");
  EXPECT_EQ(row1_after_one, want);
  // The 27th goes to row 29 and its line end scrolls the page up one row.
  EXPECT_EQ(row1_after_scroll, hint_before);
  EXPECT_EQ(row28, " 27 ");
  EXPECT_EQ(row29, std::string(80, ' '));
  EXPECT_EQ(reports(run.boxes()), std::vector<Report>{});
}

// ---------------------------------------------------------------------------
// The cross-and-dot marks.

struct MarkLayout {
  const char* slots;
  const char* poles;
  std::vector<int> xs, ys;  // ys of bands 1 to 3; a negative y is above the page
};

TEST(Marks, CentresColoursAndAlternation) {
  const MarkLayout layouts[] = {
      {"24", "4", {82, 202, 322, 442, 562}, {57, 201, 345}},
      // q = 4: the first band's marks lie above the page.
      {"60", "5", {74, 170, 266, 362, 458, 554}, {-7, 153, 313}},
      // Offsets 0 for q = 9 and q = 5/3.
      {"27", "1", {114, 410}, {-7, 153, 313}},
      {"10", "2", {74, 274, 474}, {-7, 121, 249}},
  };
  const int colours[] = {15, 9, 12};
  for (const MarkLayout& m : layouts) {
    SCOPED_TRACE(std::string(m.slots) + " / " + m.poles);
    AnimatorRun run;
    open_without_reports(run, m.slots, m.poles);
    int count = 0;
    for (int x : m.xs) {
      for (int b = 0; b < 3; ++b) {
        ++count;
        if (m.ys[b] >= 0) expect_mark(run.page(), x, m.ys[b], count % 2 == 1, colours[b]);
      }
    }
    EXPECT_EQ(run.animator.slot_no.value(), static_cast<float>(count));
    // The last mark placed the cursor at its text position.
    EXPECT_EQ(run.page().cursor_row, (m.ys[2] + 7) / 16);
    EXPECT_EQ(run.page().cursor_col, (m.xs.back() - 2) / 8);
  }
}

TEST(Marks, MarksOnRowZeroLeaveTheCursor) {
  AnimatorRun run;
  run.answer("60", "5");
  // Two tables of 72 steps, then the marks: the fourth mark (band 1 of
  // column 2) is drawn at about 148.1 s.
  std::vector<std::pair<int, int>> cursor;
  for (int64_t t : {147'500, 148'500, 149'500})
    run.h.at(t, [&] { cursor.push_back({run.page().cursor_row, run.page().cursor_col}); });
  run.run_opening();
  EXPECT_EQ(cursor, (std::vector<std::pair<int, int>>{{20, 9}, {20, 9}, {10, 21}}));
}

TEST(Marks, ColumnPastTheGridReportsLine197AndDrawsNothing) {
  AnimatorRun run;
  run.answer("180", "15");
  EXPECT_EQ(run.run_opening(), RunEnd::Returned);
  // Both tables' last columns and the marks of column 16 lie past column 80.
  auto want = repeated({5, 124}, 12);
  const auto second = repeated({5, 150}, 12);
  const auto marks = repeated({5, 197}, 2);
  want.insert(want.end(), second.begin(), second.end());
  want.insert(want.end(), marks.begin(), marks.end());
  EXPECT_EQ(reports(run.boxes()), want);
  EXPECT_EQ(run.animator.slot_no.value(), 48.0f);
  EXPECT_EQ(run.animator.text_col.value(), 82.0f);
}

}  // namespace
}  // namespace ws::test
