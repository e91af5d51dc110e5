#include "app/session_end.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>

#include "screen/runtime.h"

namespace ws {

namespace {

// What the handler touches must be lock-free: a locked atomic could be held
// by the very thread the signal interrupted.
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<uint32_t>::is_always_lock_free);
static_assert(std::atomic<RunState*>::is_always_lock_free);

// Published by install_session_end_signals before any thread but the main
// one runs and before the handler is installed (release); the handler loads
// it (acquire) on whichever thread runs it.
std::atomic<RunState*> g_state{nullptr};
// The eventfd the handler writes to; set at install, like g_state.
std::atomic<int> g_wake_fd{-1};
// Set by the handler (release), never cleared; read by the boxes (acquire).
std::atomic<bool> g_ended{false};

void on_session_end_signal(int) {
  const int saved_errno = errno;
  g_ended.store(true, std::memory_order_release);
  // The close, as the window's close button asks for it: the frame thread
  // reads close_request at the start of each pass.
  if (RunState* state = g_state.load(std::memory_order_acquire))
    state->close_request.fetch_or(1, std::memory_order_acq_rel);
  // Wakes every box that waits in poll. The descriptor is non-blocking: a
  // counter that could not take more (never, in practice) drops the write,
  // and the descriptor is readable then anyway.
  if (const int fd = g_wake_fd.load(std::memory_order_acquire); fd >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
  }
  errno = saved_errno;
}

}  // namespace

void install_session_end_signals(Runtime& rt) {
  g_state.store(&rt.state, std::memory_order_release);
  g_wake_fd.store(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), std::memory_order_release);
  struct sigaction action {};
  action.sa_handler = on_session_end_signal;
  // The threads' calls that the signal interrupts go on (an interrupted poll
  // returns early, which every loop here takes as a wake-up).
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&action.sa_mask, s);
  for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
    // A signal the program was started with ignored stays ignored: nohup's
    // SIGHUP, a shell's SIGINT for a command run in the background.
    struct sigaction before {};
    if (sigaction(s, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, nullptr);
  }
}

bool session_ended() { return g_ended.load(std::memory_order_acquire); }

int session_end_fd() { return g_wake_fd.load(std::memory_order_acquire); }

}  // namespace ws
