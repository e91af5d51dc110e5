// Two ends of the process that only a real signal or a real process end
// shows: the SIGFPE handler taking a signal sent by kill (si_code SI_USER,
// 0) on a thread other than the program thread, and the leak check that
// ExitProcess runs before _exit in an AddressSanitizer build.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "screen/errors.h"
#include "screen/runtime.h"
#include "support/headless.h"

#if defined(__SANITIZE_ADDRESS__)
#define WS_TEST_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WS_TEST_LEAK_CHECK 1
#endif
#endif

namespace ws::test {
namespace {

// SIGFPE to the calling thread as kill() would send it: si_code SI_USER.
// The kernel takes a si_code of 0 or more only from the thread itself.
bool send_self_as_by_kill() {
  siginfo_t info{};
  info.si_signo = SIGFPE;
  info.si_code = SI_USER;
  info.si_pid = getpid();
  info.si_uid = getuid();
  return syscall(SYS_rt_tgsigqueueinfo, getpid(), gettid(), SIGFPE, &info) == 0;
}

// kill() may give SIGFPE to any thread. One that is not the program thread
// returns from the handler and goes on; the frame thread reports the
// critical error and ends the process with 0. Taken as a fault of the
// processor instead, the signal would hold that thread for ever.
TEST(ArithmeticSignal, SentByKillToAnotherThreadReturnsThereAndIsReported) {
  ThreadedRun run;
  std::atomic<bool> installed{false};
  run.start_program([&](Runtime& rt) {
    install_arithmetic_signal_handler(rt);
    installed.store(true, std::memory_order_release);
    for (;;) rt.clock.sleep_ms(16);
  });
  while (!installed.load(std::memory_order_acquire)) std::this_thread::yield();
  std::atomic<int> sent{-1};
  std::atomic<bool> went_on{false};
  std::thread bystander([&] {
    sent.store(send_self_as_by_kill() ? 1 : 0, std::memory_order_release);
    went_on.store(true, std::memory_order_release);
  });
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!went_on.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const bool returned = went_on.load(std::memory_order_acquire);
  // A thread held in the handler cannot be joined; it ends with the test.
  if (returned)
    bystander.join();
  else
    bystander.detach();
  ASSERT_TRUE(returned) << "the thread that took the signal never went on";
  ASSERT_EQ(sent.load(), 1) << "rt_tgsigqueueinfo refused the signal";

  run.start_frame_thread();
  const std::optional<int> code = run.wait_end(5000);
  ASSERT_TRUE(code.has_value()) << "the process never ended";
  EXPECT_EQ(*code, 0);
  ASSERT_EQ(run.boxes.shown.size(), 1u);
  EXPECT_EQ(run.boxes.shown[0].caption, "Critical Error");
}

// Storage dropped on the floor, out of the reach of any pointer.
__attribute__((noinline)) void leak_on_purpose() {
  void* volatile block = std::malloc(4711);
  block = nullptr;
  (void)block;
}

// ExitProcess ends through _exit, which skips the sanitizer's own leak check
// at exit: it runs the check itself, and a leak ends the process with
// kLeakExitCode. In a child process; only where AddressSanitizer runs.
TEST(ExitProcessLeakCheck, ALeakEndsWithTheLeakCodeAndNoLeakWithTheGivenCode) {
#if !defined(WS_TEST_LEAK_CHECK)
  GTEST_SKIP() << "no leak check in this build";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        leak_on_purpose();
        ExitProcess().end_process(0);
      },
      ::testing::ExitedWithCode(ExitProcess::kLeakExitCode), "");
  EXPECT_EXIT(ExitProcess().end_process(3), ::testing::ExitedWithCode(3), "");
#endif
}

}  // namespace
}  // namespace ws::test
