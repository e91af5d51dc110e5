// Line and circle drawing on the 640 x 480 page.
#include <benchmark/benchmark.h>

#include "screen/drawing.h"
#include "screen/text.h"
#include "support/headless.h"

namespace {

struct PageRuntime {
  PageRuntime() { ws::set_screen_mode(h.rt, 12); }
  ws::test::Headless h;
};

void BM_CircleRadius15(benchmark::State& state) {
  PageRuntime p;
  for (auto _ : state) {
    ws::draw_circle(p.h.rt, 200, 100, 15, 9);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CircleRadius15);

// The largest circle still drawn: its step count is just within the bound.
// Centred below the page, its top runs along row 240.
void BM_CircleAtStepBound(benchmark::State& state) {
  PageRuntime p;
  const double radius = (static_cast<double>(ws::kMaxCircleSteps) - 1) * 2 / 3.141592653589793;
  for (auto _ : state) {
    ws::draw_circle(p.h.rt, 320, 240 + radius, radius, 9);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CircleAtStepBound)->Unit(benchmark::kMillisecond);

// A line across the whole page, drawn from just beyond its left edge to just
// beyond its right edge, so that both ends are clipped.
void BM_FullWidthLine(benchmark::State& state) {
  PageRuntime p;
  const auto style = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    ws::draw_line(p.h.rt, -10, 240, 700, 250, 12, style);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 640);
}
BENCHMARK(BM_FullWidthLine)->Arg(0xFFFF)->Arg(static_cast<int32_t>(0xFFFFFF00u))->ArgName("style");

}  // namespace
