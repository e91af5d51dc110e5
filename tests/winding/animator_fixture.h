// Runs the animator headless: a virtual clock (the step pauses cost no real
// time), scripted message-box answers and the two numbers put into the key
// ring as if typed.
#pragma once

#include <string>

#include "screen/errors.h"
#include "support/headless.h"
#include "winding/animator.h"
#include "winding/statement.h"

namespace ws::test {

struct AnimatorRun {
  Headless h;
  Animator animator{h.rt};

  // The keys of the two answers ("24" and "4" give "24\r" and "4\r"): the
  // first answer's keys from start_ms, the second's a little later, spaced
  // so that the ring never holds more than a few keys.
  void answer(const std::string& slots, const std::string& poles, int64_t start_ms = 0,
              int64_t spacing_ms = 20) {
    const int64_t t = h.enqueue(slots + "\r", start_ms, spacing_ms);
    h.enqueue(poles + "\r", t + spacing_ms, spacing_ms);
  }

  // Lines 1 to 203 only; the procedure returns after the marks.
  RunEnd run_opening(int64_t limit_ms = 36'000'000) { return run(false, limit_ms); }
  // The whole procedure, as animate_winding_scheme runs it.
  RunEnd run_all(int64_t limit_ms = 36'000'000) { return run(true, limit_ms); }

  ScreenPage& page() { return h.page(); }
  ScriptedBoxes& boxes() { return h.boxes; }

 private:
  RunEnd run(bool with_phases, int64_t limit_ms) {
    return h.run(
        [this, with_phases](Runtime& rt) {
          set_extended_precision();
          install_arithmetic_signal_handler(rt);
          animator.run_opening();
          if (with_phases) animator.run_phases();
        },
        limit_ms);
  }
};

}  // namespace ws::test
