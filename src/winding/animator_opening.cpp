#include "winding/animator.h"

namespace ws {
void Animator::run_opening() {}
}  // namespace ws
