#include "screen/drawing.h"
#include "screen/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "screen/errors.h"
#include "support/headless.h"

namespace ws::test {
namespace {

using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;

// Pixels (from, y) .. (to, y), every step-th one.
PixelSet row(int y, int from, int to, int step = 1) {
  PixelSet s;
  for (int x = from; x <= to; x += step) s.insert({x, y});
  return s;
}
PixelSet column(int x, int from, int to, int step = 1) {
  PixelSet s;
  for (int y = from; y <= to; y += step) s.insert({x, y});
  return s;
}
PixelSet join(std::initializer_list<PixelSet> parts) {
  PixelSet s;
  for (const auto& p : parts) s.insert(p.begin(), p.end());
  return s;
}

class DrawTest : public ::testing::Test {
 protected:
  DrawTest() { set_screen_mode(h.rt, 12); }
  ScreenPage& page() { return h.page(); }
  void clear() { page().fill_pixel_rows(0, page().height, 0); }

  // Every pixel that is not colour 0; all of them must carry `colour`.
  PixelSet lit(int colour) {
    PixelSet s;
    for (int y = 0; y < page().height; ++y)
      for (int x = 0; x < page().width; ++x)
        if (const int c = page().pixel(x, y); c != 0) {
          s.insert({x, y});
          EXPECT_EQ(c, colour) << "at (" << x << ", " << y << ")";
        }
    return s;
  }

  Headless h;
};

constexpr int32_t kDashed = static_cast<int32_t>(0xFFFFFF00u);  // 0xFF00 sign-extended
constexpr int32_t kDotted = static_cast<int32_t>(0xFFFF8888u);  // 0x8888 sign-extended

struct Line {
  float x1, y1, x2, y2;
  uint32_t mask;
  int32_t colour = 0;
  int32_t style = 0;
};

struct LineCase {
  std::string name;
  std::vector<Line> lines;
  PixelSet expected;
  int colour;
};

TEST_F(DrawTest, LinesWriteExactlyTheirPixels) {
  PixelSet dashes_across;  // phase 10: x 6 to 13, 22 to 29, ... up to 637
  for (int x = 6; x <= 639; x += 16) dashes_across.merge(row(240, x, std::min(x + 7, 639)));

  const std::vector<LineCase> cases = {
      {"mark cross, first stroke", {{98, 55, 102, 59, 1}},
       {{98, 55}, {99, 56}, {100, 57}, {101, 58}, {102, 59}}, 15},
      {"mark cross, both strokes share the centre",
       {{98, 55, 102, 59, 1}, {98, 59, 102, 55, 1}},
       {{98, 55}, {99, 56}, {100, 57}, {101, 58}, {102, 59},
        {98, 59}, {99, 58}, {101, 56}, {102, 55}}, 15},
      {"dashed", {{10, 20, 40, 20, 25, 12, kDashed}},
       join({row(20, 10, 17), row(20, 26, 33)}), 12},
      {"dotted", {{10, 20, 40, 20, 25, 12, kDotted}}, row(20, 10, 38, 4), 12},
      {"clipped start carries the pattern phase", {{-5, 100, 20, 100, 25, 12, kDashed}},
       join({row(100, 0, 2), row(100, 11, 18)}), 12},
      {"clipped at both ends", {{-10, 240, 700, 240, 25, 12, kDashed}}, dashes_across, 12},
      {"accumulator rounds half away from zero, 5 by 2", {{0, 0, 5, 2, 1}},
       {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}}, 15},
      {"accumulator rounds half away from zero, 4 by 2", {{0, 0, 4, 2, 1}},
       {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}, 15},
      {"ends round ties to even", {{100.5f, 50, 101.5f, 50, 1}}, row(50, 100, 102), 15},
      {"tie at a half stands in the even column", {{100.5f, 60, 100.5f, 70, 1}},
       column(100, 60, 70), 15},
      {"single point, solid", {{300, 300, 300, 300, 1}}, {{300, 300}}, 15},
      {"single point, dotted", {{300, 300, 300, 300, 25, 12, kDotted}}, {{300, 300}}, 12},
      {"single point, dashed", {{300, 300, 300, 300, 25, 12, kDashed}}, {{300, 300}}, 12},
      {"wholly above the page", {{320, -9, 324, -5, 1}}, {}, 15},
      {"crossing no edge within the page", {{700, -10, 650, 500, 1}}, {}, 15},
      {"walk and pattern run from the first point", {{20, 100, -5, 100, 25, 12, kDashed}},
       join({row(100, 13, 20), row(100, 0, 4)}), 12},
      {"phase counted along y for a steep line", {{100, -3, 100, 30, 25, 12, kDotted}},
       column(100, 1, 29, 4), 12},
      {"corner start: right edge refuses, top edge takes it", {{650, -20, 600, 30, 1}},
       [] {
         PixelSet s;
         for (int i = 0; i <= 30; ++i) s.insert({630 - i, i});
         return s;
       }(),
       15},
      {"slope recomputed from the clipped end", {{0, 0, 1000, 3, 1}},
       join({row(0, 0, 159), row(1, 160, 479), row(2, 480, 639)}), 15},
      {"colour number is stored AND 15", {{10, 10, 12, 10, 9, 0x1C}}, row(10, 10, 12), 12},
      {"colour and style count only with their mask bits", {{10, 10, 30, 10, 1, 12, kDotted}},
       row(10, 10, 30), 15},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    clear();
    // In the table's mask, 8 marks a given colour and 16 a given style.
    for (const Line& l : c.lines)
      draw_line(h.rt, l.x1, l.y1, l.x2, l.y2,
                (l.mask & 8) ? std::optional<int32_t>(l.colour) : std::nullopt,
                (l.mask & 16) ? std::optional<int32_t>(l.style) : std::nullopt);
    EXPECT_EQ(lit(c.colour), c.expected);
  }
}

// A quarter circle, from the right end to the top, as |dx|, |dy| offsets;
// each stands for the four pixels about the centre.
PixelSet four_fold(int cx, int cy, const std::vector<Pixel>& quarter) {
  PixelSet s;
  for (auto [dx, dy] : quarter)
    for (int sx : {-1, 1})
      for (int sy : {-1, 1}) s.insert({cx + sx * dx, cy + sy * dy});
  return s;
}

TEST_F(DrawTest, CirclesOfTheAnimatorsRadii) {
  struct Case {
    double radius;
    std::vector<Pixel> quarter;
    size_t count;
  };
  const std::vector<Case> cases = {
      {1, {{1, 0}, {0, 1}}, 4},
      {2, {{2, 0}, {2, 1}, {1, 2}, {0, 2}}, 12},
      {3, {{3, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 3}}, 16},
      {5, {{5, 0}, {5, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}, {1, 5}, {0, 5}}, 28},
      {15, {{15, 0}, {15, 1}, {15, 2}, {15, 3}, {14, 4}, {14, 5}, {14, 6}, {13, 7},
            {12, 8}, {12, 9}, {11, 10}, {10, 11}, {9, 12}, {8, 12}, {7, 13}, {6, 14},
            {5, 14}, {4, 14}, {3, 15}, {2, 15}, {1, 15}, {0, 15}}, 84},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("radius " + std::to_string(c.radius));
    clear();
    draw_circle(h.rt, 200, 100, c.radius, 9);
    const PixelSet got = lit(9);
    EXPECT_EQ(got, four_fold(200, 100, c.quarter));
    EXPECT_EQ(got.size(), c.count);
  }
  // The incremental rotation puts s * R just above -7.5 at k = 8: a point
  // computed afresh from sin(8 d) would land one row higher.
  clear();
  draw_circle(h.rt, 200, 100, 15, 9);
  EXPECT_EQ(page().pixel(208, 88), 9);
  EXPECT_EQ(page().pixel(208, 87), 0);
}

TEST_F(DrawTest, CirclesAtAndBeyondThePageEdge) {
  struct Case {
    std::string name;
    double x, y, r;
    std::optional<int32_t> ink;
    PixelSet expected;
    int colour;
  };
  const std::vector<Case> cases = {
      {"box above the page", 320, -7, 5, 9, {}, 9},
      {"centre left of the page, arc on it", -3, 100, 5, 9,
       join({column(2, 98, 102), {{1, 97}, {1, 103}, {0, 96}, {0, 104}}}), 9},
      // Rounded, the centre -6 and the offset 6 would reach column 0; the box
      // test on the unrounded centre rejects the circle first.
      {"box test uses the unrounded centre", -6.4, 100, 5.5, 9, {}, 9},
      {"centre rounds half away from zero, negative", -0.5, 50, 1, 9,
       {{0, 50}}, 9},
      {"centre rounds half away from zero, positive", 100.5, 60, 1, 9,
       {{102, 60}, {100, 60}, {101, 59}, {101, 61}}, 9},
      {"negative radius draws the positive one", 200, 100, -3, 9,
       four_fold(200, 100, {{3, 0}, {3, 1}, {2, 2}, {1, 3}, {0, 3}}), 9},
      {"radius 0 is the centre alone", 50, 50, 0, 9, {{50, 50}}, 9},
      {"foreground without the colour bit", 200, 100, 1, {}, four_fold(200, 100, {{1, 0}, {0, 1}}),
       15},
      {"bottom right corner", 639, 479, 2, 9,
       {{637, 479}, {637, 478}, {638, 477}, {639, 477}}, 9},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    clear();
    draw_circle(h.rt, c.x, c.y, c.r, c.ink);
    EXPECT_EQ(lit(c.colour), c.expected);
  }
}

TEST_F(DrawTest, HugeCircles) {
  // Radius a million, centre far below the page: the top of the circle is
  // row 240, flat to a twentieth of a pixel across the page.
  draw_circle(h.rt, 320, 240 + 1e6, 1e6, 9);
  EXPECT_EQ(lit(9), row(240, 0, 639));

  // Beyond the step bound nothing is drawn, and the call returns at once.
  clear();
  draw_circle(h.rt, 320, 240, 1e30, 9);
  draw_circle(h.rt, 320, 240 + 1e30, 1e30, 9);
  draw_circle(h.rt, 320, 240 + 4e6, 4e6, 9);
  EXPECT_EQ(lit(9), PixelSet{});
}

TEST_F(DrawTest, NothingIsDrawnWhileAnErrorIsPending) {
  raise_runtime_error(h.rt, 9);
  ASSERT_TRUE(error_pending(h.rt));
  draw_line(h.rt, 10, 10, 100, 50, 12);
  draw_line(h.rt, 10, 20, 100, 20);
  draw_circle(h.rt, 200, 100, 15, 12);
  draw_circle(h.rt, 300, 100, 5);
  EXPECT_EQ(lit(0), PixelSet{});

  // The same calls draw once the error is cleared.
  h.rt.state.error.pending_error = 0;
  draw_line(h.rt, 10, 10, 100, 50, 12);
  draw_circle(h.rt, 200, 100, 15, 12);
  EXPECT_EQ(lit(12).size(), 91u + 84u);
}

// Non-finite coordinates, coordinates beyond 32 bits and ordinary ones, in
// every combination, for lines and circles. With the clip rectangle narrowed
// to an inner rectangle a write past it shows on the page; on the whole page
// the address sanitizer sees any write past the pixels.
TEST_F(DrawTest, HostileCoordinatesStayWithinTheClipRectangle) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> values = {
      std::numeric_limits<float>::quiet_NaN(), inf, -inf, 1e30f, -1e30f, 3e9f, -3e9f,
      2147483648.0f, -2147483648.0f, 16777217.0f, 0, -5, 100.5f, 320, 479, 700,
      std::numeric_limits<float>::max(), -std::numeric_limits<float>::denorm_min()};

  struct Clip {
    int32_t left, top, right, bottom;
  };
  for (const Clip clip : {Clip{100, 100, 539, 379}, Clip{0, 0, 639, 479}}) {
    SCOPED_TRACE("clip " + std::to_string(clip.left) + ", " + std::to_string(clip.top));
    clear();
    page().clip_left = clip.left;
    page().clip_top = clip.top;
    page().clip_right = clip.right;
    page().clip_bottom = clip.bottom;

    for (float x1 : values)
      for (float y1 : values)
        for (float x2 : values)
          for (float y2 : values) draw_line(h.rt, x1, y1, x2, y2);
    for (float x : values)
      for (float y : values)
        for (float r : values) draw_circle(h.rt, x, y, r);
    // A radius beyond the step bound whose box covers the page.
    draw_circle(h.rt, 320, 240, 1e300);
    draw_circle(h.rt, 320, 240, std::numeric_limits<double>::max());

    const PixelSet got = lit(15);
    EXPECT_FALSE(got.empty());
    for (auto [x, y] : got) {
      EXPECT_TRUE(x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom)
          << "(" << x << ", " << y << ")";
    }
  }
}

}  // namespace
}  // namespace ws::test
