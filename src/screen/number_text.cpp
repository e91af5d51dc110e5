#include "screen/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ws {

// The value is first rounded once to 7 significant digits (exactly, from its
// double-precision value); both the fixed and the exponent form are then
// written from those digits, so they can never disagree on a rounding.
// Infinities print as " INF" and "-INF"; NaN, whatever its sign bit, as " NAN".
std::string single_to_text(float x) {
  const double v = x;
  if (std::isnan(v)) return " NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : " INF";

  if (v == 0) return " 0";
  std::string out(1, v < 0 ? '-' : ' ');

  // d.dddddde±XX: the seven digits D1..D7 and the decimal exponent e.
  char sci[32];
  const auto res = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific, 6);
  char digits[7];
  digits[0] = sci[0];
  for (int i = 1; i < 7; ++i) digits[i] = sci[i + 1];
  int e = 0;
  std::from_chars(sci + 10, res.ptr, e);
  if (sci[9] == '-') e = -e;

  int n = 7;
  while (n > 1 && digits[n - 1] == '0') --n;

  if (e <= 6 && e - n >= -8) {
    if (e >= 0) {
      // D1..D(e+1) before the point (zeros past Dn), the rest after it.
      for (int i = 0; i <= e; ++i) out += i < n ? digits[i] : '0';
      if (n > e + 1) {
        out += '.';
        out.append(digits + e + 1, digits + n);
      }
    } else {
      // No zero before the point; -e-1 zeros between the point and D1.
      out += '.';
      out.append(static_cast<size_t>(-e - 1), '0');
      out.append(digits, digits + n);
    }
    return out;
  }

  out += digits[0];
  if (n > 1) {
    out += '.';
    out.append(digits + 1, digits + n);
  }
  out += 'E';
  out += e < 0 ? '-' : '+';
  const int a = std::abs(e);
  if (a >= 100) out += static_cast<char>('0' + a / 100);
  out += static_cast<char>('0' + a / 10 % 10);
  out += static_cast<char>('0' + a % 10);
  return out;
}

}  // namespace ws
