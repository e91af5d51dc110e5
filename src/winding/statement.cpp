#include "winding/statement.h"

#include <cmath>
#include <fpu_control.h>

namespace ws {

int32_t convert_to_int16(Runtime& rt, double x) {
  if (x >= -32768.5 && x < 32767.5) return static_cast<int32_t>(std::nearbyint(x));
  raise_runtime_error(rt, kOverflow);
  return 0;
}

int64_t round_to_int64(Real x) {
  // 2^63 is exact in the extended format.
  constexpr Real kLimit = 9223372036854775808.0L;
  if (!(x >= -kLimit && x < kLimit)) return INT64_MIN;
  const Real r = std::nearbyintl(x);
  if (r >= kLimit) return INT64_MIN;
  return static_cast<int64_t>(r);
}

uint32_t check_array_index(Runtime& rt, uint32_t index, uint32_t count) {
  if (index < count) return index;
  raise_runtime_error(rt, kSubscriptOutOfRange);
  return 0;
}

Real Procedure::fl(Real x) {
  return static_cast<Real>(static_cast<float>(std::floor(static_cast<double>(x))));
}

void set_extended_precision() {
  fpu_control_t cw;
  _FPU_GETCW(cw);
  cw = static_cast<fpu_control_t>((cw & ~(_FPU_EXTENDED | _FPU_RC_ZERO)) | _FPU_EXTENDED |
                                  _FPU_RC_NEAREST | _FPU_MASK_IM | _FPU_MASK_DM | _FPU_MASK_ZM |
                                  _FPU_MASK_OM | _FPU_MASK_UM | _FPU_MASK_PM);
  _FPU_SETCW(cw);
}

}  // namespace ws
