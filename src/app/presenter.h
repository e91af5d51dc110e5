// The GL presenter: the window thread's part of the window side (WindowSide),
// made with the window's context, that carries out the presenter's decisions
// (screen/presenting.h) with the window library and GL: the frame as a GL
// texture, the display timer, the size reports, and the window requests that
// go with them (a new client size, full screen). Internal to the window;
// run_window installs it, and its callbacks reach it through gl_presenter()
// (window_context.h).
#pragma once

#include <chrono>
#include <cstdint>

namespace ws {

struct FrameSlot;
struct Viewport;
struct WindowContext;
class WindowManagerSide;

class GlPresenter {
 public:
  GlPresenter(WindowContext& context, WindowManagerSide& manager)
      : context_(context), manager_(manager) {}
  GlPresenter(const GlPresenter&) = delete;
  GlPresenter& operator=(const GlPresenter&) = delete;

  // Registers the display and reshape callbacks and the display timer (first
  // tick after 8 ms) with the window library, for the current window.
  void install();
  // Display callback: shows the newest frame.
  void present_frame();
  // The one-shot display timer: requests a redisplay when a presentation is
  // due and re-arms itself for 16 ms.
  void timer_tick();
  // When the timer will next fire (for the event loop's wait).
  std::chrono::steady_clock::time_point next_display_tick() const { return next_tick_; }
  // Records the window's client size.
  void window_reshaped(int width, int height);

 private:
  struct Texture {
    unsigned name = 0;  // the GL texture's name; 0 before the first upload
    int32_t width = 0, height = 0;
    bool loaded = false;
    uint64_t order = 0;  // the order number of the frame it holds
  };

  void arm_display_timer(int ms);
  void upload(const FrameSlot& slot);
  void draw(const FrameSlot& slot, const Viewport& vp, int32_t window_w, int32_t window_h);

  WindowContext& context_;
  WindowManagerSide& manager_;
  Texture texture_;
  std::chrono::steady_clock::time_point next_tick_;
  // The pending redisplay is the display timer's. Any other comes from the
  // window library itself (the window was exposed or mapped) and must repaint.
  bool timer_redisplay_ = false;
  // present_frame is running (the window library may call it re-entrantly).
  bool presenting_ = false;
};

}  // namespace ws
