#include "screen/drawing.h"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "screen/real.h"
#include "screen/runtime.h"
#include "screen/text.h"

namespace ws {

namespace {

constexpr double kPi = 3.141592653589793;

// A segment after clipping: both ends on the page, and the number of pixels a
// walk from the true start would have taken to reach the clipped start.
struct ClippedSegment {
  int32_t x1, y1, x2, y2;
  int32_t phase;
};

// A pixel write that skips any pixel outside the clip rectangle.
void plot_clipped_pixel(ScreenPage& page, int32_t x, int32_t y, uint32_t colour) {
  if (x >= page.clip_left && x <= page.clip_right && y >= page.clip_top && y <= page.clip_bottom)
    page.set_pixel(x, y, colour);
}

struct Spot {
  double x, y;
};

struct ClipRect {
  double left, top, right, bottom;

  explicit ClipRect(const ScreenPage& page)
      : left(page.clip_left), top(page.clip_top), right(page.clip_right),
        bottom(page.clip_bottom) {}
  bool contains(Spot p) const {
    return left <= p.x && p.x <= right && top <= p.y && p.y <= bottom;
  }
};

// A crossing on an edge, as a pixel position: single precision, then the
// nearest whole number (ties to even). Only called for a crossing already
// accepted, so the value lies on the page.
double crossing_pixel(double v) { return std::nearbyint(static_cast<float>(v)); }

// Moves end p of the segment from p to q onto the first edge of the clip
// rectangle that accepts it, trying right, left, top, bottom. Each crossing is
// tested before it is rounded; a NaN crossing fails every test.
std::optional<Spot> move_onto_edge(Spot p, Spot q, const ClipRect& c) {
  if (p.x > c.right && q.x < p.x) {
    const double yc = p.y + (p.x - c.right) * ((q.y - p.y) / std::fabs(q.x - p.x));
    if (c.top <= yc && yc <= c.bottom) return Spot{c.right, crossing_pixel(yc)};
  }
  if (p.x < c.left && q.x > p.x) {
    const double yc = p.y + (c.left - p.x) * ((q.y - p.y) / std::fabs(q.x - p.x));
    if (c.top <= yc && yc <= c.bottom) return Spot{c.left, crossing_pixel(yc)};
  }
  if (p.y < c.top && q.y > p.y) {
    const double xc = p.x + (c.top - p.y) * ((q.x - p.x) / std::fabs(q.y - p.y));
    if (c.left <= xc && xc <= c.right) return Spot{crossing_pixel(xc), c.top};
  }
  if (p.y > c.bottom && q.y < p.y) {
    const double xc = p.x + (p.y - c.bottom) * ((q.x - p.x) / std::fabs(q.y - p.y));
    if (c.left <= xc && xc <= c.right) return Spot{crossing_pixel(xc), c.bottom};
  }
  return std::nullopt;
}

// Clips the segment between two rounded ends against the page's clip
// rectangle. The ends are whole numbers held as doubles, so that ends beyond
// the 32-bit range, infinities and NaNs clip without overflow (a NaN or an
// infinite crossing is never accepted). Empty when nothing is left.
std::optional<ClippedSegment> clip_segment(const ScreenPage& page, double x1, double y1,
                                           double x2, double y2) {
  const ClipRect c(page);
  Spot start{x1, y1};
  Spot end{x2, y2};
  double lag = 0;
  if (!c.contains(start)) {
    if (start.x == end.x && start.y == end.y) return std::nullopt;
    if ((start.x < c.left && end.x < c.left) || (start.x > c.right && end.x > c.right) ||
        (start.y < c.top && end.y < c.top) || (start.y > c.bottom && end.y > c.bottom))
      return std::nullopt;
    const auto moved = move_onto_edge(start, end, c);
    if (!moved) return std::nullopt;
    lag = std::fmax(std::fabs(start.x - moved->x), std::fabs(start.y - moved->y));
    start = *moved;
  }
  if (!c.contains(end)) {
    const auto moved = move_onto_edge(end, start, c);
    if (!moved) return std::nullopt;
    end = *moved;
  }
  // An accepted start is finite, so the lag is too; only its remainder
  // matters to the pattern.
  const int32_t phase = std::isfinite(lag) ? static_cast<int32_t>(std::fmod(lag, 16.0)) : 0;
  return ClippedSegment{static_cast<int32_t>(start.x), static_cast<int32_t>(start.y),
                        static_cast<int32_t>(end.x), static_cast<int32_t>(end.y), phase};
}

// Rounds the ends (ties to even), clips, and walks the segment from its first
// end to its second, writing the pixels whose style bit is set.
void draw_styled_segment(ScreenPage& page, float x1, float y1, float x2, float y2,
                         uint32_t colour, uint16_t style) {
  const auto seg = clip_segment(page, std::nearbyint(x1), std::nearbyint(y1),
                                std::nearbyint(x2), std::nearbyint(y2));
  if (!seg) return;

  // The style in both halves of a word, so that rotating it runs through the
  // 16 bits from the most significant one, starting at the phase.
  uint32_t pattern = std::rotl(uint32_t{style} * 0x10001u, seg->phase % 16);

  // Whole pixels along the major axis (x when the line is mostly horizontal),
  // a single-precision accumulator across it. Over at most 640 steps the
  // accumulator drifts by far less than half a pixel, so every pixel lies
  // between the clipped ends, on the page.
  const int32_t dx = std::abs(seg->x2 - seg->x1), dy = std::abs(seg->y2 - seg->y1);
  const bool x_major = dx > dy;
  const int32_t count = x_major ? dx : dy;
  const int32_t major_end = x_major ? seg->x2 : seg->y2;
  int32_t major = x_major ? seg->x1 : seg->y1;
  const int32_t major_step = major_end < major ? -1 : 1;
  const int32_t minor_span = x_major ? seg->y2 - seg->y1 : seg->x2 - seg->x1;
  const float slope = count == 0 ? 0.0f : static_cast<float>(static_cast<Real>(minor_span) / count);
  float minor = static_cast<float>(x_major ? seg->y1 : seg->x1);

  for (int32_t i = 0; i <= count; ++i) {
    pattern = std::rotl(pattern, 1);
    if (pattern & 1u) {
      const auto across = static_cast<int32_t>(std::round(minor));  // half away from zero
      if (x_major)
        plot_pixel(page, major, across, colour);
      else
        plot_pixel(page, across, major, colour);
    }
    major += major_step;
    minor += slope;
  }
}

}  // namespace

void draw_line(Runtime& rt, float x1, float y1, float x2, float y2,
               std::optional<int32_t> colour, std::optional<int32_t> style) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  const auto ink = static_cast<uint32_t>(colour.value_or(page.foreground));
  const auto bits = style ? static_cast<uint16_t>(static_cast<uint32_t>(*style)) : uint16_t{0xFFFF};
  draw_styled_segment(page, x1, y1, x2, y2, ink, bits);
}

void draw_circle(Runtime& rt, double x, double y, double r, std::optional<int32_t> colour) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  const auto ink = static_cast<uint32_t>(colour.value_or(page.foreground));

  // A circle with a centre or radius beyond this magnitude fails the box test
  // below or needs more than kMaxCircleSteps steps; leaving first keeps every
  // conversion that follows in range. The test is also false for a NaN.
  constexpr double kFar = 1e15;
  if (!(std::fabs(x) <= kFar && std::fabs(y) <= kFar && std::fabs(r) <= kFar)) return;

  // The radius is the distance from x to x + r, the sum rounded to double.
  const auto reach = static_cast<double>(static_cast<Real>(x) + r);
  const Real radius = static_cast<double>(std::fabs(static_cast<Real>(reach) - x));

  // The box of the circle, from the unrounded centre, against the clip rectangle.
  if (x + radius + 0.5L < page.clip_left || y + radius + 0.5L < page.clip_top ||
      x - radius - 0.5L > page.clip_right || y - radius - 0.5L > page.clip_bottom)
    return;

  const auto circumference = static_cast<double>(2.0L * kPi * radius);
  const Real steps = std::trunc(circumference / 4.0L + 0.5L);
  if (steps > kMaxCircleSteps) return;
  const auto n = static_cast<int64_t>(steps);
  double cosd = 1.0, sind = 0.0;
  if (n > 0) {
    const auto d = static_cast<double>(kPi / 2.0L / n);
    cosd = static_cast<double>(std::cos(static_cast<Real>(d)));
    sind = static_cast<double>(std::sin(static_cast<Real>(d)));
  }

  // Past the box test |x| and |y| are below radius + 640, and the step bound
  // keeps the radius below three million: all positions fit in 32 bits. Each
  // conversion to int32_t below cuts toward zero, in one step.
  const auto round_away = [](Real v) {  // halves away from zero
    return static_cast<int32_t>(v >= 0 ? v + 0.5L : v - 0.5L);
  };
  const int32_t cx = round_away(x), cy = round_away(y);

  struct Offset {
    int32_t x, y;  // y is 0 or negative: the quarter runs from the right end to the top
  };
  const auto offset = [radius](double c, double s) {
    return Offset{static_cast<int32_t>(c * radius + 0.5L), static_cast<int32_t>(s * radius - 0.5L)};
  };
  const auto plot = [&](Offset p) {
    plot_clipped_pixel(page, cx + p.x, cy + p.y, ink);
    plot_clipped_pixel(page, cx - p.x, cy + p.y, ink);
    plot_clipped_pixel(page, cx - p.x, cy - p.y, ink);
    plot_clipped_pixel(page, cx + p.x, cy - p.y, ink);
  };

  // Point k comes from k incremental rotations, each evaluated in extended
  // precision and stored as doubles; a point is plotted only when the next one
  // lies more than a pixel from the last plotted one, and the last point always.
  double c = 1.0, s = 0.0;
  Offset last = offset(c, s);
  plot(last);
  Offset pending = last;
  for (int64_t k = 1; k <= n; ++k) {
    const auto next_c = static_cast<double>(static_cast<Real>(c) * cosd + static_cast<Real>(s) * sind);
    s = static_cast<double>(static_cast<Real>(s) * cosd - static_cast<Real>(c) * sind);
    c = next_c;
    const Offset p = offset(c, s);
    if (std::abs(p.x - last.x) > 1 || std::abs(p.y - last.y) > 1) {
      plot(pending);
      last = pending;
    }
    pending = p;
  }
  plot(pending);
}

}  // namespace ws
