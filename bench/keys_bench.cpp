// Costs of the keyboard path on the window thread: one typed key from the
// window library's callback into the key queue (and out again, so the queue
// never fills), and a lock-key report when nothing changed.
#include <benchmark/benchmark.h>

#include <GL/freeglut.h>

#include "app/key_callbacks.h"
#include "support/headless.h"

namespace {

void BM_KeyDownToQueue(benchmark::State& state) {
  ws::test::Headless h;
  ws::KeyPair k;
  for (auto _ : state) {
    ws::on_key_down(h.rt.keyboard, '+', GLUT_ACTIVE_SHIFT);
    ws::on_key_up(h.rt.keyboard, '+', GLUT_ACTIVE_SHIFT);
    h.rt.keyboard.ring.pop(k);
    benchmark::DoNotOptimize(k);
  }
}
BENCHMARK(BM_KeyDownToQueue);

void BM_SpecialKeyWithModifierHeld(benchmark::State& state) {
  ws::test::Headless h;
  ws::on_special_key_down(h.rt.keyboard, GLUT_KEY_CTRL_L);
  ws::KeyPair k;
  for (auto _ : state) {
    ws::on_special_key_down(h.rt.keyboard, GLUT_KEY_RIGHT);
    ws::on_special_key_up(h.rt.keyboard, GLUT_KEY_RIGHT);
    h.rt.keyboard.ring.pop(k);
    benchmark::DoNotOptimize(k);
  }
}
BENCHMARK(BM_SpecialKeyWithModifierHeld);

void BM_LockReportUnchanged(benchmark::State& state) {
  ws::test::Headless h;
  ws::report_lock_toggles(h.rt.keyboard, false, true);
  for (auto _ : state) ws::report_lock_toggles(h.rt.keyboard, false, true);
}
BENCHMARK(BM_LockReportUnchanged);

}  // namespace
