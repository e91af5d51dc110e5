// Line and circle drawing into the write page, pixel for pixel.
#pragma once

#include <cstdint>

namespace ws {

struct Runtime;

// Given-mask bits.
constexpr uint32_t kLineFirstPoint = 1, kLineColour = 8, kLineStyle = 16;
constexpr uint32_t kCircleColour = 2;

// A plain line (box 0) from (x1, y1) to (x2, y2). Colour from the mask's bit
// 8 or the foreground; style (low 16 bits) from bit 16 or solid.
void draw_line(Runtime& rt, float x1, float y1, float x2, float y2, int32_t colour, int32_t box,
               int32_t style, uint32_t given_mask);
// A full circle; start, end and aspect are always absent (0) here.
void draw_circle(Runtime& rt, double x, double y, double r, int32_t colour, double start_angle,
                 double end_angle, double aspect, uint32_t given_mask);

}  // namespace ws
