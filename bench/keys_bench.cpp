// Costs of the keyboard path on the window thread: one typed key from the
// window library's callback into the key queue (and out again, so the queue
// never fills), and the frame thread's lock-key report when nothing changed.
#include <benchmark/benchmark.h>

#include "support/headless.h"

namespace {

void BM_KeyDownToQueue(benchmark::State& state) {
  ws::test::Headless h;
  ws::KeyPair k;
  for (auto _ : state) {
    ws::on_key_down(h.rt, '+', ws::kModShift);
    ws::on_key_up(h.rt, '+', ws::kModShift);
    h.rt.key_ring.pop(k);
    benchmark::DoNotOptimize(k);
  }
}
BENCHMARK(BM_KeyDownToQueue);

void BM_SpecialKeyWithModifierHeld(benchmark::State& state) {
  ws::test::Headless h;
  ws::on_special_key_down(h.rt, ws::kLibCtrlL);
  ws::KeyPair k;
  for (auto _ : state) {
    ws::on_special_key_down(h.rt, ws::kLibRight);
    ws::on_special_key_up(h.rt, ws::kLibRight);
    h.rt.key_ring.pop(k);
    benchmark::DoNotOptimize(k);
  }
}
BENCHMARK(BM_SpecialKeyWithModifierHeld);

void BM_LockReportUnchanged(benchmark::State& state) {
  ws::test::Headless h;
  ws::report_lock_toggles(h.rt, false, true, false);
  for (auto _ : state) ws::report_lock_toggles(h.rt, false, true, false);
}
BENCHMARK(BM_LockReportUnchanged);

}  // namespace
