#include "screen/number_input.h"

#include <array>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "screen/errors.h"
#include "screen/key_codes.h"
#include "screen/key_poll.h"
#include "screen/number_check.h"
#include "screen/runtime.h"
#include "screen/text.h"

namespace ws {

namespace {

constexpr int64_t kPollMs = 10;
constexpr int kTabWidth = 8;

// Printing goes to another page for as long as this lives.
class WritePageRedirect {
 public:
  WritePageRedirect(Runtime& rt, ScreenPage& page)
      : rt_(rt), saved_(rt.pages.redirect_writes(&page)) {}
  ~WritePageRedirect() { rt_.pages.redirect_writes(saved_); }
  WritePageRedirect(const WritePageRedirect&) = delete;
  WritePageRedirect& operator=(const WritePageRedirect&) = delete;

 private:
  Runtime& rt_;
  ScreenPage* saved_;
};

class NumberEditor {
 public:
  NumberEditor(Runtime& rt, float& variable, ScreenPage& page, std::unique_ptr<ScreenPage> start,
               std::unique_ptr<ScreenPage> work)
      : rt_(rt), variable_(variable), page_(page), start_(std::move(start)),
        work_(std::move(work)) {}

  // Returns on Enter (true) or on a stop request (false).
  bool run() {
    settle(false);  // the empty text: the variable is 0
    for (;;) {
      // Drawn once per wait: the cursor does not blink.
      if (!cursor_shown_) {
        toggle_cursor_block();
        cursor_shown_ = true;
      }
      std::string key;
      if (pending_blanks_ > 0) {
        --pending_blanks_;
        key.assign(1, ' ');
      } else {
        rt_.clock.sleep_ms(kPollMs);
        key = poll_key(rt_);
      }
      if (rt_.state.stop_requested.load(std::memory_order_acquire) != 0) return false;
      // No key, or an extended key (arrows, function keys): keep waiting.
      if (key.size() != 1) continue;
      toggle_cursor_block();
      cursor_shown_ = false;
      const auto byte = static_cast<uint8_t>(key[0]);
      if (byte == kEnter) return true;
      handle(byte);
    }
  }

 private:
  std::string_view typed() const { return {typed_.data(), length_}; }

  void handle(uint8_t key) {
    switch (key) {
      case kBackspace:
        if (length_ == 0) return;
        --length_;
        settle(true);
        return;
      case kTab:
        // Blanks up to the next multiple of eight, each then handled as a
        // typed key (and refused, since no number holds a blank).
        pending_blanks_ = kTabWidth - static_cast<int>(length_ % kTabWidth);
        break;
      case kBell: {
        const char bell = static_cast<char>(kBell);
        print_string(rt_, std::string_view(&bell, 1), 0);
        break;
      }
      default:
        // Keys that would print nothing are not typed.
        if (is_silent_control(key) || length_ == kMaxTypedText) break;
        typed_[length_++] = static_cast<char>(key);
        print_string(rt_, typed().substr(length_ - 1), 0);
        break;
    }
    settle(false);
  }

  // The check: while the typed text is not valid its last byte goes; then the
  // variable holds the value of the accepted text. page_stale: the page shows
  // more than the typed text and must be rebuilt.
  void settle(bool page_stale) {
    NumberCheck check = check_typed_number(typed());
    while (!check.valid && length_ > 0) {
      --length_;
      page_stale = true;
      check = check_typed_number(typed());
    }
    variable_ = check.value;
    if (page_stale) rebuild_page();
  }

  // Puts on the page what it would show had only the typed text been typed:
  // the text is printed again from the start position onto a copy of the
  // page as it was at the start, and that copy replaces the page in one copy,
  // so that wraps and scrolls of the removed echo are undone too.
  void rebuild_page() {
    work_->copy_pixels_from(*start_);
    work_->copy_record_from(page_);
    work_->cursor_row = start_->cursor_row;
    work_->cursor_col = start_->cursor_col;
    work_->hold = start_->hold;
    {
      WritePageRedirect redirect(rt_, *work_);
      for (size_t i = 0; i < length_; ++i) print_string(rt_, typed().substr(i, 1), 0);
    }
    page_.copy_pixels_from(*work_);
    page_.cursor_row = work_->cursor_row;
    page_.cursor_col = work_->cursor_col;
    page_.hold = work_->hold;
  }

  // The cursor block: the cell at the cursor XOR the foreground colour.
  void toggle_cursor_block() {
    const int x0 = (page_.cursor_col - 1) * kCellWidth;
    const int y0 = (page_.cursor_row - 1) * kCellHeight;
    if (x0 < 0 || y0 < 0 || x0 + kCellWidth > page_.width || y0 + kCellHeight > page_.height) {
      return;
    }
    const auto fg = static_cast<uint32_t>(page_.foreground);
    for (int y = y0; y < y0 + kCellHeight; ++y) {
      for (int x = x0; x < x0 + kCellWidth; ++x) {
        page_.set_pixel(x, y, (page_.pixel(x, y) ^ fg) & page_.colour_mask);
      }
    }
  }

  Runtime& rt_;
  float& variable_;
  ScreenPage& page_;
  std::unique_ptr<ScreenPage> start_;  // the page when the input started
  std::unique_ptr<ScreenPage> work_;   // where the page is rebuilt after a refusal
  std::array<char, kMaxTypedText> typed_{};
  size_t length_ = 0;
  int pending_blanks_ = 0;
  bool cursor_shown_ = false;
};

// A page of the same size holding the page's pixels, palette and record.
std::unique_ptr<ScreenPage> copy_of(const ScreenPage& page) {
  auto copy = std::make_unique<ScreenPage>(page.width, page.height);
  copy->copy_pixels_from(page);
  copy->copy_record_from(page);
  return copy;
}

}  // namespace

void input_values(Runtime& rt, float& variable, int line_end) {
  if (error_pending(rt)) return;
  ScreenPage& page = rt.pages.write_page();
  std::unique_ptr<ScreenPage> start, work;
  try {
    start = copy_of(page);
  } catch (const std::bad_alloc&) {
    raise_runtime_error(rt, kStartCopyFailed);  // ends the process
    return;
  }
  try {
    work = std::make_unique<ScreenPage>(page.width, page.height);
  } catch (const std::bad_alloc&) {
    raise_runtime_error(rt, kWorkCopyFailed);
    return;
  }
  NumberEditor editor(rt, variable, page, std::move(start), std::move(work));
  if (editor.run() && line_end != 0) print_string(rt, {}, 1);
}

}  // namespace ws
