// The display lock: how a screen-mode change on the program thread keeps the
// frame thread away from the page while it replaces it.
//
//   Free --(program thread: request)--> Requested
//   Requested --(frame thread: grant, at the start and end of a building pass)--> Granted
//   Granted --(program thread: release, once the page is replaced)--> Free
//
// Each side waits for the other's state by polling; the frame thread builds
// nothing unless the lock is Free. Every transition is published with release
// and taken with acquire, so the page replaced under the lock is seen whole by
// the frame thread's next building pass.
#pragma once

#include <atomic>
#include <cstdint>

namespace ws {

enum class DisplayLockState : int32_t { Free = 0, Requested = 1, Granted = 2 };

class DisplayLock {
 public:
  // Program thread: asks for the lock.
  void request() {
    auto expected = DisplayLockState::Free;
    state_.compare_exchange_strong(expected, DisplayLockState::Requested,
                                   std::memory_order_acq_rel);
  }
  // Program thread: asks for the lock and calls wait() until it is granted.
  // wait() returns false to give up (a stop request: the frame thread, busy
  // with the exit sequence, grants nothing more); the request is then
  // withdrawn and acquire returns false.
  template <class Wait>
  bool acquire(Wait&& wait) {
    request();
    while (state() != DisplayLockState::Granted) {
      if (!wait()) {
        // Free whether or not the frame thread granted meanwhile: it moves
        // the lock only from Requested to Granted.
        release();
        return false;
      }
    }
    return true;
  }
  // Program thread, after acquire (or to withdraw its request).
  void release() { state_.store(DisplayLockState::Free, std::memory_order_release); }

  // Frame thread: grants a pending request. True when it did.
  bool grant() {
    auto expected = DisplayLockState::Requested;
    return state_.compare_exchange_strong(expected, DisplayLockState::Granted,
                                          std::memory_order_acq_rel, std::memory_order_acquire);
  }
  // Frame thread: whether the page may be read for a frame.
  bool free() const { return state_.load(std::memory_order_acquire) == DisplayLockState::Free; }

  DisplayLockState state() const { return state_.load(std::memory_order_acquire); }

 private:
  std::atomic<DisplayLockState> state_{DisplayLockState::Free};
};

}  // namespace ws
