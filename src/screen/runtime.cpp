#include "screen/runtime.h"

#include <cstdio>
#include <unistd.h>

#include "screen/leak_check.h"
#if defined(WS_LEAK_CHECK)
#include <sanitizer/lsan_interface.h>
#endif

namespace ws {

void ExitProcess::end_process(int code) {
  std::fflush(nullptr);
#if defined(WS_LEAK_CHECK)
  // _exit skips the leak check that a sanitizer build runs at a normal exit:
  // run it here, with every thread still holding what it holds, and end with
  // the sanitizer's own exit code when it found a leak (its report is on
  // stderr).
  if (__lsan_do_recoverable_leak_check() != 0) _exit(kLeakExitCode);
#endif
  _exit(code);
}

Runtime::Runtime(Clock& c, MessageBoxPresenter& b, ProcessControl& p)
    : clock(c), boxes(b), process(p) {}

}  // namespace ws
