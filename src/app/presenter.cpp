// The presenting callbacks: the frame as a GL texture, drawn into the viewport
// that the presenter's decisions give, and the window requests that go with
// them (a new client size, full screen).
#include "app/presenter.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include "app/window_manager.h"
#include "screen/clock.h"
#include "screen/presenting.h"
#include "screen/runtime.h"

namespace ws {

namespace {

Runtime* g_rt = nullptr;

struct Texture {
  GLuint name = 0;
  int32_t width = 0, height = 0;
  bool loaded = false;
  uint64_t order = 0;  // the order number of the frame it holds
};
Texture g_texture;
// present_frame is running (the window library may call it re-entrantly).
bool g_presenting = false;

std::chrono::steady_clock::time_point g_next_tick;
// The pending redisplay is the display timer's. Any other comes from the
// window library itself (the window was exposed or mapped) and must repaint.
bool g_timer_redisplay = false;

int64_t clock_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The clock, and the pointer's buttons only while an answer waits for them
// alone (a round trip to the server each time).
WindowObservation observe(const Presenter& presenter) {
  WindowObservation seen;
  seen.now_ms = clock_ms();
  if (presenter.answer_waits_for_pointer(seen.now_ms)) seen.button_held = pointer_button_held();
  return seen;
}

void arm_display_timer(int ms) {
  g_next_tick = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  glutTimerFunc(ms, display_timer_tick, 0);
}

// Uploads the slot's frame unless the texture already holds it.
void upload(const FrameSlot& slot) {
  if (g_texture.name == 0) {
    glGenTextures(1, &g_texture.name);
    glBindTexture(GL_TEXTURE_2D, g_texture.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glBindTexture(GL_TEXTURE_2D, g_texture.name);
  const uint64_t order = slot.order.load(std::memory_order_relaxed);
  if (g_texture.loaded && g_texture.order == order) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // 0xAARRGGBB words are B, G, R, A in memory.
  if (g_texture.width == slot.width && g_texture.height == slot.height) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, slot.width, slot.height, GL_BGRA,
                    GL_UNSIGNED_INT_8_8_8_8_REV, slot.pixels.data());
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, slot.width, slot.height, 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, slot.pixels.data());
    g_texture.width = slot.width;
    g_texture.height = slot.height;
  }
  g_texture.loaded = true;
  g_texture.order = order;
}

void draw(const FrameSlot& slot, const Viewport& vp, int32_t window_w, int32_t window_h) {
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

}  // namespace

void set_window_runtime(Runtime& rt) { g_rt = &rt; }

void present_frame() {
  Runtime& rt = *g_rt;
  Presenter& ps = rt.presenter;
  if (g_presenting) return;
  g_presenting = true;
  if (!g_timer_redisplay) ps.repaint_requested();
  g_timer_redisplay = false;
  const PresentPlan plan = ps.plan(rt.frames, rt.window, rt.state, observe(ps));
  if (plan.draw) {
    if (plan.full_screen == FullScreenAction::Enter) request_full_screen(true);
    if (plan.full_screen == FullScreenAction::Leave) request_full_screen(false);
    if (plan.request) {
      glutReshapeWindow(plan.request->width, plan.request->height);
      glutPostRedisplay();
    }
    const WindowSize window = ps.window_size();
    draw(rt.frames.slots[plan.slot], plan.viewport, window.width, window.height);
    glutSwapBuffers();
  }
  g_presenting = false;
}

void start_display_timer() { arm_display_timer(8); }

void display_timer_tick(int) {
  // Asked only when there is something to draw: an unchanged frame is not
  // drawn again, which keeps an idle window from costing a redraw a pass.
  if (glutGetWindow() != 0 &&
      g_rt->presenter.presentation_due(g_rt->frames, g_rt->state, observe(g_rt->presenter))) {
    g_timer_redisplay = true;
    glutPostRedisplay();
  }
  // Asked again a sixtieth of a second later, without sleeping on the window
  // thread in between: events are handled meanwhile and no extra wake-up
  // costs.
  arm_display_timer(1000 / 60);
}

std::chrono::steady_clock::time_point next_display_tick() { return g_next_tick; }

void on_window_reshape(int width, int height) {
  g_rt->presenter.window_size_reported(width, height, clock_ms());
}

}  // namespace ws
