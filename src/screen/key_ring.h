// The key queue: 16 two-byte slots (character code, scan code) in a 64-byte
// area at byte offsets 30..61, with head and tail stored as those offsets.
// Single producer (the window thread) and single consumer (the key poll on the
// program thread): the producer writes the slot, then publishes the tail with
// release; the consumer reads the slot after an acquire of the tail and frees
// it by publishing the head with release. Head equal to tail means empty, so at
// most 15 keys wait.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace ws {

struct KeyPair {
  uint8_t character = 0;
  uint8_t scan = 0;
};

class KeyRing {
 public:
  static constexpr uint8_t kFirst = 30;
  static constexpr uint8_t kLast = 60;

  // Producer side. False (and the key dropped) when the ring is full.
  bool push(KeyPair key) {
    const uint8_t tail = tail_.load(std::memory_order_relaxed);
    const uint8_t next = advance(tail);
    if (next == head_.load(std::memory_order_acquire)) return false;
    area_[tail] = key.character;
    area_[tail + 1] = key.scan;
    tail_.store(next, std::memory_order_release);
    return true;
  }
  // Consumer side. False when empty.
  bool pop(KeyPair& key) {
    const uint8_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    key.character = area_[head];
    key.scan = area_[head + 1];
    head_.store(advance(head), std::memory_order_release);
    return true;
  }
  // Consumer side: number of waiting keys (a snapshot).
  int size() const {
    const int h = head_.load(std::memory_order_acquire);
    const int t = tail_.load(std::memory_order_acquire);
    return ((t - h + 32) % 32) / 2;
  }

 private:
  static uint8_t advance(uint8_t offset) {
    return offset >= kLast ? kFirst : static_cast<uint8_t>(offset + 2);
  }
  std::array<uint8_t, 64> area_{};
  std::atomic<uint8_t> head_{kFirst};
  std::atomic<uint8_t> tail_{kFirst};
};

}  // namespace ws
