// The type in which the animator's expressions and the drawing's coordinate
// arithmetic are evaluated: the x87 80-bit format with its 64-bit
// significand. Quantities are stored in single precision and read into it.
#pragma once

namespace ws {

using Real = long double;

}  // namespace ws
