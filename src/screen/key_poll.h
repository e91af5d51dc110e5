// The key poll and the pause, as the step clock, the number input, the final
// key wait and the end prompt use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ws {

struct Runtime;

// The oldest waiting key as a key text (empty, one byte, or 0 and the scan
// code); never waits.
std::string poll_key(Runtime& rt);
// The one-byte text of a code 0..255; else error 5 and the empty text.
std::string char_to_string(Runtime& rt, int32_t code);
// -1 when equal, 0 otherwise.
int32_t strings_equal(std::string_view a, std::string_view b);
// Suspends the program thread for s seconds in 9 ms slices, calling the
// statement-end handler with line 0 in each; error 5 outside 0..2147483.647.
void delay_seconds(Runtime& rt, double seconds);
int64_t ticks_ms(Runtime& rt);

}  // namespace ws
