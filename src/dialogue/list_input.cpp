#include "dialogue/list_input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace malha {
namespace {

constexpr std::uint64_t kInt32Max = 2147483647;
constexpr char kEndOfFileByte = 26;

// Digit runs may be of any length; their magnitude saturates here, far above
// every limit it is compared with, so that it cannot wrap.
constexpr std::uint64_t kMagnitudeCap = std::uint64_t{1} << 40;

std::uint64_t push_digit(std::uint64_t magnitude, int base, int digit) {
  if (magnitude >= kMagnitudeCap) return kMagnitudeCap;
  return magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
}

bool is_digit(int symbol) { return symbol >= '0' && symbol <= '9'; }
bool is_sign(int symbol) { return symbol == '+' || symbol == '-'; }
bool is_blank(int symbol) { return symbol == ' ' || symbol == '\t'; }
bool is_exponent_letter(int symbol) {
  return symbol == 'E' || symbol == 'e' || symbol == 'D' || symbol == 'd';
}

// The value of `symbol` as a digit of `base` (letters in either case stand
// for 10 to 35), or -1.
int digit_value(int symbol, int base) {
  int digit = -1;
  if (is_digit(symbol)) {
    digit = symbol - '0';
  } else if (symbol >= 'a' && symbol <= 'z') {
    digit = symbol - 'a' + 10;
  } else if (symbol >= 'A' && symbol <= 'Z') {
    digit = symbol - 'A' + 10;
  }
  return digit < base ? digit : -1;
}

// A decimal real of any length held in bounded memory: its first
// kKeptDigits significant digits, a sticky flag for any nonzero digit beyond
// them, and a power of ten. A double is decided by at most 767 significant
// digits, so the kept digits with one extra nonzero digit standing for the
// sticky flag round exactly as the whole number would.
class DecimalReal {
 public:
  static constexpr int kKeptDigits = 800;

  void set_negative(bool is_negative) { is_negative_ = is_negative; }

  void add_mantissa_digit(int digit, bool is_fraction) {
    if (count_ == 0 && digit == 0) {
      if (is_fraction) --scale_;  // a leading zero only moves the point
      return;
    }
    if (count_ < kKeptDigits) {
      digits_[count_++] = static_cast<char>('0' + digit);
      if (is_fraction) --scale_;
      return;
    }
    if (digit != 0) has_sticky_digit_ = true;
    if (!is_fraction) ++scale_;
  }

  void set_exponent_negative(bool is_negative) { is_exponent_negative_ = is_negative; }
  void add_exponent_digit(int digit) {
    exponent_ = std::min(exponent_ * 10 + digit, kExponentCap);
  }

  // The correctly rounded double; false when it is infinite.
  bool to_double(double& value) const {
    if (count_ == 0) {
      value = is_negative_ ? -0.0 : 0.0;
      return true;
    }
    // Digits as an integer times a power of ten. Beyond a million the power
    // gives 0 or infinity for any 801 digits, so it is clamped there.
    std::int64_t power = scale_ + (is_exponent_negative_ ? -exponent_ : exponent_);
    char text[kKeptDigits + 32];
    int length = 0;
    if (is_negative_) text[length++] = '-';
    std::copy(digits_, digits_ + count_, text + length);
    length += count_;
    if (has_sticky_digit_) {
      text[length++] = '1';
      --power;
    }
    power = std::clamp<std::int64_t>(power, -kPowerClamp, kPowerClamp);
    std::snprintf(text + length, sizeof(text) - static_cast<std::size_t>(length), "e%lld",
                  static_cast<long long>(power));
    // The text has no decimal point, so the locale plays no part.
    value = std::strtod(text, nullptr);
    return !std::isinf(value);
  }

 private:
  static constexpr std::int64_t kExponentCap = 1'000'000'000'000;
  static constexpr std::int64_t kPowerClamp = 1'000'000;

  char digits_[kKeptDigits] = {};
  int count_ = 0;
  bool has_sticky_digit_ = false;
  std::int64_t scale_ = 0;  // the value is digits_ x 10^(scale_ + exponent)
  bool is_negative_ = false;
  std::int64_t exponent_ = 0;
  bool is_exponent_negative_ = false;
};

}  // namespace

int ListReader::peek_byte() {
  if (position_ == count_ && !at_end_) {
    const long got = source_.read(buffer_, sizeof(buffer_));
    if (got > 0) {
      position_ = 0;
      count_ = static_cast<std::size_t>(got);
    } else {
      at_end_ = true;
      has_failed_ = got < 0;
    }
  }
  if (position_ == count_) return kEnd;
  return static_cast<unsigned char>(buffer_[position_]);
}

int ListReader::peek() {
  if (has_symbol_) return symbol_;
  int symbol = peek_byte();
  if (symbol >= 0) ++position_;
  if (symbol == '\r' && peek_byte() == '\n') {
    ++position_;
    symbol = kLineEnd;
  } else if (symbol == '\n') {
    symbol = kLineEnd;
  }
  symbol_ = symbol;
  has_symbol_ = true;
  return symbol;
}

void ListReader::advance() {
  const int symbol = peek();
  if (symbol == kEnd) return;  // the end stays the end
  last_byte_ = symbol == kLineEnd ? -1 : symbol;
  has_symbol_ = false;
}

bool ListReader::at_separator() {
  const int symbol = peek();
  return is_blank(symbol) || symbol == ',' || symbol == '/' || symbol == kLineEnd ||
         symbol == kEnd;
}

// Discards the rest of the answer's line. The line decides last: when it
// ends in byte 26, whatever stood on it, the input has ended.
AnswerStatus ListReader::finish_line(AnswerStatus status) {
  while (peek() != kLineEnd && peek() != kEnd) advance();
  const bool is_end_of_file_line = last_byte_ == kEndOfFileByte;
  advance();
  if (is_end_of_file_line) return AnswerStatus::end_of_input;
  if (has_failed_) return AnswerStatus::read_error;
  return status;
}

// Consumes the '*' after a repeat count. True when that decides the answer
// (a bad count, or a null value); false when a value follows.
bool ListReader::take_repeat(std::uint64_t count, AnswerStatus& status) {
  advance();
  if (count == 0 || count > kInt32Max) {
    status = AnswerStatus::bad_repeat;
    return true;
  }
  if (at_separator()) {
    status = AnswerStatus::no_value;
    return true;
  }
  return false;
}

// Finds the answer's first item: `value` when a value begins there,
// otherwise the whole answer.
AnswerStatus ListReader::find_item() {
  for (;;) {
    const int symbol = peek();
    if (symbol == kEnd) {
      return has_failed_ ? AnswerStatus::read_error : AnswerStatus::end_of_input;
    }
    if (symbol == ',' || symbol == '/') return finish_line(AnswerStatus::no_value);
    if (!is_blank(symbol) && symbol != kLineEnd) return AnswerStatus::value;
    advance();
  }
}

// The value is stored only once its whole line has been read: a line that
// ends in byte 26 gives no value.
AnswerStatus ListReader::read_integer(std::int32_t& value) {
  AnswerStatus status = find_item();
  if (status != AnswerStatus::value) return status;
  std::int32_t scanned = 0;
  status = finish_line(scan_integer(scanned));
  if (status == AnswerStatus::value) value = scanned;
  return status;
}

AnswerStatus ListReader::read_real(double& value) {
  AnswerStatus status = find_item();
  if (status != AnswerStatus::value) return status;
  double scanned = 0.0;
  status = finish_line(scan_real(scanned));
  if (status == AnswerStatus::value) value = scanned;
  return status;
}

// An unsigned leading digit run is read before it is known whether it is a
// repeat count or the value itself, so it is kept in both forms.
AnswerStatus ListReader::scan_integer(std::int32_t& value) {
  bool may_repeat = true;
  for (;;) {
    bool has_sign = false;
    bool is_negative = false;
    if (is_sign(peek())) {
      has_sign = true;
      is_negative = peek() == '-';
      advance();
    }
    std::uint64_t magnitude = 0;
    bool has_digits = false;
    for (; is_digit(peek()); advance()) {
      magnitude = push_digit(magnitude, 10, peek() - '0');
      has_digits = true;
    }
    if (peek() == '*' && may_repeat && has_digits && !has_sign) {
      AnswerStatus status = AnswerStatus::no_value;
      if (take_repeat(magnitude, status)) return status;
      may_repeat = false;
      continue;
    }
    if (peek() == '#' && !has_sign) {
      // base#digits, or #digits in base 16; never signed.
      if (has_digits && (magnitude < 2 || magnitude > 36)) return AnswerStatus::bad_integer;
      const int base = has_digits ? static_cast<int>(magnitude) : 16;
      advance();
      magnitude = 0;
      has_digits = false;
      for (int digit; (digit = digit_value(peek(), base)) >= 0; advance()) {
        magnitude = push_digit(magnitude, base, digit);
        has_digits = true;
      }
      if (!has_digits || !at_separator()) return AnswerStatus::bad_integer;
      if (magnitude > kInt32Max) return AnswerStatus::integer_range;
      value = static_cast<std::int32_t>(magnitude);
      return AnswerStatus::value;
    }
    if (!has_digits || !at_separator()) return AnswerStatus::bad_integer;
    if (magnitude > kInt32Max + (is_negative ? 1 : 0)) return AnswerStatus::integer_range;
    const auto signed_magnitude = static_cast<std::int64_t>(magnitude);
    value = static_cast<std::int32_t>(is_negative ? -signed_magnitude : signed_magnitude);
    return AnswerStatus::value;
  }
}

AnswerStatus ListReader::scan_real(double& value) {
  bool may_repeat = true;
  for (;;) {
    DecimalReal real;
    bool has_sign = false;
    if (is_sign(peek())) {
      has_sign = true;
      real.set_negative(peek() == '-');
      advance();
    }
    std::uint64_t leading = 0;  // the repeat count, if a '*' follows
    bool has_integer_digits = false;
    for (; is_digit(peek()); advance()) {
      real.add_mantissa_digit(peek() - '0', false);
      leading = push_digit(leading, 10, peek() - '0');
      has_integer_digits = true;
    }
    if (peek() == '*' && may_repeat && has_integer_digits && !has_sign) {
      AnswerStatus status = AnswerStatus::no_value;
      if (take_repeat(leading, status)) return status;
      may_repeat = false;
      continue;
    }
    bool has_fraction_digits = false;
    if (peek() == '.') {
      advance();
      for (; is_digit(peek()); advance()) {
        real.add_mantissa_digit(peek() - '0', true);
        has_fraction_digits = true;
      }
    }
    if (!has_integer_digits && !has_fraction_digits) return AnswerStatus::bad_real;

    // An exponent: a letter and an optionally signed integer, or a sign
    // directly followed by digits.
    bool has_exponent = false;
    if (is_exponent_letter(peek())) {
      has_exponent = true;
      advance();
    }
    if (is_sign(peek())) {
      has_exponent = true;
      real.set_exponent_negative(peek() == '-');
      advance();
    }
    if (has_exponent) {
      if (!is_digit(peek())) return AnswerStatus::bad_real;
      for (; is_digit(peek()); advance()) real.add_exponent_digit(peek() - '0');
    }
    if (!at_separator()) return AnswerStatus::bad_real;
    double result = 0.0;
    if (!real.to_double(result)) return AnswerStatus::real_range;
    value = result;
    return AnswerStatus::value;
  }
}

}  // namespace malha
