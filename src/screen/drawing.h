// Line and circle drawing into the write page, pixel for pixel.
#pragma once

#include <cstdint>
#include <optional>

#include "screen/page.h"

namespace ws {

struct Runtime;

// A circle needing more rotation steps than this draws nothing: it bounds the
// work of one call (about 2.7 million pixels of radius, far beyond anything
// that can show on the page as more than a straight stroke).
constexpr int64_t kMaxCircleSteps = int64_t{1} << 22;

// A plain line from (x1, y1) to (x2, y2) in `colour`, or the page's foreground
// when absent. The style's low 16 bits are the pattern, so a sign-extended
// 16-bit value draws the same as its unsigned form; absent, the line is solid
// (a given style of 0 draws nothing). Leaves the last point as it is. Does
// nothing while an error is pending.
void draw_line(Runtime& rt, float x1, float y1, float x2, float y2,
               std::optional<int32_t> colour = {}, std::optional<int32_t> style = {});
// A full circle about (x, y) in `colour`, or the page's foreground when
// absent. Does nothing while an error is pending.
void draw_circle(Runtime& rt, double x, double y, double r, std::optional<int32_t> colour = {});

// A segment after clipping: both ends on the page, and the number of pixels a
// walk from the true start would have taken to reach the clipped start.
struct ClippedSegment {
  int32_t x1, y1, x2, y2;
  int32_t phase;
};

// Clips the segment between two rounded ends against the page's clip
// rectangle. The ends are whole numbers held as doubles, so that ends beyond
// the 32-bit range, infinities and NaNs clip without overflow (a NaN or an
// infinite crossing is never accepted). Empty when nothing is left.
std::optional<ClippedSegment> clip_segment(const ScreenPage& page, double x1, double y1,
                                           double x2, double y2);

// Rounds the ends (ties to even), clips, and walks the segment from its first
// end to its second, writing the pixels whose style bit is set.
void draw_styled_segment(ScreenPage& page, float x1, float y1, float x2, float y2,
                         uint32_t colour, uint16_t style);

// A pixel write that skips any pixel outside the clip rectangle.
inline void plot_clipped_pixel(ScreenPage& page, int32_t x, int32_t y, uint32_t colour) {
  if (x >= page.clip_left && x <= page.clip_right && y >= page.clip_top && y <= page.clip_bottom)
    page.set_pixel(x, y, colour);
}

}  // namespace ws
