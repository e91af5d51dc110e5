// Costs of the printing path: the number text, one printed number item, one
// scroll of the text view.
#include <benchmark/benchmark.h>

#include <array>

#include "screen/number_text.h"
#include "screen/text.h"
#include "support/headless.h"

namespace {

// A mix of the forms: zero, integers, fixed with a fraction, exponent form.
constexpr std::array<float, 8> kValues = {0.0f,     24.0f,       -2.5f,     1.0f / 3.0f,
                                          1234.5678f, 12345678.0f, 1.234e-7f, 3.4028235e38f};

void BM_SingleToText(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ws::single_to_text(kValues[i++ % kValues.size()]));
  }
}
BENCHMARK(BM_SingleToText);

// A print statement of one number item and its line end.
void BM_PrintNumberItem(benchmark::State& state) {
  ws::test::Headless h;
  ws::set_screen_mode(h.rt, 12);
  size_t i = 0;
  for (auto _ : state) {
    ws::locate_cursor(h.rt, 5, 1);
    ws::print_statement(h.rt, {ws::PrintItem::num(kValues[i++ % kValues.size()])});
  }
}
BENCHMARK(BM_PrintNumberItem);

// A line end on row 29: rows 2 to 29 move up, row 29 is cleared.
void BM_Scroll(benchmark::State& state) {
  ws::test::Headless h;
  ws::set_screen_mode(h.rt, 12);
  for (auto _ : state) {
    ws::locate_cursor(h.rt, 29, 1);
    ws::start_new_line(h.rt);
  }
}
BENCHMARK(BM_Scroll);

}  // namespace
