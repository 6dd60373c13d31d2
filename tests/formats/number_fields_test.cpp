#include "formats/number_fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace malha {
namespace {

std::string field_25(double value) {
  std::string text(kRealField25Width, '?');
  real_field_25_15(text.data(), value);
  return text;
}

std::string field_18(double value) {
  std::string text(kRealField18Width, '?');
  real_field_18_9(text.data(), value);
  return text;
}

std::string field_8(std::int32_t value) {
  std::string text(kIntField8Width, '?');
  int_field_8(text.data(), value);
  return text;
}

struct RealCase {
  const char* name;
  double value;
  const char* field_25_15;
  const char* field_18_9;
};

void check_real_cases(const RealCase* begin, const RealCase* end) {
  for (const RealCase* c = begin; c != end; ++c) {
    SCOPED_TRACE(c->name);
    EXPECT_EQ(field_25(c->value), c->field_25_15);
    EXPECT_EQ(field_18(c->value), c->field_18_9);
  }
}

TEST(RealFields, WorkedExamples) {
  const RealCase cases[] = {
      {"0", 0.0, "    0.000000000000000E+00", "   0.000000000E+00"},
      {"negative zero has no sign", -0.0, "    0.000000000000000E+00", "   0.000000000E+00"},
      {"1", 1.0, "    1.000000000000000E+00", "   1.000000000E+00"},
      {"-1", -1.0, "   -1.000000000000000E+00", "  -1.000000000E+00"},
      {"0.5", 0.5, "    5.000000000000000E-01", "   5.000000000E-01"},
      {"1/3", 1.0 / 3.0, "    3.333333333333333E-01", "   3.333333333E-01"},
      {"2/3", 2.0 / 3.0, "    6.666666666666666E-01", "   6.666666667E-01"},
      {"1e-5", 1e-5, "    1.000000000000000E-05", "   1.000000000E-05"},
      {"123456.789", 123456.789, "    1.234567890000000E+05", "   1.234567890E+05"},
      {"-2.5e-7", -2.5e-7, "   -2.500000000000000E-07", "  -2.500000000E-07"},
  };
  check_real_cases(std::begin(cases), std::end(cases));
}

TEST(RealFields, CarryAcrossAPowerOfTen) {
  const RealCase cases[] = {
      {"ten nines round up in the short field", 9.9999999999, "    9.999999999900000E+00",
       "   1.000000000E+01"},
      {"9.9999999999999999 is the double 10", 9.9999999999999999, "    1.000000000000000E+01",
       "   1.000000000E+01"},
  };
  check_real_cases(std::begin(cases), std::end(cases));
}

TEST(RealFields, ExponentWidth) {
  const RealCase cases[] = {
      {"1e99 keeps the letter", 1e99, "    1.000000000000000E+99", "   1.000000000E+99"},
      {"1e100 drops it", 1e100, "    1.000000000000000+100", "   1.000000000+100"},
      {"1e-100", 1e-100, "    1.000000000000000-100", "   1.000000000-100"},
      {"below 1e-99, carried to E-99 in the short field", std::nextafter(1e-99, 0.0),
       "    9.999999999999998-100", "   1.000000000E-99"},
      {"smallest positive double", std::numeric_limits<double>::denorm_min(),
       "    4.940656458412465-324", "   4.940656458-324"},
  };
  check_real_cases(std::begin(cases), std::end(cases));
}

TEST(RealFields, TwoStepRounding) {
  // 76.09624449125756 is exactly 76.09624449125756484590...: its 17th and
  // 18th digits are 4 and 8, so step 1 gives ...65 and step 2 rounds up,
  // where one rounding to 16 digits would end in 6.
  // 1234.5678905 is exactly 1234.567890499999975...: step 1 turns the
  // digits 4999999|9 into 5000000, so the short field rounds up to ...891,
  // where one rounding to 10 digits would give ...890.
  // The two halves below are exactly representable (17 significant digits
  // ending in 5, and 11 ending in 5), so the tie rounds up in both fields.
  const RealCase cases[] = {
      {"76.09624449125756", 76.09624449125756, "    7.609624449125757E+01",
       "   7.609624449E+01"},
      {"1234.5678905", 1234.5678905, "    1.234567890500000E+03", "   1.234567891E+03"},
      {"exact tie at digit 17", 1234567890123456.5, "    1.234567890123457E+15",
       "   1.234567890E+15"},
      {"exact negative tie at digit 17", -1234567890123456.5, "   -1.234567890123457E+15",
       "  -1.234567890E+15"},
      {"exact tie at digit 11", 12345678905.0, "    1.234567890500000E+10",
       "   1.234567891E+10"},
  };
  check_real_cases(std::begin(cases), std::end(cases));
}

TEST(IntField8, WorkedExamples) {
  struct Case {
    const char* name;
    std::int32_t value;
    const char* text;
  };
  const Case cases[] = {
      {"zero", 0, "       0"},
      {"negative", -7, "      -7"},
      {"eight digits", 12345678, "12345678"},
      {"largest that fits", 99999999, "99999999"},
      {"nine digits overflow", 100000000, "********"},
      {"most negative that fits", -9999999, "-9999999"},
      {"negative overflow", -10000000, "********"},
      {"smallest int32", std::numeric_limits<std::int32_t>::min(), "********"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(field_8(c.value), c.text);
  }
}

// Every text length on both sides of each power of ten, both signs.
TEST(IntField8, AgreesWithPrintfAtEveryLength) {
  for (std::int64_t power = 1; power <= 100'000'000; power *= 10) {
    for (const std::int64_t magnitude : {power - 1, power, power + 1, 2 * power - 1}) {
      for (const std::int64_t value : {magnitude, -magnitude}) {
        if (value > 99'999'999 || value < -9'999'999) continue;
        char expected[24];
        std::snprintf(expected, sizeof(expected), "%8lld", static_cast<long long>(value));
        EXPECT_EQ(field_8(static_cast<std::int32_t>(value)), expected) << value;
      }
    }
  }
}

// No infinity or not-a-number value should reach a field; if one does, the
// whole field is asterisks, in every build.
TEST(RealFields, NonFiniteValuesGiveAsterisks) {
  const double nan_with_payload = std::bit_cast<double>(std::uint64_t {0xFFF8'0000'0000'1234});
  for (const double value : {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), nan_with_payload}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(field_25(value), std::string(kRealField25Width, '*'));
    EXPECT_EQ(field_18(value), std::string(kRealField18Width, '*'));
  }
}

// ---- Differential sweep against a slow reference built on printf -------

// The exact decimal digits of |value| > 0 and the exponent of the first.
// glibc's printf rounds correctly at its last digit, so the first 18 digits
// of a 41-digit text are the exact ones unless its rounding carried into
// them, which leaves digits 19 to 41 all zero; then the value is printed
// again with 800 digits after the point, which holds every double exactly.
struct ReferenceDigits {
  std::string digits;  // at least 18
  int exponent;
};

ReferenceDigits reference_digits(double value) {
  static char text[900];
  std::snprintf(text, sizeof(text), "%.40e", std::fabs(value));
  std::string digits = std::string(1, text[0]) + std::string(text + 2, 40);
  if (digits.find_first_not_of('0', 18) == std::string::npos) {
    std::snprintf(text, sizeof(text), "%.800e", std::fabs(value));
    digits = std::string(1, text[0]) + std::string(text + 2, 800);
  }
  const char* e = std::strchr(text, 'e');
  return {digits, std::atoi(e + 1)};
}

// Rounds a digit string to `count` digits, half up on the next digit;
// returns true when the carry ran out of the leading digit.
bool round_digits(std::string& digits, std::size_t count) {
  const bool up = digits[count] >= '5';
  digits.resize(count);
  if (!up) return false;
  for (std::size_t i = count; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  digits.assign(count, '0');
  digits[0] = '1';
  return true;
}

// The field for `value` whose exact digits are `ref` (ignored for zero).
std::string reference_field(double value, const ReferenceDigits& ref, int width,
                            int significant) {
  std::string mantissa;
  int exponent = 0;
  if (value == 0) {
    mantissa = std::string(static_cast<std::size_t>(significant), '0');
  } else {
    mantissa = ref.digits.substr(0, 18);
    exponent = ref.exponent;
    if (round_digits(mantissa, 17)) ++exponent;
    if (round_digits(mantissa, static_cast<std::size_t>(significant))) ++exponent;
  }
  std::string text = value < 0 ? "-" : "";
  text += mantissa[0];
  text += '.';
  text += mantissa.substr(1);
  char exponent_text[16];
  if (exponent >= -99 && exponent <= 99) {
    std::snprintf(exponent_text, sizeof(exponent_text), "E%c%02d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
  } else {
    std::snprintf(exponent_text, sizeof(exponent_text), "%c%03d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
  }
  text += exponent_text;
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// Generates the sweep's values: random bit patterns, subnormals, powers of
// ten and their neighbours, multiples of binary fractions such as a mesh
// writes, and values from a narrow range of typical magnitudes.
class SweepValues {
 public:
  double next(int index) {
    switch (index % 6) {
      case 0: {  // any finite bit pattern
        double v = 0;
        do {
          v = std::bit_cast<double>(random_());
        } while (!std::isfinite(v));
        return v;
      }
      case 1:  // subnormal
        return std::bit_cast<double>(random_() & ((std::uint64_t {1} << 52) - 1));
      case 2: {  // power of ten and a few steps either side
        const int power = static_cast<int>(random_() % 632) - 323;
        double v = std::pow(10.0, power);
        const int steps = static_cast<int>(random_() % 9) - 4;
        for (int i = 0; i < std::abs(steps); ++i) {
          v = std::nextafter(v, steps < 0 ? 0.0 : HUGE_VAL);
        }
        return v;
      }
      case 3: {  // i x length / 2^k and its thirds, as node and barycentre values
        const double length = 0.1 * static_cast<double>(random_() % 1000 + 1);
        const double step = length / std::ldexp(1.0, static_cast<int>(random_() % 12));
        const double v = static_cast<double>(random_() % 4097) * step;
        return random_() % 2 == 0 ? v : v / 3.0;
      }
      case 4:  // typical magnitudes, full random significand
        return std::ldexp(static_cast<double>(random_() >> 11),
                          static_cast<int>(random_() % 80) - 93);
      default: {  // large and small magnitudes near the edges of 128-bit arithmetic
        const int exponent = static_cast<int>(random_() % 120) - 60;
        return std::ldexp(static_cast<double>(random_() >> 11), exponent + 100 * (index % 2 ? 1 : -1));
      }
    }
  }

 private:
  std::mt19937_64 random_ {20240611};
};

TEST(RealFields, AgreeWithSlowReferenceOverAMillionValues) {
  constexpr int kCount = 1'000'000;
  SweepValues values;
  int two_step_cases = 0;
  for (int i = 0; i < kCount; ++i) {
    const double value = values.next(i);
    ReferenceDigits ref {};
    if (value != 0) {
      ref = reference_digits(value);
      const TruncatedDigits cut = truncated_digits_18(std::fabs(value));
      ASSERT_EQ(std::to_string(cut.digits), ref.digits.substr(0, 18)) << value;
      ASSERT_EQ(cut.exponent, ref.exponent) << value;
      if (ref.digits[16] == '4' && ref.digits[17] >= '5') ++two_step_cases;
    }
    ASSERT_EQ(field_25(value), reference_field(value, ref, 25, 16)) << std::hexfloat << value;
    ASSERT_EQ(field_18(value), reference_field(value, ref, 18, 10)) << std::hexfloat << value;
  }
  // The sweep must reach the case where the two steps differ from one rounding.
  EXPECT_GT(two_step_cases, 10'000);
}

}  // namespace
}  // namespace malha
