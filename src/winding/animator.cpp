#include "winding/animator.h"

namespace ws {

void animate_winding_scheme(Runtime& rt) {
  set_extended_precision();
  install_arithmetic_signal_handler(rt);
  Animator animator(rt);
  animator.run_opening();
  animator.run_phases();
}

}  // namespace ws
