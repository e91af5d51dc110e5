#include "screen/key_poll.h"

#include "screen/runtime.h"

namespace ws {
std::string poll_key(Runtime&) { return {}; }
std::string char_to_string(Runtime&, int32_t code) { return std::string(1, static_cast<char>(code)); }
int32_t strings_equal(std::string_view a, std::string_view b) { return a == b ? -1 : 0; }
void delay_seconds(Runtime&, double) {}
int64_t ticks_ms(Runtime& rt) { return rt.clock.ticks_ms(); }
}  // namespace ws
