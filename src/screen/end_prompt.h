// The end prompt: "Press any key to continue" on row 30, then the end.
#pragma once

namespace ws {

struct Runtime;

[[noreturn]] void end_program(Runtime& rt);

}  // namespace ws
