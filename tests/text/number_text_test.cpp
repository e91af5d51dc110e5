#include "screen/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace ws::test {
namespace {

struct NumberCase {
  float x;
  const char* text;
};

// Each x is the single-precision value nearest to the literal.
const NumberCase kNumberCases[] = {
    {0.0f, " 0"},
    {-0.0f, " 0"},
    {3.0f, " 3"},
    {24.0f, " 24"},
    {100.0f, " 100"},
    {-2.5f, "-2.5"},
    {6.25f, " 6.25"},
    {0.5f, " .5"},
    {-0.5f, "-.5"},
    {-0.001f, "-.001"},
    {25.0f / 4.0f / 3.0f, " 2.083333"},
    {1.0f / 3.0f, " .3333333"},
    {-1.0f / 3.0f, "-.3333333"},
    {2.0f / 3.0f, " .6666667"},
    {1234.5678f, " 1234.568"},
    {99999.996f, " 99999.99"},
    {1234567.0f, " 1234567"},
    {1000000.0f, " 1000000"},
    {9999999.0f, " 9999999"},
    {10000000.0f, " 1E+07"},
    {12345678.0f, " 1.234568E+07"},
    {-12345678.0f, "-1.234568E+07"},
    {4.5E+15f, " 4.5E+15"},
    {0.0000001f, " .0000001"},
    {0.0001234f, " .0001234"},
    {0.0000001234f, " 1.234E-07"},
    {0.00001234f, " 1.234E-05"},
    {0.0123456f, " .0123456"},
    {0.01234567f, " 1.234567E-02"},
    {0.00000015f, " 1.5E-07"},
    {0.00000001f, " 1E-08"},
    {3.4028235E+38f, " 3.402823E+38"},
    {-3.4028235E+38f, "-3.402823E+38"},
    {1.401298E-45f, " 1.401298E-45"},
    // Rounding to 7 digits carries into the next power of ten.
    {0.000099999997f, " .0001"},
    {9999999.5f, " 1E+07"},  // 9999999.5 is exact: rounds up whichever way ties go
    {0.99999994f, " .9999999"},
    // Not numbers: a sign position and a word.
    {std::numeric_limits<float>::infinity(), " INF"},
    {-std::numeric_limits<float>::infinity(), "-INF"},
    {std::numeric_limits<float>::quiet_NaN(), " NAN"},
    {-std::numeric_limits<float>::quiet_NaN(), " NAN"},
};

TEST(NumberText, ExamplesAndEdgeCases) {
  for (const NumberCase& c : kNumberCases) {
    EXPECT_EQ(single_to_text(c.x), c.text) << "x = " << std::hexfloat << c.x;
  }
}

// A tie between two 7-digit results may go either way, but the fixed and the
// exponent form must round it alike.
TEST(NumberText, TiesRoundTheSameInBothForms) {
  const std::string fixed = single_to_text(1234.5625f);
  EXPECT_TRUE(fixed == " 1234.562" || fixed == " 1234.563") << fixed;
  const std::string exponent = single_to_text(12345625.0f);  // exact, 8 digits ending in 5
  EXPECT_EQ(exponent, fixed == " 1234.562" ? " 1.234562E+07" : " 1.234563E+07");
}

// Reads a text of single_to_text: its value, its count of significant digits
// and the decimal exponent of its first significant digit.
struct ParsedText {
  bool ok = false;
  long double value = 0;
  int digits = 0;
  int exponent = 0;
};

ParsedText parse_text(const std::string& t) {
  ParsedText p;
  if (t.size() < 2 || (t[0] != ' ' && t[0] != '-')) return p;
  size_t i = 1;
  std::string mantissa;
  int point = -1;  // digits before the point
  for (; i < t.size() && (std::isdigit(static_cast<unsigned char>(t[i])) || t[i] == '.'); ++i) {
    if (t[i] == '.') {
      if (point >= 0) return p;
      point = static_cast<int>(mantissa.size());
    } else {
      mantissa += t[i];
    }
  }
  if (mantissa.empty()) return p;
  if (point < 0) point = static_cast<int>(mantissa.size());
  int exp10 = 0;
  if (i < t.size()) {
    // E, a sign and two digits; the mantissa is then d or d.ddd.
    if (t.size() - i != 4 || t[i] != 'E' || (t[i + 1] != '+' && t[i + 1] != '-') ||
        !std::isdigit(static_cast<unsigned char>(t[i + 2])) ||
        !std::isdigit(static_cast<unsigned char>(t[i + 3])) || point != 1 || mantissa[0] == '0')
      return p;
    exp10 = (t[i + 2] - '0') * 10 + (t[i + 3] - '0');
    if (t[i + 1] == '-') exp10 = -exp10;
  } else if (point > 0 && mantissa[0] == '0') {
    return p;  // fixed form writes no zero before the point
  }
  const size_t first = mantissa.find_first_not_of('0');
  const size_t last = mantissa.find_last_not_of('0');
  if (first == std::string::npos) return p;
  if (point < static_cast<int>(mantissa.size()) && last + 1 != mantissa.size()) return p;  // trailing zero
  p.digits = static_cast<int>(last - first + 1);
  p.exponent = exp10 + point - 1 - static_cast<int>(first);
  p.value = std::strtold(t.c_str(), nullptr);
  p.ok = true;
  return p;
}

// Every finite non-zero float prints in at most 13 characters as the value
// rounded to 7 significant digits. Checked on a dense sample of bit patterns
// of both signs and on all powers of ten with their neighbours.
TEST(NumberText, FiniteValuesPrintRoundedToSevenDigits) {
  int checked = 0;
  auto check = [&checked](float x) {
    if (!std::isfinite(x) || x == 0.0f) return;
    ++checked;
    const std::string t = single_to_text(x);
    const ParsedText p = parse_text(t);
    ASSERT_TRUE(p.ok && t.size() <= 13) << std::hexfloat << x << " -> \"" << t << '"';
    ASSERT_EQ(t[0] == '-', x < 0) << t;
    ASSERT_LE(p.digits, 7) << t;
    // Nearest at 7 digits: within half a unit of the seventh digit (a tie
    // may go either way), allowing for strtold's own rounding of the text.
    const long double unit = std::pow(10.0L, p.exponent - 6);
    const long double error = std::fabs(p.value - static_cast<long double>(x));
    ASSERT_LE(error, unit * 0.5L + std::fabs(p.value) * 1e-18L) << std::hexfloat << x << " -> \"" << t << '"';
    // And reading the text back gives the float of that rounded value.
    char reference[32];
    std::snprintf(reference, sizeof reference, "%.6e", static_cast<double>(x));
    ASSERT_EQ(std::strtof(t.c_str(), nullptr), std::strtof(reference, nullptr)) << t;
  };
  // A prime stride over all 2^32 patterns (NaN and infinities skipped).
  for (uint64_t bits = 0; bits < (uint64_t{1} << 32); bits += 1543) {
    check(std::bit_cast<float>(static_cast<uint32_t>(bits)));
    if (HasFatalFailure()) return;
  }
  for (int e = -45; e <= 38; ++e) {
    const float p = std::strtof(("1e" + std::to_string(e)).c_str(), nullptr);
    const uint32_t b = std::bit_cast<uint32_t>(p);
    for (uint32_t k = b - 3; k != b + 4; ++k) {
      check(std::bit_cast<float>(k));
      check(-std::bit_cast<float>(k));
    }
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(checked, 2'500'000);
}

}  // namespace
}  // namespace ws::test
