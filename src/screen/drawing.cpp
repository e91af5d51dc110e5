#include "screen/drawing.h"

#include "screen/runtime.h"

namespace ws {
void draw_line(Runtime&, float, float, float, float, int32_t, int32_t, int32_t, uint32_t) {}
void draw_circle(Runtime&, double, double, double, int32_t, double, double, double, uint32_t) {}
}  // namespace ws
