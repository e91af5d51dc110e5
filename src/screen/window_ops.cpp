#include "screen/window_ops.h"

#include "screen/runtime.h"

namespace ws {

void set_window_title(Runtime& rt, std::string_view title) {
  if (error_pending(rt)) return;
  std::lock_guard<std::mutex> lock(rt.window.title_mutex);
  rt.window.window_title = std::string(title);
  rt.window.title_generation.fetch_add(1, std::memory_order_release);
}

void set_resize_mode(Runtime& rt, int32_t permission, int32_t mode) {
  if (permission == 1) rt.window.window_snap_back.store(false, std::memory_order_relaxed);
  if (permission == 2) rt.window.window_snap_back.store(true, std::memory_order_relaxed);
  rt.window.scaling_mode.store(static_cast<ScalingMode>(mode), std::memory_order_relaxed);
}

}  // namespace ws
