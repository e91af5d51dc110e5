// The window library's keyboard callbacks as key codes for the key handling:
// characters with the modifiers the library reports for the event
// (GLUT_ACTIVE_* bits), and its special key numbers (GLUT_KEY_*).
#pragma once

#include <cstdint>

namespace ws {

class Keyboard;

// A character event as a key code, 0 for none.
int32_t character_code(unsigned char character, int modifiers);
// A special key as a key code, 0 for one this program ignores.
int32_t special_code(int library_key);

void on_key_down(Keyboard& kb, unsigned char character, int modifiers);
void on_key_up(Keyboard& kb, unsigned char character, int modifiers);
void on_special_key_down(Keyboard& kb, int library_key);
void on_special_key_up(Keyboard& kb, int library_key);

}  // namespace ws
