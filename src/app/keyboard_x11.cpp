#include "app/window.h"
#include "screen/runtime.h"

namespace ws {
void record_keyboard_state_at_start(Runtime&) {}
void report_lock_keys(Runtime&) {}
}  // namespace ws
