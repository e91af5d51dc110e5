#include "app/session_end.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>

#include "app/window_context.h"
#include "screen/run_state.h"

namespace ws {

namespace {

void on_session_end_signal(int) {
  const int saved_errno = errno;
  // Published before the handler was installed.
  if (SessionEnd* session = published_session_end()) session->on_signal();
  errno = saved_errno;
}

}  // namespace

void SessionEnd::on_signal() {
  ended_.store(true, std::memory_order_release);
  // The close, as the window's close button asks for it: the frame thread
  // reads close_request at the start of each pass.
  state_.close_request.fetch_or(1, std::memory_order_acq_rel);
  // Wakes every box that waits in poll. The descriptor is non-blocking: a
  // counter that could not take more (never, in practice) drops the write,
  // and the descriptor is readable then anyway.
  if (const int fd = wake_fd_.load(std::memory_order_acquire); fd >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
  }
}

void SessionEnd::install() {
  wake_fd_.store(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK), std::memory_order_release);
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

bool session_ended() {
  const SessionEnd* session = published_session_end();
  return session != nullptr && session->ended();
}

int session_end_fd() {
  const SessionEnd* session = published_session_end();
  return session != nullptr ? session->wake_fd() : -1;
}

}  // namespace ws
