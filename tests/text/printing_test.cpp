#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "screen/errors.h"
#include "screen/text.h"
#include "support/headless.h"

namespace ws::test {
namespace {

using Items = std::initializer_list<PrintItem>;

// What a cell range of one text row reads as; '?' stands for the painted
// cells (a drawing that fills them) and ' ' for background.
struct RowText {
  int row;
  int from;
  std::string text;
};

struct Scenario {
  const char* name;
  std::function<void(Runtime&)> act;
  int row, col;  // cursor afterwards
  bool hold;
  std::vector<RowText> rows;
  uint32_t error = 0;
  int foreground = 15;
  int64_t elapsed_ms = 0;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

std::string repeat(char c, int n) { return std::string(static_cast<size_t>(n), c); }
const std::string k80(repeat('X', 80));

// Text rows painted over their whole width before each scenario: they stand
// for drawings under the text, and show what blanks erase and what scrolls.
constexpr int kPaintedRows[] = {3, 30};
constexpr int kPaintColour = 4;

// clang-format off
const Scenario kScenarios[] = {
    // fit_print_item
    {"ItemEndingOnColumn80Holds",
     [](Runtime& rt) { locate_cursor(rt, 5, 77); print_statement(rt, {PrintItem::num(12)}); },
     6, 1, false, {{5, 76, "  12 "}, {6, 1, "    "}}},
    {"ItemPastColumn80StartsANewLine",
     [](Runtime& rt) { locate_cursor(rt, 5, 78); print_statement(rt, {PrintItem::num(12)}); },
     7, 1, false, {{5, 78, "   "}, {6, 1, " 12  "}}},
    {"OverlongItemStartsANewLineThenWraps",
     [](Runtime& rt) { locate_cursor(rt, 5, 2); print_statement(rt, {PrintItem::item(repeat('L', 85))}); },
     8, 1, false, {{5, 1, "  "}, {6, 1, repeat('L', 80)}, {7, 1, "LLLLL "}}},
    {"ItemAtColumn1IsNotMoved",
     [](Runtime& rt) { locate_cursor(rt, 5, 1); print_statement(rt, {PrintItem::item(repeat('L', 85))}); },
     7, 1, false, {{5, 1, repeat('L', 80)}, {6, 1, "LLLLL "}}},
    // The hold flag
    {"HeldCursorPrintsNextItemOnTheNextRow",
     [](Runtime& rt) { print_string(rt, k80, 0); print_statement(rt, {PrintItem::item("AB")}); },
     3, 1, false, {{1, 79, "XX"}, {2, 1, "AB "}}},
    {"LocateClearsTheHoldFlag",
     [](Runtime& rt) { print_string(rt, k80, 0); locate_cursor(rt, 10, 5);
                       print_string(rt, "AB", 0); },
     10, 7, false, {{2, 1, "  "}, {10, 4, " AB "}}},
    {"LineEndAfterHoldMovesOneRow",
     [](Runtime& rt) { print_string(rt, k80, 0); print_string(rt, "", 1); },
     2, 1, false, {{1, 1, k80}}},
    {"EmptyTextWithoutLineEndKeepsTheHold",
     [](Runtime& rt) { print_string(rt, k80, 0); print_string(rt, "", 0); },
     1, 80, true, {{1, 1, k80}}},
    {"Text80Holds",
     [](Runtime& rt) { locate_cursor(rt, 5, 1); print_string(rt, k80, 0); },
     5, 80, true, {{5, 1, k80}, {6, 1, " "}}},
    {"Text100Wraps",
     [](Runtime& rt) { locate_cursor(rt, 5, 1); print_string(rt, repeat('W', 100), 0); },
     6, 21, false, {{5, 1, repeat('W', 80)}, {6, 1, repeat('W', 20) + " "}}},
    {"Text80WithLineEndMovesOneRow",
     [](Runtime& rt) { locate_cursor(rt, 5, 1); print_string(rt, k80, 1); },
     6, 1, false, {{5, 1, k80}, {6, 1, " "}}},
    // advance_print_zone
    {"ZoneFrom41",
     [](Runtime& rt) { locate_cursor(rt, 3, 41); advance_print_zone(rt); },
     3, 43, false, {{3, 40, "?  ?"}}},
    {"ZoneFrom43",
     [](Runtime& rt) { locate_cursor(rt, 3, 43); advance_print_zone(rt); },
     3, 57, false, {{3, 42, "?" + repeat(' ', 14) + "?"}}},
    {"ZoneFrom58",
     [](Runtime& rt) { locate_cursor(rt, 3, 58); advance_print_zone(rt); },
     3, 80, false, {{3, 57, "?" + repeat(' ', 22) + "?"}}},
    {"ZoneFrom80",
     [](Runtime& rt) { locate_cursor(rt, 3, 80); advance_print_zone(rt); },
     3, 80, true, {{3, 78, "?? "}, {4, 1, " "}}},
    {"ZoneWhileHeldOnlyStartsANewLine",
     [](Runtime& rt) { locate_cursor(rt, 3, 1); print_string(rt, k80, 0); advance_print_zone(rt); },
     4, 1, false, {{3, 1, k80}}},
    {"StatementOfItemsAndZones",
     [](Runtime& rt) { print_statement(rt, {PrintItem::item("A"), PrintItem::zone(), PrintItem::num(-2.5f),
                                            PrintItem::num(3)}); },
     2, 1, false, {{1, 1, "A" + repeat(' ', 13) + "-2.5  3  "}}},
    {"StatementEndingInZoneHasNoLineEnd",
     [](Runtime& rt) { print_statement(rt, {PrintItem::item("A"), PrintItem::zone()}); },
     1, 15, false, {{1, 1, "A" + repeat(' ', 14)}}},
    {"EmptyStatementIsALineEnd",
     [](Runtime& rt) { locate_cursor(rt, 5, 9); print_statement(rt, {}); },
     6, 1, false, {}},
    // start_new_line and the text view
    {"LineEndOnRow29Scrolls",
     [](Runtime& rt) { locate_cursor(rt, 1, 1); print_string(rt, "LOST", 0);
                       locate_cursor(rt, 2, 1); print_string(rt, "UP", 0);
                       locate_cursor(rt, 29, 1); print_statement(rt, {PrintItem::item("LAST")}); },
     29, 1, false, {{1, 1, "UP  "}, {2, 1, repeat('?', 80)}, {3, 1, repeat(' ', 80)},
                    {28, 1, "LAST "}, {29, 1, repeat(' ', 80)}, {30, 1, repeat('?', 80)}}},
    {"PrintingOnRow30",
     [](Runtime& rt) { locate_cursor(rt, 30, 1); print_string(rt, "END", 0); },
     30, 4, false, {{30, 1, "END??"}, {3, 1, "?"}}},
    {"LineEndOnRow30ScrollsTheViewOnly",
     [](Runtime& rt) { locate_cursor(rt, 30, 1); print_string(rt, "END", 1); },
     29, 1, false, {{30, 1, "END??"}, {2, 1, repeat('?', 80)}, {29, 1, " "}}},
    {"EndPromptViewClearsRow30Only",
     [](Runtime& rt) { set_text_view(rt, 30, 30); print_string(rt, "", 1); },
     30, 1, false, {{30, 1, repeat(' ', 80)}, {3, 1, repeat('?', 80)}}},
    {"EndPromptViewPrintsOnRow30",
     [](Runtime& rt) { set_text_view(rt, 30, 30); print_string(rt, "", 1); print_string(rt, "Press", 0); },
     30, 6, false, {{30, 1, "Press "}, {3, 1, "?"}}},
    // Bytes that draw nothing
    {"BellPausesWithoutDrawing",
     [](Runtime& rt) { locate_cursor(rt, 3, 5); print_string(rt, "A\aB", 0); },
     3, 7, false, {{3, 4, "?AB?"}}, 0, 15, 250},
    {"BellAloneChangesNothing",
     [](Runtime& rt) { locate_cursor(rt, 3, 5); print_string(rt, "\a", 0); },
     3, 5, false, {{3, 1, repeat('?', 80)}}, 0, 15, 250},
    {"EmptyTextChangesNothing",
     [](Runtime& rt) { locate_cursor(rt, 3, 5); print_string(rt, "", 0); },
     3, 5, false, {{3, 1, repeat('?', 80)}}},
    // Cursor and colour: accepted values and error 5 with the state kept
    {"LocateRow30Column1",
     [](Runtime& rt) { print_string(rt, k80, 0); locate_cursor(rt, 30, 1); },
     30, 1, false, {}},
    {"LocateRow31", [](Runtime& rt) { print_string(rt, k80, 0); locate_cursor(rt, 31, 1); },
     1, 80, true, {}, 5},
    {"LocateRow0", [](Runtime& rt) { locate_cursor(rt, 7, 9); locate_cursor(rt, 0, 1); },
     7, 9, false, {}, 5},
    {"LocateColumn0", [](Runtime& rt) { locate_cursor(rt, 7, 9); locate_cursor(rt, 5, 0); },
     7, 9, false, {}, 5},
    {"LocateColumn81", [](Runtime& rt) { locate_cursor(rt, 7, 9); locate_cursor(rt, 5, 81); },
     7, 9, false, {}, 5},
    {"LocateAboveTheEndPromptView",
     [](Runtime& rt) { set_text_view(rt, 30, 30); locate_cursor(rt, 29, 1); },
     30, 1, false, {}, 5},
    {"ColourPrintsInTheForeground",
     [](Runtime& rt) { set_text_colors(rt, 14); locate_cursor(rt, 3, 1); print_string(rt, "Y", 0); },
     3, 2, false, {{3, 1, "Y?"}}, 0, 14},
    {"Colour15", [](Runtime& rt) { set_text_colors(rt, 3); set_text_colors(rt, 15); },
     1, 1, false, {}, 0, 15},
    {"Colour16", [](Runtime& rt) { set_text_colors(rt, 12); set_text_colors(rt, 16); },
     1, 1, false, {}, 5, 12},
    {"ColourMinus1", [](Runtime& rt) { set_text_colors(rt, 12); set_text_colors(rt, -1); },
     1, 1, false, {}, 5, 12},
    {"TextViewOutOfRange", [](Runtime& rt) { locate_cursor(rt, 7, 9); set_text_view(rt, 30, 31); },
     7, 9, false, {}, 5},
    // A pending error: the first error stays, and nothing else happens
    {"PendingErrorStopsEveryOperation",
     [](Runtime& rt) {
       locate_cursor(rt, 3, 2);
       raise_runtime_error(rt, 6);
       set_text_colors(rt, 3);
       set_text_colors(rt, 99);
       locate_cursor(rt, 10, 10);
       print_string(rt, "X", 1);
       set_text_view(rt, 30, 30);
       set_screen_mode(rt, 12);
       advance_print_zone(rt);  // must return although nothing can be printed
       print_statement(rt, {PrintItem::item("A"), PrintItem::zone(), PrintItem::num(1)});
       print_statement(rt, {});
     },
     3, 2, false, {{3, 1, repeat('?', 80)}}, 6},
};
// clang-format on

class Printing : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    set_screen_mode(h.rt, 12);
    ScreenPage& page = h.page();
    for (int row : kPaintedRows) page.fill_pixel_rows((row - 1) * 16, 16, kPaintColour);
  }
  Headless h;
};

TEST_P(Printing, Scenario) {
  const Scenario& s = GetParam();
  const int64_t start = h.now_ms();
  s.act(h.rt);
  const ScreenPage& page = h.page();
  EXPECT_EQ(page.cursor_row, s.row);
  EXPECT_EQ(page.cursor_col, s.col);
  EXPECT_EQ(page.hold != 0, s.hold);
  EXPECT_EQ(h.rt.state.error.pending_error, s.error);
  EXPECT_EQ(page.foreground, s.foreground);
  EXPECT_EQ(h.now_ms() - start, s.elapsed_ms);
  for (const RowText& r : s.rows) {
    EXPECT_EQ(row_text(page, r.row, r.from, r.from + static_cast<int>(r.text.size()) - 1), r.text)
        << "row " << r.row << " from column " << r.from;
  }
  if (HasFailure()) ADD_FAILURE() << "page: " << dump_page(page, std::string("printing_") + s.name);
}

INSTANTIATE_TEST_SUITE_P(Text, Printing, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// A glyph fills its whole cell: set pixels in the foreground, all others in
// the background, whatever was drawn there before.
TEST(DrawGlyph, FillsTheWholeCell) {
  Headless h;
  set_screen_mode(h.rt, 12);
  ScreenPage& page = h.page();
  page.fill_pixel_rows(16 * 4, 16, 9);
  set_text_colors(h.rt, 14);
  locate_cursor(h.rt, 5, 80);
  draw_glyph(h.rt, 0x45);  // 'E'
  const uint8_t rows[16] = {0, 0, 0xfe, 0x66, 0x62, 0x68, 0x78, 0x68, 0x60, 0x62, 0x66, 0xfe, 0, 0, 0, 0};
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int expected = (rows[y] & (0x80 >> x)) ? 14 : 0;
      ASSERT_EQ(page.pixel(79 * 8 + x, 4 * 16 + y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(page.pixel(78 * 8 + 7, 4 * 16), 9);  // the cell to the left is untouched
}

// A cursor outside the grid (the record's fields are plain data) draws nothing.
TEST(DrawGlyph, CursorOutsideTheGridDrawsNothing) {
  Headless h;
  set_screen_mode(h.rt, 12);
  ScreenPage& page = h.page();
  const int16_t cursors[][2] = {{0, 1}, {31, 1}, {1, 0}, {1, 81}, {-5, -5}, {32767, 32767}};
  for (const auto& c : cursors) {
    page.cursor_row = c[0];
    page.cursor_col = c[1];
    draw_glyph(h.rt, 0xDB);
  }
  int set = 0;
  for (int k = 0; k < page.word_count(); ++k) set += page.word(k) != 0;
  EXPECT_EQ(set, 0);
}

// A scroll moves rows 2 to 29 up as pixels: a drawing that straddles rows
// keeps its shape, shifted by 16 pixel rows.
TEST(StartNewLine, ScrollMovesDrawingsPixelForPixel) {
  Headless h;
  set_screen_mode(h.rt, 12);
  ScreenPage& page = h.page();
  for (int y = 0; y < 480; ++y) page.set_pixel((y * 7) % 640, y, 1 + y % 15);
  locate_cursor(h.rt, 29, 1);
  start_new_line(h.rt);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      int expected;
      if (y < 448) {
        expected = x == ((y + 16) * 7) % 640 ? 1 + (y + 16) % 15 : 0;
      } else if (y < 464) {
        expected = 0;
      } else {
        expected = x == (y * 7) % 640 ? 1 + y % 15 : 0;
      }
      ASSERT_EQ(page.pixel(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(page.cursor_row, 29);
  EXPECT_EQ(page.cursor_col, 1);
}

TEST(SetScreenMode, CreatesTheGraphicsPage) {
  Headless h;
  const ScreenPage* text_screen = &h.page();
  set_screen_mode(h.rt, 12);
  const ScreenPage& page = h.page();
  EXPECT_NE(&page, text_screen);
  EXPECT_EQ(&h.rt.pages.write_page(), &page);
  EXPECT_EQ(&h.rt.pages.page(), &page);
  EXPECT_EQ(page.width, 640);
  EXPECT_EQ(page.height, 480);
  EXPECT_EQ(page.mode, 12);
  EXPECT_EQ(page.foreground, 15);
  EXPECT_EQ(page.view_top, 1);
  EXPECT_EQ(page.view_bottom, 29);
  EXPECT_EQ(page.cursor_row, 1);
  EXPECT_EQ(page.cursor_col, 1);
  EXPECT_EQ(page.palette(9), 0xFF5555FFu);
  EXPECT_EQ(h.rt.state.error.pending_error, 0u);
}

TEST(SetScreenMode, TakesTheDisplayLockWhileTheFrameThreadRuns) {
  Headless h;
  const ScreenPage* text_screen = &h.page();
  h.rt.state.frame_thread_running = true;
  h.rt.pages.frame_valid = true;
  h.clock.record_sleeps = true;
  bool granted = false;
  // The frame thread's part: it finds the request and grants it, and until
  // then the old page is still the one shown.
  h.at(1, [&] {
    EXPECT_EQ(h.rt.pages.display_lock().state(), DisplayLockState::Requested);
    EXPECT_EQ(&h.rt.pages.display_page(), text_screen);
    EXPECT_TRUE(h.rt.pages.display_lock().grant());
    granted = true;
  });
  set_screen_mode(h.rt, 12);
  EXPECT_TRUE(granted);
  EXPECT_EQ(h.rt.pages.display_lock().state(), DisplayLockState::Free);
  EXPECT_FALSE(h.rt.pages.frame_valid.load());
  EXPECT_EQ(h.page().mode, 12);
  ASSERT_FALSE(h.clock.sleeps.empty());
  for (int64_t ms : h.clock.sleeps) EXPECT_EQ(ms, 0);
}

// Selecting the mode already shown keeps the page (nothing is released, so
// no lock is needed) and has the next frame built.
TEST(SetScreenMode, SameModeKeepsThePage) {
  Headless h;
  set_screen_mode(h.rt, 12);
  const ScreenPage* page = &h.page();
  locate_cursor(h.rt, 7, 9);
  h.rt.state.frame_thread_running = true;
  h.rt.pages.frame_valid = true;
  bool lock_taken = false;  // granted, so that a wrong wait fails instead of hanging
  h.at(1, [&] {
    lock_taken = h.rt.pages.display_lock().grant();
  });
  set_screen_mode(h.rt, 12);
  EXPECT_FALSE(lock_taken);
  EXPECT_EQ(&h.page(), page);
  EXPECT_EQ(h.page().cursor_row, 7);
  EXPECT_EQ(h.rt.pages.display_lock().state(), DisplayLockState::Free);
  EXPECT_FALSE(h.rt.pages.frame_valid.load());
}

TEST(SetScreenMode, DoesNothingWhileAnErrorIsPending) {
  Headless h;
  const ScreenPage* text_screen = &h.page();
  raise_runtime_error(h.rt, 9);
  set_screen_mode(h.rt, 12);
  EXPECT_EQ(&h.page(), text_screen);
  EXPECT_EQ(h.rt.state.error.pending_error, 9u);
}

TEST(SetScreenMode, OtherModesAreRefused) {
  Headless h;
  const ScreenPage* text_screen = &h.page();
  set_screen_mode(h.rt, 13);
  EXPECT_EQ(&h.page(), text_screen);
  EXPECT_EQ(h.rt.state.error.pending_error, 5u);
}

}  // namespace
}  // namespace ws::test
