#include "app/window.h"

#include <cstdio>
#include <cstdlib>

#include "screen/runtime.h"

namespace ws {
void run_window(Runtime&, int, char**) {
  std::fprintf(stderr, "winding-scheme: the window is not built yet\n");
  std::exit(1);
}
}  // namespace ws
