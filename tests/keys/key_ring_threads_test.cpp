// The key queue between threads: keys typed on one thread, polled on another,
// while a third reports lock-key changes through the same key handling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/key_callbacks.h"
#include "support/headless.h"

namespace ws::test {
namespace {

TEST(KeyRingThreads, EveryKeyArrivesWholeAndInOrderWhileLockReportsInterleave) {
  Headless h;
  Runtime& rt = h.rt;
  const std::string keys = "abcdefghijklmnopqrstuvwxyz0123456789";
  constexpr int kCount = 50'000;
  // A ring that lets no key through for this long is stuck.
  constexpr auto kStall = std::chrono::seconds(5);
  std::atomic<bool> typing{true}, given_up{false};
  std::atomic<int> typed{0};

  // The window thread: types, waiting whenever 15 keys wait so none is lost.
  std::thread window([&] {
    for (int i = 0; i < kCount && !given_up.load(std::memory_order_acquire); ++i) {
      while (rt.keyboard.ring.size() == 15 && !given_up.load(std::memory_order_acquire))
        std::this_thread::yield();
      const auto c = static_cast<unsigned char>(keys[i % keys.size()]);
      on_key_down(rt.keyboard, c, 0);
      on_key_up(rt.keyboard, c, 0);
      typed.store(i + 1, std::memory_order_release);
    }
    typing.store(false, std::memory_order_release);
  });
  // A second caller of the key handling: Caps Lock going on and off.
  std::thread frame([&] {
    for (bool on = true; typing.load(std::memory_order_acquire); on = !on)
      report_lock_toggles(rt.keyboard, on, false);
  });

  // The program thread: polls until every key has come, or until no more can
  // come (the typing has ended and the ring is empty) or none has come for
  // kStall.
  int received = 0, wrong = 0;
  std::string stopped;
  auto last_key = std::chrono::steady_clock::now();
  while (received < kCount) {
    KeyPair k;
    if (!rt.keyboard.ring.pop(k)) {
      if (!typing.load(std::memory_order_acquire) && !rt.keyboard.ring.pop(k)) {
        stopped = "the typing ended and the ring is empty";
        break;
      }
      if (std::chrono::steady_clock::now() - last_key > kStall) {
        stopped = "no key came for 5 s";
        break;
      }
      std::this_thread::yield();
      continue;
    }
    last_key = std::chrono::steady_clock::now();
    const auto c = static_cast<unsigned char>(keys[received % keys.size()]);
    wrong += k.character != c || k.scan != key_code_table[c][kColScan];
    ++received;
  }
  given_up.store(true, std::memory_order_release);
  window.join();
  frame.join();
  EXPECT_EQ(received, kCount) << "waited for every key to arrive: " << stopped << " with "
                              << received << " of " << kCount << " arrived, " << typed.load()
                              << " typed, " << rt.keyboard.ring.size() << " waiting in the ring";
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(rt.keyboard.ring.size(), 0);
  EXPECT_EQ(rt.state.pause_requested.load(), 0);
}

}  // namespace
}  // namespace ws::test
