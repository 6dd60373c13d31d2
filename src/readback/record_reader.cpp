#include "readback/record_reader.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>
#include <utility>

#include "formats/number_fields.h"
#include "system/run_error.h"

namespace malha {
namespace {

// A field's text for a report: between quotes, bytes outside printable
// ASCII as \xHH, so that any bytes of a damaged file can be shown.
std::string quoted(const char* text, std::size_t size) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown = "\"";
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      shown += static_cast<char>(byte);
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  return shown + "\"";
}

std::string columns(int column, std::size_t width) {
  return "columns " + std::to_string(column) + " to " +
         std::to_string(column + static_cast<int>(width) - 1);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A real field as read: its significant digits as one integer, the
// exponent of its first digit, its sign, and whether its exponent has the
// letter E.
struct FieldNumber {
  std::uint64_t digits = 0;
  int exponent = 0;
  bool negative = false;
  bool has_letter = false;
};

// Whether the program writes `value` in `form` as the field `field`: the
// same digits, exponent and sign, and the letter where the program writes
// it (exponents -99 to 99).
bool is_written_as(double value, const FieldNumber& field, const RealFieldForm& form) {
  if (!std::isfinite(value)) return false;
  const RealFieldDigits written = form.fraction_digits == kRealField25.fraction_digits
                                      ? real_field_25_15_digits(value)
                                      : real_field_18_9_digits(value);
  return written.digits == field.digits && written.exponent == field.exponent &&
         written.negative == field.negative &&
         (written.exponent > -100 && written.exponent < 100) == field.has_letter;
}

// 10^0 to 10^22: the powers of ten that a double holds exactly.
constexpr int kMaxExactPower = 22;
constexpr double kExactPow10[kMaxExactPower + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The double nearest to `digits` x 10^`power`, where both operands are
// exact doubles (digits up to 2^53, |power| up to 22): then one multiplication
// or division, itself rounded to nearest, gives it. False otherwise.
bool nearest_by_one_operation(std::uint64_t digits, int power, double& nearest) {
  if (digits > (std::uint64_t {1} << 53) || power < -kMaxExactPower || power > kMaxExactPower) {
    return false;
  }
  const auto mantissa = static_cast<double>(digits);
  nearest = power >= 0 ? mantissa * kExactPow10[static_cast<std::size_t>(power)]
                       : mantissa / kExactPow10[static_cast<std::size_t>(-power)];
  return true;
}

// The distance from `magnitude` (finite, 0 or more) to the next double up:
// 2^(e - 52) for a double of exponent e from 2^-970 on; below, where that
// distance is no normal double, infinity (no spacing is small enough).
double spacing_above(double magnitude) {
  const auto exponent_bits = std::bit_cast<std::uint64_t>(magnitude) >> 52;
  if (exponent_bits <= 52) return std::numeric_limits<double>::infinity();
  return std::bit_cast<double>((exponent_bits - 52) << 52);
}

// Of the doubles next to `nearest` (the double nearest to the field's
// decimal), the nearest that is written as the field. The two rounding
// steps of a field can write the nearest double otherwise, and the double
// that was written lies then within a few steps of it; `nearest` itself when
// no double there is written as the field.
double double_written_as(double nearest, const FieldNumber& field, const RealFieldForm& form,
                         bool& is_found) {
  is_found = true;
  if (is_written_as(nearest, field, form)) return nearest;
  double below = nearest;
  double above = nearest;
  for (int step = 0; step < 4; ++step) {
    below = std::nextafter(below, -std::numeric_limits<double>::infinity());
    if (is_written_as(below, field, form)) return below;
    above = std::nextafter(above, std::numeric_limits<double>::infinity());
    if (is_written_as(above, field, form)) return above;
  }
  is_found = false;
  return nearest;
}

}  // namespace

RecordReader::RecordReader(std::string path) : path_(std::move(path)) {
  int os_error = 0;
  file_ = platform::open_for_reading(path_.c_str(), os_error);
  if (file_ == platform::kNoFile) fail_file(RunError::open_input, path_, os_error);
  if (!platform::file_size(file_, size_, os_error)) fail_file(RunError::read_input, path_, os_error);
  // A small file gets a buffer of its own size (and room to see its end in
  // one read), not a whole block: a folder of a small mesh is read in a
  // few kilobytes. Every buffer holds the longest record.
  capacity_ = static_cast<std::size_t>(
      std::clamp<std::uint64_t>(size_ + 1, kMinBufferBytes, kBlockBytes));
  buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
}

RecordReader::~RecordReader() {
  int os_error = 0;
  if (file_ != platform::kNoFile) platform::close_file(file_, os_error);
}

std::size_t RecordReader::fill(std::size_t count) {
  if (end_ - begin_ >= count || is_at_end_) return end_ - begin_;
  std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
  end_ -= begin_;
  begin_ = 0;
  while (end_ < count && !is_at_end_) {
    int os_error = 0;
    const long got = platform::read_file(file_, buffer_.get() + end_, capacity_ - end_, os_error);
    if (got < 0) fail_file(RunError::read_input, path_, os_error);
    if (got == 0) is_at_end_ = true;
    end_ += static_cast<std::size_t>(got);
  }
  return end_;
}

const char* RecordReader::next(std::size_t length, std::string_view what) {
  ++line_;
  const std::size_t wanted = length + 2;
  const std::size_t available = fill(wanted);
  const char* record = buffer_.get() + begin_;
  if (available == 0) fail("the file ends here, short of " + std::string(what));
  const std::size_t scanned = std::min(available, wanted);
  const auto* line_feed = static_cast<const char*>(std::memchr(record, '\n', scanned));
  if (line_feed == record + length + 1 && record[length] == '\r') {
    begin_ += wanted;
    return record;
  }
  const std::string expected = ", not " + std::to_string(length);
  if (line_feed != nullptr) {
    const auto at = static_cast<std::size_t>(line_feed - record);
    if (at > 0 && record[at - 1] == '\r') {
      fail("the record holds " + std::to_string(at - 1) + " characters" + expected);
    }
    fail("the line ends in LF alone, not in CR LF");
  }
  if (available < wanted) fail("the file ends inside this record, before its CR LF line end");
  if (record[length] == '\r') fail("the CR after column " + std::to_string(length) + " is not followed by LF");
  fail("the record is longer than " + std::to_string(length) + " characters");
}

void RecordReader::expect_end() {
  if (fill(1) == 0) return;
  ++line_;
  fail("the file goes on after its last record");
}

void RecordReader::fail(std::string_view what) const { fail_record(path_, line_, what); }

std::int32_t read_int_field(const RecordReader& reader, const char* field, int column) {
  constexpr std::size_t kIntFieldWidth = kIntField8Width;
  const char* const last = field + kIntFieldWidth;
  const char* first = field;
  while (first < last && *first == ' ') ++first;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (first == last || error != std::errc() || end != last) {
    const bool is_overflow = std::all_of(field, last, [](char c) { return c == '*'; });
    reader.fail(columns(column, kIntFieldWidth) + ", " + quoted(field, kIntFieldWidth) +
                (is_overflow ? ", hold a number too wide for its field"
                             : ", are not an integer right-aligned in 8 characters"));
  }
  return value;
}

double read_real_field(const RecordReader& reader, const char* field, int column,
                       const RealFieldForm& form) {
  // Mantissa "d." and the fraction digits, then "E" and two exponent digits
  // or three exponent digits without the letter, each exponent with its sign.
  const auto width = static_cast<std::size_t>(form.width);
  const char* const last = field + width;
  const char* body = last - form.body_width();
  const char* exponent = body + form.mantissa_width();
  FieldNumber number;
  number.negative = body[-1] == '-';
  bool is_well_formed = std::all_of(field, body - 1, [](char c) { return c == ' '; }) &&
                        (body[-1] == ' ' || number.negative) && is_digit(body[0]) &&
                        body[1] == '.';
  number.digits = static_cast<std::uint64_t>(body[0] - '0');
  for (const char* c = body + 2; c < exponent && is_well_formed; ++c) {
    is_well_formed = is_digit(*c);
    number.digits = number.digits * 10 + static_cast<std::uint64_t>(*c - '0');
  }
  number.has_letter = exponent[0] == 'E';
  const char* sign = number.has_letter ? exponent + 1 : exponent;
  is_well_formed = is_well_formed && (*sign == '+' || *sign == '-');
  for (const char* c = sign + 1; c < last && is_well_formed; ++c) {
    is_well_formed = is_digit(*c);
    number.exponent = number.exponent * 10 + (*c - '0');
  }
  if (!is_well_formed) {
    reader.fail(columns(column, width) + ", " + quoted(field, width) + ", are not a real field (d." +
                std::string(static_cast<std::size_t>(form.fraction_digits), 'd') +
                " with an exponent, right-aligned in " + std::to_string(form.width) +
                " characters)");
  }
  if (*sign == '-') number.exponent = -number.exponent;

  double value = 0.0;
  if (nearest_by_one_operation(number.digits, number.exponent - form.fraction_digits, value)) {
    if (number.negative) value = -value;
  } else {
    // The same number with the exponent letter always present, for the
    // standard library's conversion.
    char text[32];
    char* out = text;
    if (number.negative) *out++ = '-';
    out = std::copy(body, exponent, out);
    *out++ = 'e';
    out = std::copy(sign, last, out);
    const auto [end, error] = std::from_chars(text, out, value, std::chars_format::scientific);
    // The 16 digits of the largest double round up beyond it; they stand for
    // the largest double, the only one the program writes with them.
    constexpr std::string_view kLargest = "1.797693134862316e+308";
    if (error == std::errc::result_out_of_range &&
        std::string_view(number.negative ? text + 1 : text, out) == kLargest) {
      value = number.negative ? -std::numeric_limits<double>::max()
                              : std::numeric_limits<double>::max();
    } else if (error != std::errc() || end != out) {
      reader.fail(columns(column, width) + ", " + quoted(field, width) +
                  ", hold a number beyond the range of a double");
    }
  }
  // The nearest double lies within half its spacing of the decimal; where
  // that spacing is below 0.889 of the field's last digit, the two rounding
  // steps write it as the field (the 17th digit stays within 4 of the
  // field's), except where the decimal is a power of ten, below which the
  // doubles are written with a finer last digit.
  const double magnitude = std::fabs(value);
  const double spacing = spacing_above(magnitude);
  const double last_digit_over_magnitude = form.fraction_digits == kRealField25.fraction_digits ? 1e-15 : 1e-9;
  const bool is_power_of_ten = body[0] == '1' && std::all_of(body + 2, exponent, [](char c) { return c == '0'; });
  if (!is_power_of_ten &&
      spacing * (body[0] - '0' + 1) <= 0.889 * last_digit_over_magnitude * magnitude) {
    return value;
  }
  bool is_found = false;
  const double written = double_written_as(value, number, form, is_found);
  if (!is_found) {
    reader.fail(columns(column, width) + ", " + quoted(field, width) +
                ", are not the field of any double (the program writes no such field)");
  }
  return written;
}

}  // namespace malha
