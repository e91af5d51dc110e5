#include "screen/page_store.h"

namespace ws {

PageStore::PageStore() : page_(create_page(0)) {
  display_page_.store(page_.get(), std::memory_order_release);
  write_page_ = page_.get();
}

ScreenPage* PageStore::redirect_writes(ScreenPage* to) {
  ScreenPage* before = write_page_;
  write_page_ = to != nullptr ? to : page_.get();
  return before;
}

bool PageStore::replace_page(std::unique_ptr<ScreenPage> page, bool frame_thread_running,
                             Clock& clock, const std::atomic<uint8_t>& stop_requested) {
  const auto wait = [&] {
    if (stop_requested.load(std::memory_order_acquire) != 0) return false;
    clock.sleep_ms(0);
    return true;
  };
  if (frame_thread_running && !lock_.acquire(wait)) return false;
  frame_valid.store(false, std::memory_order_release);
  display_page_.store(page.get(), std::memory_order_release);
  write_page_ = page.get();
  page_ = std::move(page);  // the old page is released while the lock is held
  if (frame_thread_running) lock_.release();
  return true;
}

}  // namespace ws
