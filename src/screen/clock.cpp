#include "screen/clock.h"

#include <thread>

namespace ws {

SteadyClock::SteadyClock() : start_(std::chrono::steady_clock::now()) {}

int64_t SteadyClock::ticks_ms() {
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - start_)
                     .count();
  // The count is kept in 32 bits, as the pause's wrap rule expects.
  return static_cast<int32_t>(static_cast<uint32_t>(elapsed));
}

void SteadyClock::sleep_ms(int64_t ms) { sleep_real_ms(ms); }

void sleep_real_ms(int64_t ms) {
  if (ms <= 0) {
    std::this_thread::yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace ws
