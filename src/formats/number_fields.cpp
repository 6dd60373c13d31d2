#include "formats/number_fields.h"

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

constexpr std::uint64_t kExponentBits = 0x7FF0'0000'0000'0000;

// For a number of `digits` digits (1 to 8) right-aligned in the eight bytes
// of a word, in memory order: `mask` covers the 8 - digits leading bytes,
// and `fill` holds blanks there, with a minus sign in the last of them for
// a negative value.
struct LeadMask {
  std::uint64_t mask;
  std::uint64_t fill;
};
constexpr std::array<std::array<LeadMask, 9>, 2> kLeadMasks = [] {
  std::array<std::array<LeadMask, 9>, 2> table {};
  for (int negative = 0; negative < 2; ++negative) {
    for (int digits = 1; digits <= 8; ++digits) {
      std::array<unsigned char, 8> mask {};
      std::array<unsigned char, 8> fill {};
      const int lead = 8 - digits;
      for (int i = 0; i < lead; ++i) {
        mask[static_cast<std::size_t>(i)] = 0xFF;
        fill[static_cast<std::size_t>(i)] = ' ';
      }
      if (negative && lead > 0) fill[static_cast<std::size_t>(lead - 1)] = '-';
      LeadMask& entry = table[static_cast<std::size_t>(negative)][static_cast<std::size_t>(digits)];
      entry.mask = std::bit_cast<std::uint64_t>(mask);
      entry.fill = std::bit_cast<std::uint64_t>(fill);
    }
  }
  return table;
}();

// The two digits of `pair` (0 to 99) as a 16-bit value in memory order.
inline std::uint64_t pair_bits(std::uint32_t pair) {
  std::uint16_t bits = 0;
  std::memcpy(&bits, &kDigitPairs[pair * 2], 2);
  return bits;
}

// The two digits of `pair` (0 to 99) at `out`.
inline void write_pair_digits(char* out, std::uint32_t pair) {
  std::memcpy(out, &kDigitPairs[pair * 2], 2);
}

// The eight digits of `value` < 10^8, with leading zeros, at `out`: four
// digit pairs from multiplications by constants (no division instruction).
inline void write_8_digits(char* out, std::uint32_t value) {
  const std::uint32_t high = value / 10'000;
  const std::uint32_t low = value - high * 10'000;
  const std::uint32_t a = high / 100;
  const std::uint32_t c = low / 100;
  write_pair_digits(out, a);
  write_pair_digits(out + 2, high - a * 100);
  write_pair_digits(out + 4, c);
  write_pair_digits(out + 6, low - c * 100);
}

// floor(log10(2^e)) for |e| <= 1650.
int floor_log10_pow2(int e) { return (e * 78913) >> 18; }

// Exact digits for values the 128-bit arithmetic cannot reach (subnormals,
// very small or very large magnitudes): the standard library's exact
// scientific conversion, with enough digits to hold every double's whole
// expansion so that no rounding happens, then cut after 18 digits.
[[gnu::noinline]] TruncatedDigits truncated_digits_from_text(double value) {
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

// The body of truncated_digits_18, inlined into the real fields; the rare
// magnitudes go to the exact text conversion.
[[gnu::always_inline]] inline TruncatedDigits cut_digits(double value) {
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

}  // namespace

TruncatedDigits truncated_digits_18(double value) { return cut_digits(value); }

namespace {

// Rounds the exact expansion to `significant` digits in the two steps and
// writes sign, mantissa and exponent right-aligned in `width` characters.
// Both are template parameters so that every division is by a constant.
// The `significant` digits of a finite `value`'s field and its exponent,
// both 0 for zero.
template <int significant>
[[gnu::always_inline]] inline RealFieldDigits rounded_digits(double value) {
  static_assert(significant == 16 || significant == 10);
  std::uint64_t digits = 0;
  int exponent = 0;
  const bool negative = value < 0;
  if (value != 0) {
    const TruncatedDigits cut = cut_digits(std::fabs(value));
    exponent = cut.exponent;
    // Step 1, 18 digits to 17: half up on the 18th. floor((x + 5) / 10)
    // adds one exactly when the dropped digit is 5 or more.
    std::uint64_t d17 = (cut.digits + 5) / 10;
    if (d17 == kHigh18 / 10) {
      d17 = kLow18 / 10;
      ++exponent;
    }
    // Step 2, 17 digits to `significant`: half up on digit significant + 1
    // alone. The remainder below one unit is at least half a unit exactly
    // when that digit is 5 or more.
    constexpr std::uint64_t unit = kPow10[static_cast<std::size_t>(17 - significant)];
    digits = (d17 + unit / 2) / unit;
    if (digits == kPow10[static_cast<std::size_t>(significant)]) {
      digits = kPow10[static_cast<std::size_t>(significant - 1)];
      ++exponent;
    }
  }
  return {digits, exponent, negative};
}

template <int width, int significant>
void real_field(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  if ((bits & kExponentBits) == kExponentBits) {
    // Infinity or not-a-number: the field's overflow form.
    std::memset(out, '*', width);
    return;
  }
  const RealFieldDigits rounded = rounded_digits<significant>(value);
  const std::uint64_t digits = rounded.digits;
  const int exponent = rounded.exponent;
  const bool negative = rounded.negative;

  // Sign, d, '.', significant - 1 digits, four exponent characters.
  constexpr int unsigned_width = significant + 1 + 4;
  static_assert(unsigned_width + 1 <= width);
  std::memset(out, ' ', width - unsigned_width - 1);
  char* p = out + width - unsigned_width;
  p[-1] = negative ? '-' : ' ';
  // All digits one place to the right, then the first moves in front of
  // the point.
  if constexpr (significant == 16) {
    const std::uint64_t high = digits / 100'000'000;
    write_8_digits(p + 1, static_cast<std::uint32_t>(high));
    write_8_digits(p + 9, static_cast<std::uint32_t>(digits - high * 100'000'000));
  } else {
    const std::uint64_t high = digits / 100;
    write_8_digits(p + 1, static_cast<std::uint32_t>(high));
    write_pair_digits(p + 9, static_cast<std::uint32_t>(digits - high * 100));
  }
  p[0] = p[1];
  p[1] = '.';
  p += 1 + significant;

  const bool negative_exponent = exponent < 0;
  const auto magnitude = static_cast<std::uint32_t>(negative_exponent ? -exponent : exponent);
  if (magnitude < 100) [[likely]] {
    p[0] = 'E';
    p[1] = negative_exponent ? '-' : '+';
    write_pair_digits(p + 2, magnitude);
  } else {
    p[0] = negative_exponent ? '-' : '+';
    p[1] = static_cast<char>('0' + magnitude / 100);
    write_pair_digits(p + 2, magnitude % 100);
  }
}

}  // namespace

void int_field_8(char* out, std::int32_t value) {
  if (value > 99'999'999 || value < -9'999'999) [[unlikely]] {
    std::memset(out, '*', kIntField8Width);
    return;
  }
  // All eight places as digits in one word, then blanks (and the sign) over
  // the leading zeros through one mask chosen by the number of digits.
  const bool negative = value < 0;
  const std::uint32_t magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  const std::uint32_t high = magnitude / 10'000;
  const std::uint32_t low = magnitude - high * 10'000;
  const std::uint32_t a = high / 100;
  const std::uint32_t c = low / 100;
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    word = pair_bits(a) | pair_bits(high - a * 100) << 16 | pair_bits(c) << 32 |
           pair_bits(low - c * 100) << 48;
  } else {
    word = pair_bits(a) << 48 | pair_bits(high - a * 100) << 32 | pair_bits(c) << 16 |
           pair_bits(low - c * 100);
  }
  // The number of digits: floor(log10(2) x bit width) or one more.
  const std::uint32_t nonzero = magnitude | 1;
  const int guess = (std::bit_width(nonzero) * 1233) >> 12;
  const int digits = guess + 1 - (nonzero < kPow10[static_cast<std::size_t>(guess)]);
  const LeadMask& lead =
      kLeadMasks[static_cast<std::size_t>(negative)][static_cast<std::size_t>(digits)];
  word = (word & ~lead.mask) | lead.fill;
  std::memcpy(out, &word, sizeof(word));
}

void real_field_25_15(char* out, double value) { real_field<kRealField25Width, 16>(out, value); }

bool is_same_real_field_25_15(double a, double b) {
  constexpr std::uint64_t kNotFinite = ~std::uint64_t {0};
  auto key = [](double value) {
    if ((std::bit_cast<std::uint64_t>(value) & kExponentBits) == kExponentBits) {
      return RealFieldDigits {kNotFinite, 0, false};
    }
    return rounded_digits<16>(value);
  };
  const RealFieldDigits x = key(a);
  const RealFieldDigits y = key(b);
  return x.digits == y.digits && x.exponent == y.exponent && x.negative == y.negative;
}

void real_field_18_9(char* out, double value) { real_field<kRealField18Width, 10>(out, value); }

RealFieldDigits real_field_25_15_digits(double value) { return rounded_digits<16>(value); }
RealFieldDigits real_field_18_9_digits(double value) { return rounded_digits<10>(value); }

}  // namespace malha
