// The display the program's connections open. The window library opens the
// one its command-line option "-display NAME" names (the last one, when the
// option is given more than once), else the one of the DISPLAY variable; the
// keyboard's state at start and every message box open the same one, so
// that the boxes appear, and the keyboard is read, where the window is.
#pragma once

#include <optional>
#include <string>

typedef struct _XDisplay Display;

namespace ws {

// The display named on the command line as the window library reads it, or
// nullopt when none is (then DISPLAY names it). argv[0] is the program.
std::optional<std::string> display_named_on_command_line(int argc, const char* const* argv);

// A new connection to that display (nullopt: DISPLAY's); nullptr when it
// cannot be opened.
Display* open_display(const std::optional<std::string>& name);

}  // namespace ws
