// Window settings shared between the program thread (set_window_title,
// set_resize_mode) and the window thread (creation, caption, presenting).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace ws {

// How the frame is fitted to the window. Any other value the program passes
// is kept as it is: above 0 it stretches without smoothing.
enum class ScalingMode : int32_t { Own = 0, Stretched = 1, Smoothed = 2 };

struct WindowSettings {
  // The title hand-over: the program thread stores the title and bumps
  // title_generation (release) under title_mutex; the window thread creates
  // the window with the stored title and afterwards applies every newer
  // generation (acquire). No window-library call is made off the window
  // thread.
  std::mutex title_mutex;
  std::optional<std::string> window_title;  // guarded by title_mutex
  std::atomic<uint64_t> title_generation{0};
  // Written by the program thread's set_resize_mode and read by the presenter
  // at its next pass; single words, relaxed (nothing else depends on them).
  std::atomic<ScalingMode> scaling_mode{ScalingMode::Own};
  std::atomic<bool> window_snap_back{true};
};

}  // namespace ws
