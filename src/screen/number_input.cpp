#include "screen/number_input.h"

#include "screen/runtime.h"

namespace ws {
void input_values(Runtime&, float& variable, int) { variable = 0; }
}  // namespace ws
