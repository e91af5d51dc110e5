#include "app/key_callbacks.h"

#include <GL/freeglut.h>

#include "screen/key_codes.h"
#include "screen/keyboard.h"

namespace ws {

// With Ctrl held, the window library delivers a letter as its control code
// 1..26, which becomes the letter again (its Ctrl column gives the control
// code), and a linefeed counts as Enter.
int32_t character_code(unsigned char character, int modifiers) {
  int32_t c = character;
  if ((modifiers & GLUT_ACTIVE_CTRL) != 0) {
    if (c == kLinefeed)
      c = kEnter;
    else if (c >= kCtrlA && c <= kCtrlZ)
      c += (modifiers & GLUT_ACTIVE_SHIFT) != 0 ? 'A' - kCtrlA : 'a' - kCtrlA;
  }
  return c == kDeleteCharacter ? int32_t{kKeyDelete} : c;
}

int32_t special_code(int library_key) {
  if (library_key >= GLUT_KEY_F1 && library_key <= GLUT_KEY_F10)
    return kKeyF1 + special_key_code(static_cast<uint8_t>(library_key - GLUT_KEY_F1));
  switch (library_key) {
    case GLUT_KEY_F11: return kKeyF11;
    case GLUT_KEY_F12: return kKeyF12;
    case GLUT_KEY_LEFT: return kKeyLeft;
    case GLUT_KEY_UP: return kKeyUp;
    case GLUT_KEY_RIGHT: return kKeyRight;
    case GLUT_KEY_DOWN: return kKeyDown;
    case GLUT_KEY_PAGE_UP: return kKeyPageUp;
    case GLUT_KEY_PAGE_DOWN: return kKeyPageDown;
    case GLUT_KEY_HOME: return kKeyHome;
    case GLUT_KEY_END: return kKeyEnd;
    case GLUT_KEY_INSERT: return kKeyInsert;
    // The keypad's Delete with Num Lock off, which X delivers without a
    // character: the same key as the character 127.
    case GLUT_KEY_DELETE: return kKeyDelete;
    case GLUT_KEY_SHIFT_L: return kKeyLeftShift;
    case GLUT_KEY_SHIFT_R: return kKeyRightShift;
    case GLUT_KEY_CTRL_L: return kKeyLeftCtrl;
    case GLUT_KEY_CTRL_R: return kKeyRightCtrl;
    case GLUT_KEY_ALT_L: return kKeyLeftAlt;
    case GLUT_KEY_ALT_R: return kKeyRightAlt;
    default: return 0;
  }
}

void on_key_down(Keyboard& kb, unsigned char character, int modifiers) {
  if (const int32_t code = character_code(character, modifiers)) handle_key_press(kb, code);
}

void on_key_up(Keyboard& kb, unsigned char character, int modifiers) {
  if (const int32_t code = character_code(character, modifiers)) handle_key_release(kb, code);
}

void on_special_key_down(Keyboard& kb, int library_key) {
  if (const int32_t code = special_code(library_key)) handle_key_press(kb, code);
}

void on_special_key_up(Keyboard& kb, int library_key) {
  if (const int32_t code = special_code(library_key)) handle_key_release(kb, code);
}

}  // namespace ws
