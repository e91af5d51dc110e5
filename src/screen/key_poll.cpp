#include "screen/key_poll.h"

#include <cmath>

#include "screen/errors.h"
#include "screen/runtime.h"

namespace ws {

namespace {

// The longest pause: 2^31 - 1 milliseconds.
constexpr double kMaxPauseSeconds = 2147483.647;
constexpr int64_t kSliceMs = 9;

}  // namespace

std::string poll_key(Runtime& rt) {
  if (error_pending(rt)) return {};
  // A loop of polls lets the other threads run.
  rt.clock.sleep_ms(0);
  KeyPair key;
  if (!rt.keyboard.ring.pop(key)) return {};
  if (key.character != 0) return std::string(1, static_cast<char>(key.character));
  if (key.scan == 0) return std::string(1, '\0');
  return std::string{'\0', static_cast<char>(key.scan)};
}

std::string char_to_string(Runtime& rt, int32_t code) {
  if (code < 0 || code > 255) {
    raise_runtime_error(rt, kIllegalFunctionCall);
    return {};
  }
  return std::string(1, static_cast<char>(code));
}

int32_t strings_equal(std::string_view a, std::string_view b) { return a == b ? -1 : 0; }

void delay_seconds(Runtime& rt, double seconds) {
  double start = static_cast<double>(ticks_ms(rt));
  if (error_pending(rt)) return;
  // Not a number passes both tests, and then ends the pause at once below.
  if (seconds < 0 || seconds > kMaxPauseSeconds) {
    raise_runtime_error(rt, kIllegalFunctionCall);
    return;
  }
  const double target = seconds * 1000;
  double now = start;
  for (;;) {
    const double previous = now;
    now = static_cast<double>(ticks_ms(rt));
    const double elapsed = now - start;
    // The 32-bit count has wrapped: keep the time counted up to the previous
    // reading by moving the start; this pass still uses the negative elapsed.
    if (elapsed < 0) start = now - (previous - start);
    if (!(elapsed < target)) return;
    double remaining = std::trunc(target - elapsed);
    if (remaining == 0) remaining = 1;
    if (remaining < 10) {
      rt.clock.sleep_ms(static_cast<int64_t>(remaining));
      return;
    }
    // Short slices, so that Pause and a stop request act within about 10 ms
    // even in a pause of days.
    rt.clock.sleep_ms(kSliceMs);
    handle_statement_event(rt, 0);
  }
}

int64_t ticks_ms(Runtime& rt) { return rt.clock.ticks_ms(); }

}  // namespace ws
