// The presenting callbacks: the frame as a GL texture, drawn into the viewport
// that the presenter's decisions give, and the window requests that go with
// them (a new client size, full screen).
#include "app/presenter.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include "app/window_context.h"
#include "app/window_manager.h"
#include "screen/clock.h"
#include "screen/presenting.h"
#include "screen/runtime.h"

namespace ws {

namespace {

int64_t clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The clock, and the pointer's buttons only while an answer waits for them
// alone (a round trip to the server each time).
WindowObservation observe(const Presenter& presenter, WindowManagerSide& manager) {
  WindowObservation seen;
  seen.now_ms = clock_ms();
  if (presenter.answer_waits_for_pointer(seen.now_ms))
    seen.button_held = manager.pointer_button_held();
  return seen;
}

// The window library's callbacks, which reach the GL presenter through the
// published window side (gl_presenter()).
void display_callback() { gl_presenter().present_frame(); }
void timer_callback(int) { gl_presenter().timer_tick(); }
void reshape_callback(int width, int height) { gl_presenter().window_reshaped(width, height); }

}  // namespace

void GlPresenter::arm_display_timer(int ms) {
  next_tick_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  glutTimerFunc(ms, timer_callback, 0);
}

// Uploads the slot's frame unless the texture already holds it.
void GlPresenter::upload(const FrameSlot& slot) {
  if (texture_.name == 0) {
    glGenTextures(1, &texture_.name);
    glBindTexture(GL_TEXTURE_2D, texture_.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glBindTexture(GL_TEXTURE_2D, texture_.name);
  const uint64_t order = slot.order.load(std::memory_order_relaxed);
  if (texture_.loaded && texture_.order == order) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // 0xAARRGGBB words are B, G, R, A in memory.
  if (texture_.width == slot.width && texture_.height == slot.height) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, slot.width, slot.height, GL_BGRA,
                    GL_UNSIGNED_INT_8_8_8_8_REV, slot.pixels.data());
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, slot.width, slot.height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, slot.pixels.data());
    texture_.width = slot.width;
    texture_.height = slot.height;
  }
  texture_.loaded = true;
  texture_.order = order;
}

void GlPresenter::draw(const FrameSlot& slot, const Viewport& vp, int32_t window_w,
                       int32_t window_h) {
  glViewport(0, 0, window_w, window_h);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_DITHER);
  glDisable(GL_LIGHTING);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  upload(slot);
  const GLint filter = vp.smooth ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glEnable(GL_TEXTURE_2D);

  // GL counts rows from the bottom.
  glViewport(vp.x, window_h - vp.y - vp.height, vp.width, vp.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(-1.0f, -1.0f);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(1.0f, -1.0f);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(1.0f, 1.0f);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(-1.0f, 1.0f);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

void GlPresenter::install() {
  glutDisplayFunc(display_callback);
  glutReshapeFunc(reshape_callback);
  arm_display_timer(8);
}

void GlPresenter::present_frame() {
  Runtime& rt = context_.rt;
  Presenter& ps = rt.presenter;
  if (presenting_) return;
  presenting_ = true;
  if (!timer_redisplay_) ps.repaint_requested();
  timer_redisplay_ = false;
  const PresentPlan plan = ps.plan(rt.frames, rt.window, rt.state, observe(ps, manager_));
  if (plan.draw) {
    if (plan.full_screen == FullScreenAction::Enter) manager_.request_full_screen(true);
    if (plan.full_screen == FullScreenAction::Leave) manager_.request_full_screen(false);
    if (plan.request) {
      glutReshapeWindow(plan.request->width, plan.request->height);
      glutPostRedisplay();
    }
    const WindowSize window = ps.window_size();
    draw(rt.frames.slots[plan.slot], plan.viewport, window.width, window.height);
    glutSwapBuffers();
  }
  presenting_ = false;
}

void GlPresenter::timer_tick() {
  // Asked only when there is something to draw: an unchanged frame is not
  // drawn again, which keeps an idle window from costing a redraw a pass.
  const Runtime& rt = context_.rt;
  if (glutGetWindow() != 0 &&
      rt.presenter.presentation_due(rt.frames, rt.state, observe(rt.presenter, manager_))) {
    timer_redisplay_ = true;
    glutPostRedisplay();
  }
  // Asked again a sixtieth of a second later, without sleeping on the window
  // thread in between: events are handled meanwhile and no extra wake-up
  // costs.
  arm_display_timer(1000 / 60);
}

void GlPresenter::window_reshaped(int width, int height) {
  context_.rt.presenter.window_size_reported(width, height, clock_ms());
}

}  // namespace ws
