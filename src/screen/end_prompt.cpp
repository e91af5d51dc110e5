#include "screen/end_prompt.h"

#include "screen/errors.h"
#include "screen/runtime.h"

namespace ws {
void end_program(Runtime& rt) {
  rt.state.program_ended.store(1);
  park_program_thread(rt);
}
}  // namespace ws
