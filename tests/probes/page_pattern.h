// The picture the page probe draws and the window tests expect: every colour
// number, and a one-pixel checkerboard so that a shift or a scaling by a
// single pixel shows.
#pragma once

namespace ws::test {

inline int page_pattern(int x, int y) { return (x / 8 + (y / 8) * 3 + ((x ^ y) & 1)) & 15; }

// The block the probe repaints on each key it receives (top left corner).
constexpr int kKeyBlockSize = 32;

}  // namespace ws::test
