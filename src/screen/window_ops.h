// The two window operations the animator calls.
#pragma once

#include <cstdint>
#include <string_view>

namespace ws {

struct Runtime;

// Stores the title; the window thread shows it (at creation or at once).
void set_window_title(Runtime& rt, std::string_view title);
// permission 1 clears window_snap_back, 2 sets it; then scaling_mode := mode.
// Acts even while an error is pending.
void set_resize_mode(Runtime& rt, int32_t permission, int32_t mode);

}  // namespace ws
