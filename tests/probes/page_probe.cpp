// A program for the window tests: the real process start, window and frame
// thread around a small procedure that selects the 640 x 480 page, draws a
// known picture and then waits, honouring the statement-end check.
//
// Environment:
//   PROBE_TITLE=T        set_window_title(T) at once (before the window exists)
//   PROBE_TITLE_LATER=T  set_window_title(T) after 300 ms
//   PROBE_TITLE_BURST=1  a title every millisecond through the first 200 ms,
//                        the last one "burst final"
//   PROBE_PAGE_DELAY_MS=N  selects the page only after N ms (until then the
//                        display page is the blank 640 x 400 one)
//   PROBE_KEYS=1         each key taken from the key queue repaints the key
//                        block at the top left in the next colour and is
//                        reported on stdout as "key <character> <scan>"
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "page_pattern.h"
#include "screen/errors.h"
#include "screen/runtime.h"
#include "screen/text.h"
#include "screen/window_ops.h"

namespace {

using ws::Runtime;

void statement_end(Runtime& rt) {
  if (rt.state.event_pending.load(std::memory_order_acquire) != 0) ws::handle_statement_event(rt, 0);
}

void probe(Runtime& rt) {
  const char* title = std::getenv("PROBE_TITLE");
  const char* later = std::getenv("PROBE_TITLE_LATER");
  const bool burst = std::getenv("PROBE_TITLE_BURST") != nullptr;
  const bool keys = std::getenv("PROBE_KEYS") != nullptr;
  if (title != nullptr) ws::set_window_title(rt, title);
  ws::set_resize_mode(rt, 0, 2);
  if (const char* delay = std::getenv("PROBE_PAGE_DELAY_MS")) {
    const int64_t until = rt.clock.ticks_ms() + std::atoi(delay);
    while (rt.clock.ticks_ms() < until) {
      rt.clock.sleep_ms(5);
      statement_end(rt);
    }
  }
  ws::set_screen_mode(rt, 12);
  ws::ScreenPage& page = rt.pages.write_page();
  if (page.width != 640 || page.height != 480) {
    std::fprintf(stderr, "page_probe: no 640 x 480 page\n");
    std::exit(2);
  }
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) page.set_pixel(x, y, ws::test::page_pattern(x, y));
  statement_end(rt);

  const int64_t start = rt.clock.ticks_ms();
  int burst_count = 0;
  int key_colour = 0;
  for (;;) {
    const int64_t now = rt.clock.ticks_ms() - start;
    if (burst && burst_count >= 0) {
      if (now < 200) {
        ws::set_window_title(rt, "burst " + std::to_string(++burst_count));
      } else {
        ws::set_window_title(rt, "burst final");
        burst_count = -1;
      }
    }
    if (later != nullptr && now >= 300) {
      ws::set_window_title(rt, later);
      later = nullptr;
    }
    ws::KeyPair key;
    while (keys && rt.keyboard.ring.pop(key)) {
      key_colour = key_colour % 15 + 1;
      for (int y = 0; y < ws::test::kKeyBlockSize; ++y)
        for (int x = 0; x < ws::test::kKeyBlockSize; ++x) page.set_pixel(x, y, key_colour);
      std::printf("key %d %d\n", key.character, key.scan);
      std::fflush(stdout);
    }
    rt.clock.sleep_ms(burst_count >= 0 && burst ? 1 : 5);
    statement_end(rt);
  }
}

}  // namespace

int main(int argc, char** argv) { ws::runtime_main(argc, argv, probe); }
