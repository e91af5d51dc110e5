// Frame building on the 640 x 480 page: a pass over an unchanged page (one
// comparison of the whole page, then dropped) and over a page whose last
// pixel changed (the comparison runs to the end, then the whole frame is
// converted). Targets: under 40 us and under 300 us.
#include <benchmark/benchmark.h>

#include "screen/frames.h"
#include "screen/text.h"
#include "support/headless.h"

namespace {

void build(ws::test::Headless& h) { ws::build_frame(h.rt.frames, h.rt.pages, h.boxes); }

void draw_pattern(ws::ScreenPage& page) {
  for (int y = 0; y < page.height; ++y)
    for (int x = 0; x < page.width; ++x) page.set_pixel(x, y, (x / 8 + y / 16 + (x ^ y)) & 15);
}

void BM_BuildFrameUnchangedPage(benchmark::State& state) {
  ws::test::Headless h;
  ws::set_screen_mode(h.rt, 12);
  draw_pattern(h.page());
  build(h);
  for (auto _ : state) build(h);
}
BENCHMARK(BM_BuildFrameUnchangedPage)->Unit(benchmark::kMicrosecond);

void BM_BuildFrameChangedPage(benchmark::State& state) {
  ws::test::Headless h;
  ws::set_screen_mode(h.rt, 12);
  ws::ScreenPage& page = h.page();
  draw_pattern(page);
  build(h);
  uint32_t colour = 0;
  for (auto _ : state) {
    page.set_pixel(639, 479, ++colour);
    build(h);
  }
}
BENCHMARK(BM_BuildFrameChangedPage)->Unit(benchmark::kMicrosecond);

}  // namespace
