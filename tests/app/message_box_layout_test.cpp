// The report box's layout: its size within the screen, the text it shows, its
// buttons, the one Enter takes, and its place beside the main window or in the
// middle of the screen. Expected figures follow from the box's measures: a 24
// pixel text margin, 8 x 16 cells, 88 x 28 buttons 10 apart in a 52 pixel
// band, at least 280 wide, at most the screen less 64 each way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/message_box_layout.h"

namespace ws::test {
namespace {

struct Place {
  int x, y;
};

TEST(MessageBoxLayout, SizeTextButtonsAndPlaceOnTheScreen) {
  const std::string report = "Line:102\nOverflow\nContinue?";
  const std::string long_line(200, 'x');
  std::string many_lines;
  for (int i = 0; i < 100; ++i) many_lines += "Line " + std::to_string(i) + "\n";
  many_lines.pop_back();
  std::vector<std::string> first_22;
  for (int i = 0; i < 22; ++i) first_22.push_back("Line " + std::to_string(i));

  struct Case {
    const char* what;
    std::string text;
    BoxKind kind;
    int screen_width, screen_height;
    int width, height;
    Place at;
    std::vector<std::string> lines;
    std::vector<Place> buttons;
    std::vector<std::string> labels;
    BoxAnswer enter;
  };
  const Case cases[] = {
      {"one line, OK, at the least width, beside the main window",
       "Out of memory", BoxKind::Ok, 1280, 1024, 280, 116, {664, 32},
       {"Out of memory"}, {{180, 76}}, {"OK"}, BoxAnswer::Ok},
      {"several lines, Yes and No at the band's right, Enter takes Yes",
       report, BoxKind::YesNo, 1280, 1024, 280, 148, {664, 32},
       {"Line:102", "Overflow", "Continue?"}, {{82, 108}, {180, 108}}, {"Yes", "No"},
       BoxAnswer::Yes},
      {"a long line widens the box to the screen less the allowance, then is cut, "
       "and the box is centred",
       long_line, BoxKind::Ok, 1280, 1024, 1216, 116, {32, 454},
       {std::string(149, 'x')}, {{1116, 76}}, {"OK"}, BoxAnswer::Ok},
      {"more lines than the screen holds: the box is as high as allowed and shows the "
       "lines that start above the band",
       many_lines, BoxKind::YesNo, 640, 480, 280, 416, {180, 32},
       first_22, {{82, 376}, {180, 376}}, {"Yes", "No"}, BoxAnswer::Yes},
      {"a tiny screen: never narrower than the buttons nor lower than one line",
       report, BoxKind::YesNo, 200, 100, 210, 92, {0, 4},
       {"Line:102"}, {{12, 52}, {110, 52}}, {"Yes", "No"}, BoxAnswer::Yes},
      {"a tiny screen, OK: as wide as the screen allows", report, BoxKind::Ok, 200, 100,
       136, 92, {32, 4}, {"Line:102"}, {{36, 52}}, {"OK"}, BoxAnswer::Ok},
      {"just room beside the main window", "Out of memory", BoxKind::Ok, 944, 600, 280, 116,
       {664, 32}, {"Out of memory"}, {{180, 76}}, {"OK"}, BoxAnswer::Ok},
      {"one pixel short of room beside it: centred", "Out of memory", BoxKind::Ok, 943, 600,
       280, 116, {331, 242}, {"Out of memory"}, {{180, 76}}, {"OK"}, BoxAnswer::Ok},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BoxLayout l = lay_out_box(c.text, c.kind, c.screen_width, c.screen_height);
    EXPECT_EQ(l.width, c.width);
    EXPECT_EQ(l.height, c.height);
    EXPECT_EQ(l.x, c.at.x);
    EXPECT_EQ(l.y, c.at.y);
    EXPECT_EQ(l.lines, c.lines);
    ASSERT_EQ(l.buttons.size(), c.buttons.size());
    for (size_t i = 0; i < l.buttons.size(); ++i) {
      EXPECT_EQ(l.buttons[i].x, c.buttons[i].x) << "button " << i;
      EXPECT_EQ(l.buttons[i].y, c.buttons[i].y) << "button " << i;
      EXPECT_EQ(l.buttons[i].label, c.labels[i]) << "button " << i;
    }
    ASSERT_LT(l.enter, l.buttons.size());
    EXPECT_EQ(l.buttons[l.enter].answer, c.enter);
  }
}

TEST(MessageBoxLayout, AClickAnswersOnlyInsideAButton) {
  const BoxLayout l = lay_out_box("Line:102\nOverflow\nContinue?", BoxKind::YesNo, 1280, 1024);
  // Yes spans 82..169 x 108..135, No 180..267 x 108..135.
  struct Case {
    const char* what;
    int x, y;
    int button;
  };
  const Case cases[] = {
      {"Yes, top-left pixel", 82, 108, 0},
      {"Yes, bottom-right pixel", 169, 135, 0},
      {"left of Yes", 81, 120, -1},
      {"the gap between them", 175, 120, -1},
      {"No, top-left pixel", 180, 108, 1},
      {"No, bottom-right pixel", 267, 135, 1},
      {"right of No", 268, 120, -1},
      {"below the buttons", 200, 136, -1},
      {"above the buttons, in the band", 200, 107, -1},
      {"the text area", 30, 30, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(l.button_at(c.x, c.y), c.button) << c.what;
    if (c.button >= 0) {
      EXPECT_EQ(l.buttons[static_cast<size_t>(c.button)].answer,
                c.button == 0 ? BoxAnswer::Yes : BoxAnswer::No)
          << c.what;
    }
  }
}

}  // namespace
}  // namespace ws::test
