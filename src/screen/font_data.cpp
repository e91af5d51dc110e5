#include "screen/font.h"

namespace ws {
const uint8_t kPageFont[256][16] = {};
}  // namespace ws
