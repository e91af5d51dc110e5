// The number input: a line editor that checks the typed text after every key.
#pragma once

namespace ws {

struct Runtime;

// Reads one single-precision number into variable; line_end 1 ends the line
// at Enter. Returns at once on a stop request (the caller then parks).
void input_values(Runtime& rt, float& variable, int line_end);

}  // namespace ws
