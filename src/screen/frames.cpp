#include "screen/frames.h"

#include "screen/runtime.h"

namespace ws {
void build_frame(Runtime&) {}
void advance_full_screen_cycle(Runtime&) {}
}  // namespace ws
