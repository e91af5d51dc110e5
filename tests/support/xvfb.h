// A private X server (Xvfb) with a window manager (openbox) for window tests.
#pragma once

namespace ws::test {
// Filled in by the window-side work.
}  // namespace ws::test
