#include "screen/end_prompt.h"

#include "screen/errors.h"
#include "screen/key_poll.h"
#include "screen/runtime.h"
#include "screen/text.h"

namespace ws {

namespace {

constexpr int64_t kPollMs = 100;

bool stop_requested(const Runtime& rt) {
  return rt.state.stop_requested.load(std::memory_order_acquire) != 0;
}

}  // namespace

void end_program(Runtime& rt) {
  // The shown page is the one written to (here both are the one page).
  rt.pages.redirect_writes(nullptr);
  const int rows = rt.pages.write_page().height / kCellHeight;
  // The bottom row alone: the line end clears it without scrolling the rest.
  set_text_view(rt, rows, rows);
  print_string(rt, {}, 1);
  print_string(rt, "Press any key to continue", 0);
  // Keys typed before the prompt was shown do not answer it.
  while (!poll_key(rt).empty()) rt.clock.sleep_ms(0);
  for (;;) {
    rt.clock.sleep_ms(kPollMs);
    if (stop_requested(rt)) park_program_thread(rt);
    if (!poll_key(rt).empty()) break;
  }
  rt.state.program_ended.store(1, std::memory_order_release);
  park_program_thread(rt);
}

}  // namespace ws
