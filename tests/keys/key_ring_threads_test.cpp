// The key queue between threads: keys typed on one thread, polled on another,
// while a third reports lock-key changes through the same key handling.
#include <gtest/gtest.h>

#include <atomic>
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
  std::atomic<bool> typing{true};

  // The window thread: types, waiting whenever 15 keys wait so none is lost.
  std::thread window([&] {
    for (int i = 0; i < kCount; ++i) {
      while (rt.keyboard.ring.size() == 15) std::this_thread::yield();
      const auto c = static_cast<unsigned char>(keys[i % keys.size()]);
      on_key_down(rt.keyboard, c, 0);
      on_key_up(rt.keyboard, c, 0);
    }
    typing.store(false, std::memory_order_release);
  });
  // A second caller of the key handling: Caps Lock going on and off.
  std::thread frame([&] {
    for (bool on = true; typing.load(std::memory_order_acquire); on = !on)
      report_lock_toggles(rt.keyboard, on, false);
  });

  // The program thread: polls until every key has come.
  int received = 0, wrong = 0;
  while (received < kCount) {
    KeyPair k;
    if (!rt.keyboard.ring.pop(k)) {
      std::this_thread::yield();
      continue;
    }
    const auto c = static_cast<unsigned char>(keys[received % keys.size()]);
    wrong += k.character != c || k.scan != key_code_table[c][kColScan];
    ++received;
  }
  window.join();
  frame.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(rt.keyboard.ring.size(), 0);
  EXPECT_EQ(rt.state.pause_requested.load(), 0);
}

}  // namespace
}  // namespace ws::test
