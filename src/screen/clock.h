// The clock-and-sleep seam. The real program uses SteadyClock; tests use a
// virtual clock so that pauses of seconds run in microseconds.
#pragma once

#include <chrono>
#include <cstdint>

namespace ws {

class Clock {
 public:
  virtual ~Clock() = default;
  // Whole milliseconds of real time since the process started, read through a
  // signed 32-bit count and widened with its sign (so it wraps after 2^31 ms).
  virtual int64_t ticks_ms() = 0;
  // Suspends the calling thread; 0 only yields the processor.
  virtual void sleep_ms(int64_t ms) = 0;
};

class SteadyClock final : public Clock {
 public:
  SteadyClock();
  int64_t ticks_ms() override;
  void sleep_ms(int64_t ms) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

// Sleeps for real on any thread, outside the seam (the window thread, and
// the program thread once it has parked for good).
void sleep_real_ms(int64_t ms);

}  // namespace ws
