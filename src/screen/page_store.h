// The page store: the one screen page, which page printing and drawing write
// to, which page the frame thread shows, and the screen-mode change that
// replaces the page under the display lock.
//
// Program thread: everything but display_page() and the lock's grant, which
// are the frame thread's. The page pointer the frame thread reads changes
// only while the frame thread has granted the lock (or before it runs).
#pragma once

#include <atomic>
#include <memory>

#include "screen/clock.h"
#include "screen/display_lock.h"
#include "screen/page.h"

namespace ws {

class PageStore {
 public:
  // The first screen: the blank 80 x 25 text screen (mode 0).
  PageStore();
  PageStore(const PageStore&) = delete;
  PageStore& operator=(const PageStore&) = delete;

  // The page itself.
  ScreenPage& page() { return *page_; }
  // Where printing and drawing go: the page, or for a while another one.
  ScreenPage& write_page() { return *write_page_; }
  // Sends printing and drawing to another page (nullptr: the page itself
  // again); returns where they went before.
  ScreenPage* redirect_writes(ScreenPage* to);

  // Frame thread: the page frames are built of.
  const ScreenPage& display_page() const { return *display_page_.load(std::memory_order_acquire); }

  // Makes page the current one. Once the frame thread runs, this waits
  // (yielding through clock) for its grant of the display lock, so that the
  // old page is released while nothing reads it. Clears frame_valid. Returns
  // false, the page unchanged, when stop_requested is set while it waits: the
  // exit sequence grants nothing, and the caller parks.
  bool replace_page(std::unique_ptr<ScreenPage> page, bool frame_thread_running, Clock& clock,
                    const std::atomic<uint8_t>& stop_requested);

  DisplayLock& display_lock() { return lock_; }

  // A frame has been built of the current page. Cleared by the program thread
  // when the page is replaced or its mode set again (release; the next
  // building pass then builds even an unchanged page); set by the frame
  // thread after building (release), read by it (acquire).
  std::atomic<bool> frame_valid{false};

 private:
  std::unique_ptr<ScreenPage> page_;
  std::atomic<ScreenPage*> display_page_{nullptr};
  ScreenPage* write_page_ = nullptr;
  DisplayLock lock_;
};

}  // namespace ws
