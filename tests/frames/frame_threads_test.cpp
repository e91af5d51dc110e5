// The frame slots between a builder and a presenter thread, and the display
// lock between a builder and a program thread replacing the page. Run also
// under ThreadSanitizer: a frame read while it is being written, or a page
// read after it was replaced, shows there as well as in the checks.
#include <gtest/gtest.h>

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "screen/frames.h"
#include "screen/page_store.h"
#include "screen/presenting.h"
#include "support/headless.h"

namespace ws::test {
namespace {

// A small page keeps each pass short, so that the two threads meet often.
std::unique_ptr<ScreenPage> small_page(uint32_t value) {
  auto page = std::make_unique<ScreenPage>(64, 16);
  page->fill_pixel_rows(0, 16, 1);
  page->set_palette(1, value);
  return page;
}

// The parts the frame thread works on, with a real clock for the program
// thread's waits.
struct FrameParts {
  SteadyClock clock;
  ScriptedBoxes alerts;
  PageStore pages;
  FrameStore frames;
  std::atomic<uint8_t> stop{0};
  void build() { build_frame(frames, pages, alerts); }
};

TEST(FrameThreads, ThePresenterSeesOnlyWholeFramesAndNeverAnOlderOne) {
  FrameParts f;
  f.pages.replace_page(small_page(0), false, f.clock, f.stop);
  ScreenPage& page = f.pages.page();
  constexpr uint32_t kFrames = 20'000;
  std::atomic<bool> building{true};

  // Every frame is one palette value all over: a frame overwritten while
  // shown would mix two of them.
  std::thread builder([&] {
    for (uint32_t v = 1; v <= kFrames; ++v) {
      page.set_palette(1, v);
      f.build();
    }
    building.store(false, std::memory_order_release);
  });

  uint32_t last_seen = 0, mixed = 0, backwards = 0, shown = 0;
  uint64_t last_order = 0;
  auto present_once = [&] {
    const SlotChoice c = choose_present_slot(f.frames);
    if (c.slot < 0 || !c.changed) return;
    const FrameSlot& s = f.frames.slots[c.slot];
    const uint32_t v = s.pixels[0];
    for (int i = 0; i < s.width * s.height; ++i) mixed += s.pixels[i] != v;
    const uint64_t order = s.order.load();
    backwards += v < last_seen || (shown > 0 && order <= last_order);
    last_seen = v;
    last_order = order;
    ++shown;
  };
  while (building.load(std::memory_order_acquire)) present_once();
  builder.join();
  present_once();

  EXPECT_EQ(mixed, 0u);
  EXPECT_EQ(backwards, 0u);
  EXPECT_GT(shown, 1u);
  // The last frame built is the one shown in the end.
  EXPECT_EQ(last_seen, kFrames);
  EXPECT_TRUE(f.alerts.shown.empty()) << f.alerts.shown[0].text;
}

TEST(FrameThreads, PagesReplacedUnderTheDisplayLockAreNeverReadAfterwards) {
  FrameParts f;
  f.pages.replace_page(small_page(0), false, f.clock, f.stop);
  std::atomic<bool> changing{true};

  std::thread builder([&] {
    while (changing.load(std::memory_order_acquire)) f.build();
  });
  // The program thread's screen-mode changes, each new page with a colour of
  // its own; each old page is released under the lock (AddressSanitizer and
  // ThreadSanitizer see a frame built from it afterwards).
  constexpr uint32_t kChanges = 300;
  for (uint32_t v = 1; v <= kChanges; ++v) {
    ASSERT_TRUE(f.pages.replace_page(small_page(v), true, f.clock, f.stop));
    EXPECT_EQ(f.pages.display_lock().state(), DisplayLockState::Free);
  }
  // The last page's frame arrives although nothing changed after it.
  uint32_t shown = 0;
  for (int tries = 0; tries < 100'000 && shown != kChanges; ++tries) {
    const SlotChoice c = choose_present_slot(f.frames);
    if (c.slot >= 0) shown = f.frames.slots[c.slot].pixels[0];
    std::this_thread::yield();
  }
  changing.store(false, std::memory_order_release);
  builder.join();
  EXPECT_EQ(shown, kChanges);
}

// The frame thread's building pass, run by a timer signal on the presenter's
// own thread: it interrupts choose_present_slot at whatever instruction the
// timer finds, so that a pass falls now and then between the presenter's look
// at a ready slot and its exchange that empties it.
FrameParts* g_interrupted_parts = nullptr;
std::atomic<bool> g_pass_armed{false};

void building_pass_on_signal(int) {
  if (g_pass_armed.exchange(false)) g_interrupted_parts->build();
}

// Three ready frames, none shown, and a newer page: wherever the building
// pass of the newer page falls in the presenter's choice, that page is shown
// in the end, also when the presenter discarded its frame unseen (the next
// pass must then build the unchanged page again).
TEST(FrameThreads, ANewerFrameThePresenterDiscardsIsBuiltAgain) {
  FrameParts f;
  f.pages.replace_page(small_page(0), false, f.clock, f.stop);
  ScreenPage& page = f.pages.page();
  // Every slot's buffer at its size: the pass in the signal handler
  // allocates nothing.
  for (uint32_t v = 1; v <= 3; ++v) {
    page.set_palette(1, v);
    f.build();
  }
  g_interrupted_parts = &f;
  struct sigaction action {};
  action.sa_handler = building_pass_on_signal;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGALRM, &action, &previous), 0);
  sigevent event{};
  event.sigev_notify = SIGEV_THREAD_ID;
  event.sigev_signo = SIGALRM;
  event._sigev_un._tid = gettid();
  timer_t timer{};
  ASSERT_EQ(timer_create(CLOCK_MONOTONIC, &event, &timer), 0);
  const itimerspec every{{0, 20'000}, {0, 20'000}};
  timer_settime(timer, 0, &every, nullptr);

  uint32_t value = 3;
  int interrupted = 0, lost = 0, trials = 0;
  const auto budget_end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < budget_end) {
    ++trials;
    // Five passes into three empty slots: the frames of the last three, the
    // oldest in slot 0, which the presenter looks at first and the next
    // pass takes.
    for (FrameSlot& slot : f.frames.slots) slot.state.store(SlotState::Empty);
    for (int k = 0; k < 5; ++k) {
      page.set_palette(1, ++value);
      f.build();
    }
    const uint32_t newer = ++value;
    page.set_palette(1, newer);
    g_pass_armed.store(true);
    choose_present_slot(f.frames);
    if (g_pass_armed.exchange(false)) continue;  // no pass fell into the choice
    ++interrupted;
    // The next building pass, the page unchanged, and the next presentation.
    f.build();
    const SlotChoice c = choose_present_slot(f.frames);
    if (c.slot < 0 || f.frames.slots[c.slot].pixels[0] != newer) ++lost;
  }
  timer_delete(timer);
  sigaction(SIGALRM, &previous, nullptr);
  g_interrupted_parts = nullptr;
  RecordProperty("trials", trials);
  RecordProperty("interrupted", interrupted);
  EXPECT_GT(interrupted, 0);
  EXPECT_EQ(lost, 0) << "of " << interrupted << " choices interrupted by a building pass";
}

}  // namespace
}  // namespace ws::test
