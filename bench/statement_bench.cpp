// The statement-end check with nothing pending (one load of event_pending),
// and a conditional of two comparisons that must hold together.
#include <benchmark/benchmark.h>

#include "support/headless.h"
#include "winding/statement.h"

namespace ws::test {
namespace {

class Statements : public Procedure {
 public:
  explicit Statements(Runtime& rt) : Procedure(rt) {}
  void run(int n) {
    for (int i = 0; i < n; ++i) STMT(i, x = static_cast<Real>(x) + 1);
  }
  // As the phase paths' lines 276 and 279: the pair holds on every fourth
  // pass, and then its action and a second check run.
  void run_conditions(int n) {
    for (int i = 0; i < n; ++i) {
      STMT(i, x = static_cast<Real>(x) + 1);
      IF_THEN(i, all({fl(x / 2) * 2 == x, fl(x / 4) * 4 == x}), y = static_cast<Real>(y) + 1);
    }
  }
  Q x, y;
};

void BM_StatementEndCheck(benchmark::State& state) {
  Headless h;
  Statements s(h.rt);
  for (auto _ : state) {
    s.run(1000);
    benchmark::DoNotOptimize(s.x);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_StatementEndCheck);

void BM_TwoComparisonCondition(benchmark::State& state) {
  Headless h;
  Statements s(h.rt);
  for (auto _ : state) {
    s.x = 0;
    s.run_conditions(1000);
    benchmark::DoNotOptimize(s.y);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_TwoComparisonCondition);

}  // namespace
}  // namespace ws::test
