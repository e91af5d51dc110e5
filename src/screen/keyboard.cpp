#include "screen/keyboard.h"

#include "screen/runtime.h"

namespace ws {
void handle_key_press(Runtime&, int32_t) {}
void handle_key_release(Runtime&, int32_t) {}
}  // namespace ws
