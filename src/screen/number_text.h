// The text of a single-precision number as a print statement shows it.
#pragma once

#include <string>

namespace ws {

// 2 to 13 characters: a sign position, at most 7 significant digits, fixed or
// exponent form. Infinities and NaN get texts of their own (see the .cpp).
std::string single_to_text(float x);

}  // namespace ws
