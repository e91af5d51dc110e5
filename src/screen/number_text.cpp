#include "screen/number_text.h"

namespace ws {
std::string single_to_text(float) { return " 0"; }
}  // namespace ws
