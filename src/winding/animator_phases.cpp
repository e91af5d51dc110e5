#include "winding/animator.h"

#include "screen/end_prompt.h"

namespace ws {
void Animator::run_phases() { end_program(rt); }
}  // namespace ws
