#include "output/number_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

namespace malha {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr std::array<std::uint64_t, 20> kPow10 = [] {
  std::array<std::uint64_t, 20> table {};
  std::uint64_t p = 1;
  for (std::uint64_t& entry : table) {
    entry = p;
    p *= 10;
  }
  return table;
}();

// 5^0 to 5^32: with a significand below 2^53, m x 5^32 still fits in 128 bits.
constexpr int kMaxPow5 = 32;
constexpr std::array<Uint128, kMaxPow5 + 1> kPow5 = [] {
  std::array<Uint128, kMaxPow5 + 1> table {};
  Uint128 p = 1;
  for (Uint128& entry : table) {
    entry = p;
    p *= 5;
  }
  return table;
}();

constexpr std::uint64_t kLow18 = 100'000'000'000'000'000;   // 10^17
constexpr std::uint64_t kHigh18 = 1'000'000'000'000'000'000; // 10^18

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value` as exactly `count` decimal digits ending just before `end`,
// with leading zeros; returns the first written position.
char* write_digits_backwards(char* end, std::uint64_t value, int count) {
  while (count >= 2) {
    const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
    value /= 100;
    end -= 2;
    end[0] = kDigitPairs[pair];
    end[1] = kDigitPairs[pair + 1];
    count -= 2;
  }
  if (count == 1) {
    *--end = static_cast<char>('0' + value % 10);
  }
  return end;
}

// floor(log10(2^e)) for |e| <= 1650.
int floor_log10_pow2(int e) { return (e * 78913) >> 18; }

// Exact digits for values the 128-bit arithmetic cannot reach (subnormals,
// very small or very large magnitudes): the standard library's exact
// scientific conversion, with enough digits to hold every double's whole
// expansion so that no rounding happens, then cut after 18 digits.
TruncatedDigits truncated_digits_from_text(double value) {
  // A double's exact decimal expansion has at most 767 significant digits.
  constexpr int kExactPrecision = 767;
  char text[kExactPrecision + 16];
  const std::to_chars_result result =
      std::to_chars(text, text + sizeof(text), value, std::chars_format::scientific,
                    kExactPrecision);
  assert(result.ec == std::errc());
  // text is "d.ddd...de[+-]xx"
  std::uint64_t digits = static_cast<std::uint64_t>(text[0] - '0');
  for (int i = 2; i < 19; ++i) digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
  const char* exponent_text = std::find(text, result.ptr, 'e') + 1;
  const bool negative_exponent = *exponent_text == '-';
  int exponent = 0;
  std::from_chars(exponent_text + 1, result.ptr, exponent);
  return {digits, negative_exponent ? -exponent : exponent};
}

}  // namespace

TruncatedDigits truncated_digits_18(double value) {
  assert(value > 0 && std::isfinite(value));
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int biased_exponent = static_cast<int>(bits >> 52);
  if (biased_exponent == 0) return truncated_digits_from_text(value);  // subnormal

  // value = m x 2^e with m < 2^53; its first digit has the decimal exponent
  // d or d + 1, where d = floor(log10(2^floor(log2(value)))).
  const std::uint64_t m = (bits & ((std::uint64_t {1} << 52) - 1)) | (std::uint64_t {1} << 52);
  const int e = biased_exponent - 1075;
  const int d = floor_log10_pow2(biased_exponent - 1023);
  // q = floor(value x 10^s) = floor(m x 5^s x 2^(e + s)) has 18 digits when
  // the exponent is d, and 19 when it is d + 1.
  const int s = 17 - d;
  const int shift = e + s;
  std::uint64_t q = 0;
  if (s >= 0 && s <= kMaxPow5) {
    const Uint128 product = Uint128 {m} * kPow5[static_cast<std::size_t>(s)];
    if (shift >= 0) {
      q = static_cast<std::uint64_t>(product << shift);
    } else if (shift > -128) {
      q = static_cast<std::uint64_t>(product >> -shift);
    }
  } else if (s < 0 && -s <= kMaxPow5 && shift >= 0 && shift <= 74) {
    // m x 2^shift < 2^127: divide by 5^-s exactly in 128 bits.
    q = static_cast<std::uint64_t>((Uint128 {m} << shift) / kPow5[static_cast<std::size_t>(-s)]);
  } else {
    return truncated_digits_from_text(value);
  }
  // floor(floor(x) / 10) = floor(x / 10): dropping the 19th digit keeps the cut exact.
  if (q >= kHigh18) return {q / 10, d + 1};
  assert(q >= kLow18);
  return {q, d};
}

namespace {

// Rounds the exact expansion to `significant` digits in the two steps and
// writes sign, mantissa and exponent right-aligned in `width` characters.
// Both are template parameters so that every division is by a constant.
template <int width, int significant>
void real_field(char* out, double value) {
  std::uint64_t digits = 0;
  int exponent = 0;
  const bool negative = value < 0;
  if (value != 0) {
    const TruncatedDigits cut = truncated_digits_18(std::fabs(value));
    exponent = cut.exponent;
    // Step 1: 18 digits to 17.
    std::uint64_t d17 = cut.digits / 10 + (cut.digits % 10 >= 5 ? 1 : 0);
    if (d17 == kHigh18 / 10) {
      d17 = kLow18 / 10;
      ++exponent;
    }
    // Step 2: 17 digits to `significant`, on digit significant + 1 alone.
    constexpr int dropped = 17 - significant;
    constexpr std::uint64_t unit = kPow10[static_cast<std::size_t>(dropped)];
    digits = d17 / unit;
    if ((d17 / (unit / 10)) % 10 >= 5) ++digits;
    if (digits == kPow10[static_cast<std::size_t>(significant)]) {
      digits = kPow10[static_cast<std::size_t>(significant - 1)];
      ++exponent;
    }
  }

  // Sign, d, '.', significant - 1 digits, four exponent characters.
  const int text_width = (negative ? 1 : 0) + significant + 1 + 4;
  static_assert(significant + 6 <= width);
  char* p = out;
  std::memset(p, ' ', static_cast<std::size_t>(width - text_width));
  p += width - text_width;
  if (negative) *p++ = '-';
  // Write all digits one place to the right, then move the first in front
  // of the point.
  write_digits_backwards(p + 1 + significant, digits, significant);
  p[0] = p[1];
  p[1] = '.';
  p += 1 + significant;

  const bool negative_exponent = exponent < 0;
  const int magnitude = negative_exponent ? -exponent : exponent;
  if (magnitude < 100) {
    p[0] = 'E';
    p[1] = negative_exponent ? '-' : '+';
    write_digits_backwards(p + 4, static_cast<std::uint64_t>(magnitude), 2);
  } else {
    p[0] = negative_exponent ? '-' : '+';
    write_digits_backwards(p + 4, static_cast<std::uint64_t>(magnitude), 3);
  }
}

}  // namespace

void int_field_8(char* out, std::int32_t value) {
  if (value > 99'999'999 || value < -9'999'999) {
    std::memset(out, '*', kIntField8Width);
    return;
  }
  // All eight places as digits, then blanks (and the sign) over the leading
  // zeros: no division loop to count the digits.
  const bool negative = value < 0;
  const std::uint32_t magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  write_digits_backwards(out + kIntField8Width, magnitude, kIntField8Width);
  const int digits = 1 + (magnitude >= 10) + (magnitude >= 100) + (magnitude >= 1'000) +
                     (magnitude >= 10'000) + (magnitude >= 100'000) +
                     (magnitude >= 1'000'000) + (magnitude >= 10'000'000);
  const int blanks = kIntField8Width - digits;
  std::memset(out, ' ', static_cast<std::size_t>(blanks));
  if (negative) out[blanks - 1] = '-';
}

void real_field_25_15(char* out, double value) { real_field<kRealField25Width, 16>(out, value); }

void real_field_18_9(char* out, double value) { real_field<kRealField18Width, 10>(out, value); }

}  // namespace malha
