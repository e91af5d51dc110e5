#include "screen/number_check.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>

namespace ws {

namespace {

// Limits of single precision as digit counts and magnitudes: a number of
// magnitude m lies in [10^(m-1), 10^m).
constexpr int kMaxLeadingFractionZeros = 43;
constexpr int kMaxMagnitude = 39;
constexpr int kMinMagnitude = -44;
constexpr int kMaxFractionDigits = 8;
constexpr int kComparedDigits = 7;
// The first seven digits of the largest and of the smallest positive single.
constexpr char kLargestDigits[] = "3402823";
constexpr char kSmallestDigits[] = "1401298";
// Exponents are counted up to here; any larger one is far out of range.
constexpr int kExponentCap = 100000;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// What the byte-by-byte scan of a decimal text found.
struct DecimalScan {
  bool valid = false;
  bool lone = false;  // the lone minus sign, or the lone zero with or without it
  bool any_digit = false;
  int integer_digits = 0;
  int fraction_digits = 0;
  int leading_fraction_zeros = 0;
  int exponent = 0;
  int significant = 0;  // significant digits seen; the first seven are kept
  char first_significant[kComparedDigits] = {};
};

void add_significant(DecimalScan& s, char digit) {
  if (s.significant < kComparedDigits) s.first_significant[s.significant] = digit;
  ++s.significant;
  s.any_digit = true;
}

// Compares the kept significant digits (all of them when fewer than seven)
// with limit from the left: the sign of the first difference, 0 when none.
int compare_leading_digits(const DecimalScan& s, const char* limit) {
  const int n = s.significant < kComparedDigits ? s.significant : kComparedDigits;
  for (int k = 0; k < n; ++k) {
    if (s.first_significant[k] != limit[k]) return s.first_significant[k] < limit[k] ? -1 : 1;
  }
  return 0;
}

// Beginnings of [-] 0, and of [-] [0 | D digits] [. digits] [E [+|-] digits]
// with D a digit 1 to 9, where E follows integer digits, or fraction digits
// once a significant digit has been seen.
DecimalScan scan_decimal(std::string_view t) {
  DecimalScan s;
  const size_t n = t.size();
  size_t i = 0;
  if (i < n && t[i] == '-') ++i;
  if (i == n) {
    s.valid = s.lone = true;  // the lone minus sign (or nothing at all)
    return s;
  }
  if (t[i] == '0') {
    // A leading zero is the whole number or stands before the point.
    if (i + 1 == n) {
      s.valid = s.lone = true;
      return s;
    }
    if (t[i + 1] != '.') return s;
    s.any_digit = true;
    ++i;
  } else {
    for (; i < n && is_digit(t[i]); ++i) {
      ++s.integer_digits;
      add_significant(s, t[i]);
    }
  }
  bool exponent_follows = false;
  if (i < n && (t[i] == 'E' || t[i] == 'e')) {
    if (s.integer_digits == 0) return s;
    exponent_follows = true;
  } else if (i < n && t[i] == '.') {
    for (++i; i < n && is_digit(t[i]); ++i) {
      // Zeros right after the point are leading fraction zeros, and
      // significant too when integer digits stand before them.
      if (t[i] == '0' && s.leading_fraction_zeros == s.fraction_digits) ++s.leading_fraction_zeros;
      ++s.fraction_digits;
      s.any_digit = true;
      if (s.significant > 0 || t[i] != '0') add_significant(s, t[i]);
    }
    if (i < n && (t[i] == 'E' || t[i] == 'e')) {
      if (s.significant == 0 || s.fraction_digits == 0) return s;
      exponent_follows = true;
    }
  }
  if (exponent_follows) {
    ++i;
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i < n && t[i] == '0') {
      if (i + 1 != n) return s;  // a leading exponent zero must be the last byte
      ++i;
    }
    for (; i < n && is_digit(t[i]); ++i) {
      s.exponent = s.exponent * 10 + (t[i] - '0');
      if (s.exponent > kExponentCap) s.exponent = kExponentCap;
    }
    if (negative) s.exponent = -s.exponent;
  }
  s.valid = i == n;
  return s;
}

// The limits of single precision for a scanned text that is not lone.
bool within_limits(DecimalScan s) {
  // A single zero after the point does not count as a fraction.
  if (s.fraction_digits == 1 && s.leading_fraction_zeros == 1) {
    s.fraction_digits = s.leading_fraction_zeros = 0;
  }
  if (s.leading_fraction_zeros > kMaxLeadingFractionZeros) return false;
  if (s.integer_digits == 0 && s.fraction_digits == s.leading_fraction_zeros) return true;
  const int magnitude =
      (s.integer_digits > 0 ? s.integer_digits : -s.leading_fraction_zeros) + s.exponent;
  if (magnitude > kMaxMagnitude) return false;
  if (magnitude == kMaxMagnitude && compare_leading_digits(s, kLargestDigits) > 0) return false;
  if (s.fraction_digits > 0) {
    const int digits = s.integer_digits > 0 ? s.integer_digits + s.fraction_digits
                                            : s.fraction_digits - s.leading_fraction_zeros;
    if (digits > kMaxFractionDigits) return false;
  }
  if (magnitude < kMinMagnitude) return false;
  if (magnitude == kMinMagnitude && compare_leading_digits(s, kSmallestDigits) < 0) return false;
  return true;
}

// The nearest single to a valid decimal text, read with the C locale's point
// whatever the process's locale is.
float decimal_value(std::string_view t) {
  char buffer[kMaxTypedText + 1];
  std::memcpy(buffer, t.data(), t.size());
  buffer[t.size()] = '\0';
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  float x = c_locale != locale_t{} ? strtof_l(buffer, nullptr, c_locale)
                                   : std::strtof(buffer, nullptr);
  // 3402823 and more digits at magnitude 39 can lie past the largest finite
  // single: the input keeps such a value finite.
  if (std::isinf(x)) x = std::copysign(FLT_MAX, x);
  return x;
}

}  // namespace

int parse_radix_prefix(std::string_view text, uint64_t& value) noexcept {
  value = 0;
  if (text.empty() || text[0] != '&') return kNotRadix;
  if (text.size() == 1) return kHexadecimal;
  int form;
  size_t max_digits;
  unsigned base;
  switch (text[1]) {
    case 'H': case 'h': form = kHexadecimal; max_digits = 16; base = 16; break;
    case 'O': case 'o': form = kOctal; max_digits = 22; base = 8; break;
    default: return kNotRadix;
  }
  const std::string_view digits = text.substr(2);
  if (digits.size() > max_digits) return kNotRadix;
  // 22 octal digits hold 66 bits: the first may carry only one of them.
  if (form == kOctal && digits.size() == max_digits && digits[0] > '1') return kNotRadix;
  uint64_t v = 0;
  for (const char c : digits) {
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else {
      return kNotRadix;
    }
    if (d >= base) return kNotRadix;
    v = v * base + d;
  }
  value = v;
  return form;
}

NumberCheck check_typed_number(std::string_view typed) noexcept {
  if (typed.size() > kMaxTypedText) return {};
  std::string_view number = typed;
  if (!typed.empty() && typed[0] == '"') {
    // A quoted part: its closing quote must be the last byte; a comma inside
    // it belongs to the number text (and is refused there).
    const size_t close = typed.find('"', 1);
    if (close != std::string_view::npos && close + 1 != typed.size()) return {};
    number = typed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  } else if (typed.find(',') != std::string_view::npos) {
    return {};  // a second value, for which there is no variable
  }
  uint64_t radix_value;
  if (parse_radix_prefix(number, radix_value) != kNotRadix) {
    return {true, static_cast<float>(radix_value)};
  }
  const DecimalScan scan = scan_decimal(number);
  if (!scan.valid) return {};
  if (scan.lone) return {true, 0.0f};
  if (!within_limits(scan)) return {};
  if (!scan.any_digit) return {true, 0.0f};  // "." and "-."
  return {true, decimal_value(number)};
}

}  // namespace ws
