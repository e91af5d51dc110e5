#include "screen/keyboard.h"

#include "screen/runtime.h"

namespace ws {
void handle_key_press(Runtime&, int32_t) {}
void handle_key_release(Runtime&, int32_t) {}
void on_key_down(Runtime&, unsigned char, int) {}
void on_key_up(Runtime&, unsigned char, int) {}
void on_special_key_down(Runtime&, int) {}
void on_special_key_up(Runtime&, int) {}
void report_lock_toggles(Runtime&, bool, bool, bool) {}
}  // namespace ws
