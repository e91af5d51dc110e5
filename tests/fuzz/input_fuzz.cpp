// Fuzzes the number check the way the number input uses it: every input byte
// is a key (Backspace removes the last byte, Enter starts a new text, the
// ignored keys do nothing, any other byte is appended and removed again when
// the check refuses it; bytes from 0x80 up type the bytes of numbers). After
// every key the typed text must be valid, at most 255 bytes long and within
// the magnitudes of single precision, and its value must be that of the text:
// strtof of a decimal text (the largest finite single where strtof
// overflows), the digits of a hexadecimal or octal one. The whole input is
// also checked as one text.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "screen/number_check.h"

namespace {

using ws::check_typed_number;
using ws::kMaxTypedText;
using ws::NumberCheck;

[[noreturn]] void fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "%s: \"%.*s\" (%zu bytes)\n", what, static_cast<int>(text.size()),
               text.data(), text.size());
  std::abort();
}

uint32_t bits(float x) {
  uint32_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// The number text: the typed text without its quotes.
std::string_view number_text(std::string_view typed) {
  if (typed.empty() || typed[0] != '"') return typed;
  typed.remove_prefix(1);
  if (!typed.empty() && typed.back() == '"') typed.remove_suffix(1);
  return typed;
}

// Digits of the significand (before any exponent letter).
void significand_digits(std::string_view t, bool& any, bool& non_zero) {
  any = non_zero = false;
  for (const char c : t) {
    if (c == 'E' || c == 'e') break;
    if (c >= '0' && c <= '9') any = true;
    if (c >= '1' && c <= '9') non_zero = true;
  }
}

void expect_value(std::string_view typed, const NumberCheck& r) {
  const std::string_view number = number_text(typed);
  uint64_t radix_value;
  if (ws::parse_radix_prefix(number, radix_value) != ws::kNotRadix) {
    if (bits(r.value) != bits(static_cast<float>(radix_value))) fail("radix value", typed);
    return;
  }
  if (!std::isfinite(r.value)) fail("value not finite", typed);
  bool any, non_zero;
  significand_digits(number, any, non_zero);
  const bool lone = number.empty() || number == "-" || number == "0" || number == "-0";
  if (lone || !any) {
    if (bits(r.value) != 0) fail("value of a text without a number is not +0", typed);
    return;
  }
  if (non_zero != (r.value != 0)) fail("value zero exactly when no digit is", typed);
  char buffer[kMaxTypedText + 1];
  std::memcpy(buffer, number.data(), number.size());
  buffer[number.size()] = '\0';
  // The magnitude limits: nothing from 3402824 on in the first seven digits
  // at magnitude 39, nothing below magnitude -44.
  const long double exact = std::fabs(std::strtold(buffer, nullptr));
  if (exact > 3.402824e38L) fail("accepted above the largest magnitude", typed);
  if (exact != 0 && exact < 1e-45L) fail("accepted below the smallest magnitude", typed);
  const float expected = std::strtof(buffer, nullptr);
  const float kept = std::isinf(expected) ? std::copysign(FLT_MAX, expected) : expected;
  if (bits(r.value) != bits(kept)) fail("value differs from strtof", typed);
}

// Bytes from 0x80 up stand for the bytes that numbers are made of, so that
// the fuzzer reaches long valid texts; the others are keys as they come.
uint8_t key_of(uint8_t byte) {
  static constexpr char kNumberBytes[] = "0123456789012345.-+Ee&HhOoAaFf\",";
  return byte < 0x80 ? byte
                     : static_cast<uint8_t>(kNumberBytes[(byte - 0x80) % (sizeof kNumberBytes - 1)]);
}

bool is_ignored(uint8_t key) {
  return key == 7 || key == 9 || (key >= 10 && key <= 12) || (key >= 28 && key <= 31);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view whole(reinterpret_cast<const char*>(data), size);
  const NumberCheck as_one = check_typed_number(whole);
  if (as_one.valid) {
    if (size > kMaxTypedText) fail("text past 255 bytes accepted", whole);
    expect_value(whole, as_one);
  } else if (bits(as_one.value) != 0) {
    fail("refused text with a value", whole);
  }

  char typed[kMaxTypedText];
  size_t length = 0;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t key = key_of(data[i]);
    if (key == 13) {
      length = 0;
    } else if (key == 8) {
      if (length > 0) --length;
    } else if (!is_ignored(key) && length < kMaxTypedText) {
      typed[length++] = static_cast<char>(key);
      if (!check_typed_number({typed, length}).valid) --length;
    }
    const std::string_view text(typed, length);
    const NumberCheck r = check_typed_number(text);
    // After a Backspace too: every beginning of an accepted text is valid.
    if (!r.valid) fail("typed text not valid after a key", text);
    expect_value(text, r);
  }
  return 0;
}
