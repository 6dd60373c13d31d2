#pragma once
// The three fixed-width number fields of the output files. Each writes
// exactly its width in bytes at `out` (no terminator) and cannot fail.
//
// int_field_8: the integer in decimal, minus sign directly before the first
// digit, right-aligned in 8 characters; from 100000000 up and from -10000000
// down, eight asterisks.  7 -> "       7", -7 -> "      -7".
//
// real_field_25_15 and real_field_18_9: S = 16 or 10 significant digits as
// d.ddd followed by the decimal exponent, right-aligned in 25 or 18
// characters. The digits come from the exact decimal expansion of the double
// in two rounding steps, in this order:
//   1. cut after the 18th significant digit, round to 17 (half up on the 18th);
//   2. round those 17 digits to S (half up on digit S + 1).
// A carry out of the leading digit gives 1.000... and raises the exponent.
// The exponent is E with sign and two digits from -99 to 99, and sign and
// three digits without the E beyond that. Zero, also negative zero, has no
// sign and the exponent E+00. Examples (real_field_25_15 without the
// leading blanks, then real_field_18_9):
//   1/3               3.333333333333333E-01    3.333333333E-01
//   9.9999999999      9.999999999900000E+00    1.000000000E+01
//   76.09624449125756 7.609624449125757E+01    7.609624449E+01   (two steps)
//   1e-100            1.000000000000000-100    1.000000000-100
//   -2.5e-7          -2.500000000000000E-07   -2.500000000E-07
// A mesh that the construction gives holds no infinity or not-a-number
// (check_finite_values), so none should reach these fields; if one ever
// does, the field is its width in asterisks (the overflow form), never digits, the
// letters of "inf" or "nan", or unwritten bytes. The test is on the
// exponent bits, in every build.

#include <cstdint>

#include "formats/file_formats.h"

namespace malha {

void int_field_8(char* out, std::int32_t value);
void real_field_25_15(char* out, double value);
void real_field_18_9(char* out, double value);

// A real field's digits, exponent and sign: digits 0 and exponent 0 for
// zero, which has no sign.
struct RealFieldDigits {
  std::uint64_t digits;
  int exponent;
  bool negative;
};

// The digits (16 or 10), exponent and sign that real_field_25_15 or
// real_field_18_9 writes for a finite `value`, without writing the field.
RealFieldDigits real_field_25_15_digits(double value);
RealFieldDigits real_field_18_9_digits(double value);

// Whether `a` and `b` are written as the same real_field_25_15, without
// writing it (infinities and not-a-numbers all alike, as asterisks).
bool is_same_real_field_25_15(double a, double b);

// The first 18 significant digits of the exact decimal expansion of a finite
// `value` > 0, cut (not rounded), as an integer in [10^17, 10^18), and the
// decimal exponent of the first digit: value = d1.d2d3... x 10^exponent.
struct TruncatedDigits {
  std::uint64_t digits;
  int exponent;
};
TruncatedDigits truncated_digits_18(double value);

}  // namespace malha
