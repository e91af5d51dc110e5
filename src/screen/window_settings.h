// Window settings shared between the program thread (set_window_title,
// set_resize_mode) and the window thread (creation, caption, presenting).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace ws {

struct WindowSettings {
  // The title hand-over: the program thread stores the title and bumps
  // title_generation under title_mutex; the window thread creates the window
  // with the stored title and afterwards applies every newer generation. No
  // window-library call is made off the window thread.
  std::mutex title_mutex;
  std::optional<std::string> window_title;  // guarded by title_mutex
  std::atomic<uint64_t> title_generation{0};
  std::atomic<bool> window_exists{false};
  // 0: shown at its own size; 1: stretched; 2: stretched and smoothed.
  std::atomic<int32_t> scaling_mode{0};
  std::atomic<bool> window_snap_back{true};
};

}  // namespace ws
