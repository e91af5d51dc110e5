// The number input's cost per key: the check of the typed text after each
// key, and a refused key with the rebuild of the page it costs.
#include <benchmark/benchmark.h>

#include <string>

#include "screen/number_check.h"
#include "screen/number_input.h"
#include "screen/text.h"
#include "support/headless.h"

namespace {

const std::string kTexts[] = {
    "24",
    "-1.234567E-12",
    "1" + std::string(38, '0'),                // the most integer digits
    "-." + std::string(43, '0') + "12345678",  // the longest decimal fraction
    "&HFFFFFFFFFFFFFFFF",
};

// Every beginning of the text is checked, as when it is typed key by key.
void BM_CheckPerKey(benchmark::State& state) {
  const std::string& text = kTexts[state.range(0)];
  for (auto _ : state) {
    for (size_t n = 1; n <= text.size(); ++n) {
      benchmark::DoNotOptimize(ws::check_typed_number(std::string_view(text.data(), n)));
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetLabel(text.size() > 24 ? text.substr(0, 21) + "..." : text);
}
BENCHMARK(BM_CheckPerKey)->DenseRange(0, std::size(kTexts) - 1);

// One input of a 39-digit number followed by refused keys, each undone by
// rebuilding the page from the start copy.
void BM_RefusedKey(benchmark::State& state) {
  const int refused = 100;
  const std::string digits = "1" + std::string(38, '0');
  for (auto _ : state) {
    ws::test::Headless h;
    float variable = 0;
    h.enqueue(digits + std::string(refused, ',') + "\r", 0, 10);
    h.run([&](ws::Runtime& rt) {
      ws::set_screen_mode(rt, 12);
      ws::print_string(rt, " Z=", 0);
      ws::input_values(rt, variable, 1);
    });
    benchmark::DoNotOptimize(variable);
  }
  state.SetItemsProcessed(state.iterations() * refused);
}
BENCHMARK(BM_RefusedKey)->Unit(benchmark::kMillisecond);

}  // namespace
