#include "screen/number_check.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cstdint>
#include <string>

namespace ws::test {
namespace {

struct ValueCase {
  std::string text;
  float value;
};

uint32_t bits(float x) { return std::bit_cast<uint32_t>(x); }

TEST(CheckTypedNumber, ValidTextsAndTheirValues) {
  const ValueCase cases[] = {
      // Ties go to the even significand.
      {"16777217", 16777216.0f},
      {"16777219", 16777220.0f},
      {"33554434", 33554432.0f},
      {"0.1", 0.1f},
      {"-.5E3", -500.0f},
      {"340282346638528859811704183484516925440", FLT_MAX},
      // Past the largest single, at magnitude 39: kept finite.
      {"34028236" + std::string(31, '0'), FLT_MAX},
      {"-3402823" + std::string(32, '9'), -FLT_MAX},
      {".1E-44", FLT_TRUE_MIN},
      {"1.5E-45", FLT_TRUE_MIN},
      // The lone zero gives 0 without conversion, so no negative zero...
      {"-0", 0.0f},
      {"-", 0.0f},
      {"-.", 0.0f},
      // ...while a converted zero keeps its sign.
      {"-0.", -0.0f},
      {"-0.0", -0.0f},
      {"1e+", 1.0f},
      {"1E-0", 1.0f},
      {"\"", 0.0f},
      {"\"\"", 0.0f},
      {"\"-7.25", -7.25f},
      {"\"&hff\"", 255.0f},
      {"&o", 0.0f},
      {"&HfFfF", 65535.0f},
      {"&O0" + std::string(21, '7'), 9223372036854775807.0f},
      {"&HFFFFFF7FFFFFFFFF", 18446742974197923840.0f},  // rounds down, below the tie
  };
  for (const ValueCase& c : cases) {
    const NumberCheck r = check_typed_number(c.text);
    EXPECT_TRUE(r.valid) << c.text;
    EXPECT_EQ(bits(r.value), bits(c.value)) << c.text << " gives " << r.value;
  }
}

TEST(CheckTypedNumber, InvalidTexts) {
  const std::string invalid[] = {
      "00", "05", "-05", "0E", "+", " ", "E", "-E", "5-", "1.2.", "1D", "1d", "1.E", ".E",
      "0.0E", "1E05", "1E-00", "1E+-1", "1E1.", "-&", "&B", "&H1G", "&O8", "&7", "--1",
      "1 ", ",", "1,", "\"1,\"", "\"24\"5", "\"2\"\"", "2\"", "1E40", "4E38", "1E-46",
      "1.3E-45", "3402824" + std::string(32, '0'), "1" + std::string(39, '0'),
      "." + std::string(44, '0'), ".123456789", "12345678.01", "1.23456789",
      "&H" + std::string(17, '0'), "&O" + std::string(23, '0'), "&O2" + std::string(21, '0'),
      std::string("1\0", 2), "\xB1",
  };
  for (const std::string& t : invalid) {
    const NumberCheck r = check_typed_number(t);
    EXPECT_FALSE(r.valid) << t;
    EXPECT_EQ(bits(r.value), 0u) << t;
  }
}

TEST(CheckTypedNumber, NoTextLongerThan255BytesIsValid) {
  // Magnitude 250 - 247 = 3: within the limits, but only as a whole text;
  // typed key by key its 40th digit is refused.
  const std::string longest = "2" + std::string(249, '0') + "E-247";
  ASSERT_EQ(longest.size(), 255u);
  EXPECT_TRUE(check_typed_number(longest).valid);
  EXPECT_EQ(check_typed_number(longest).value, 200.0f);
  EXPECT_FALSE(check_typed_number("2" + std::string(250, '0') + "E-248").valid);
}

TEST(ParseRadixPrefix, FormsAndValues) {
  const struct {
    std::string text;
    int form;
    uint64_t value;
  } cases[] = {
      {"", kNotRadix, 0},
      {"1", kNotRadix, 0},
      {"&", kHexadecimal, 0},
      {"&H", kHexadecimal, 0},
      {"&h1f", kHexadecimal, 31},
      {"&HFFFFFFFFFFFFFFFF", kHexadecimal, UINT64_MAX},
      {"&H10000000000000000", kNotRadix, 0},
      {"&o", kOctal, 0},
      {"&O17", kOctal, 15},
      {"&O1" + std::string(21, '7'), kOctal, UINT64_MAX},
      {"&O2" + std::string(21, '0'), kNotRadix, 0},
      {"&O0" + std::string(21, '7'), kOctal, INT64_MAX},
      {"&O" + std::string(21, '7'), kOctal, (uint64_t{1} << 63) - 1},
      {"&O9", kNotRadix, 0},
      {"&HG", kNotRadix, 0},
      {"&B1", kNotRadix, 0},
      {"-&H1", kNotRadix, 0},
  };
  for (const auto& c : cases) {
    uint64_t value = 12345;
    EXPECT_EQ(parse_radix_prefix(c.text, value), c.form) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

}  // namespace
}  // namespace ws::test
