#include "screen/runtime.h"

#include <cstdio>
#include <unistd.h>

namespace ws {

void ExitProcess::end_process(int code) {
  std::fflush(nullptr);
  _exit(code);
}

Runtime::Runtime(Clock& c, MessageBoxPresenter& b, ProcessControl& p)
    : clock(c), boxes(b), process(p) {
  // The first screen is the blank 80 x 25 text screen; the animator's first
  // statement replaces it by the graphics page.
  page = create_page(0);
  display_page.store(page.get(), std::memory_order_release);
  write_page = page.get();
  key_ring.clear();
}

}  // namespace ws
