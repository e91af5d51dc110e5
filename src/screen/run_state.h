// Run-state flags shared by the program, window, frame and timer threads.
// Every flag is a single atomic word; each has a fixed set of writers (see the
// comments) and is polled by the others. No mutex guards any of them.
#pragma once

#include <atomic>
#include <cstdint>

namespace ws {

constexpr uint32_t kProgramParked = 1;

struct RunState {
  // Set by the frame thread's exit sequence, never cleared.
  std::atomic<uint8_t> stop_requested{0};
  // Set by the exit sequence, by Pause and by raise_runtime_error; cleared only
  // by handle_statement_event. Read once per animator statement.
  std::atomic<int32_t> event_pending{0};
  // Bit 0 set by Pause, cleared by the next key press.
  std::atomic<uint8_t> pause_requested{0};
  // Set by the end prompt, a No in an error report and Ctrl+Break.
  std::atomic<uint8_t> program_ended{0};
  // Bit 0 set by the window's close hook.
  std::atomic<uint32_t> close_request{0};
  // kProgramParked: the program thread has parked (set by it, read by the
  // exit sequence on the frame thread).
  std::atomic<uint32_t> exit_handshake{0};
  // The frame thread has been started: from then on a screen-mode change takes
  // the display lock.
  std::atomic<bool> frame_thread_running{false};
};

// Runtime error state of the current statement; program thread only.
struct ErrorState {
  uint32_t pending_error = 0;
  int32_t error_line = 0;
};

}  // namespace ws
