#include "screen/runtime.h"

#include <cstdio>
#include <unistd.h>

namespace ws {

void ExitProcess::end_process(int code) {
  std::fflush(nullptr);
  _exit(code);
}

Runtime::Runtime(Clock& c, MessageBoxPresenter& b, ProcessControl& p)
    : clock(c), boxes(b), process(p) {}

}  // namespace ws
