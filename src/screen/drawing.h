// Line and circle drawing into the write page, pixel for pixel.
#pragma once

#include <cstdint>
#include <optional>

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

}  // namespace ws
