// The statement-end check with nothing pending: one load of event_pending.
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
  Q x;
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

}  // namespace
}  // namespace ws::test
