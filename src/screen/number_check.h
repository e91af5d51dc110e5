// The check that the number input makes after every key: is the typed text a
// single-precision number, or the beginning of one, within the limits of
// single precision, and what is its value. Pure and allocation-free, so that
// the input, its fuzzer and its benchmark share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ws {

// The longest typed text the input keeps.
inline constexpr size_t kMaxTypedText = 255;

// Results of parse_radix_prefix.
enum RadixForm : int { kNotRadix = 0, kHexadecimal = 1, kOctal = 2 };

// The hexadecimal (&H, &h) and octal (&O, &o) forms. Returns kNotRadix when
// text is not such a form within its digit limits (at most 16 hexadecimal
// digits; at most 22 octal ones, 22 only when the first is 0 or 1); else the
// form, with the digits' value in value (0 when there are no digits yet). The
// ampersand alone, before its letter, counts as hexadecimal.
int parse_radix_prefix(std::string_view text, uint64_t& value) noexcept;

struct NumberCheck {
  bool valid = false;
  float value = 0.0f;  // the text's value; 0 when not valid
};

// The check of a typed text: an optional quoted part (a leading double quote,
// closed by a second one that must be the last byte), no comma outside it,
// and a number text that is empty, a radix form or the beginning of a decimal
// number within the limits. A decimal value is the correctly rounded single of
// the text (a value past the largest finite single gives that largest value).
// Texts longer than kMaxTypedText are not valid.
NumberCheck check_typed_number(std::string_view typed) noexcept;

}  // namespace ws
