#include "app/display_name.h"

#include <X11/Xlib.h>

#include <cstring>

namespace ws {

std::optional<std::string> display_named_on_command_line(int argc, const char* const* argv) {
  std::optional<std::string> name;
  // As the window library reads its options: "-display" anywhere takes the
  // argument after it, whatever that is; a later one wins. Without that
  // argument the library ends the program before it opens anything.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-display") != 0) continue;
    if (++i >= argc) break;
    name = argv[i];
  }
  return name;
}

Display* open_display(const std::optional<std::string>& name) {
  return XOpenDisplay(name ? name->c_str() : nullptr);
}

}  // namespace ws
