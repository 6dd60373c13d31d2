#include "dialogue/list_input.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace malha {
namespace {

using S = AnswerStatus;

// Answers held in memory, handed out `chunk` bytes per read, so that line
// ends and values are also split across reads. After the last byte the
// source reports the end of the input, or a read error if `fails_at_end`.
class MemorySource final : public ByteSource {
 public:
  MemorySource(std::string bytes, std::size_t chunk, bool fails_at_end = false)
      : bytes_(std::move(bytes)), chunk_(chunk), fails_at_end_(fails_at_end) {}
  long read(char* buffer, std::size_t size) override {
    if (position_ == bytes_.size() && fails_at_end_) return -1;
    const std::size_t n = std::min({size, chunk_, bytes_.size() - position_});
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return static_cast<long>(n);
  }

 private:
  std::string bytes_;
  std::size_t chunk_;
  bool fails_at_end_;
  std::size_t position_ = 0;
};

constexpr std::size_t kChunkSizes[] = {1, 2, 3, 65536};

// A destination's value before the read, to show that no value leaves it.
constexpr std::int32_t kUntouchedInteger = 77;
constexpr double kUntouchedReal = 77.0;

// Reads one answer as an integer or a real and checks its status and the
// destination afterwards: `value` when the status is value (compared bit
// for bit, sign of zero included; integers compare exactly as doubles),
// untouched otherwise.
void expect_answer(ListReader& reader, bool is_real, AnswerStatus status, double value) {
  double read = kUntouchedReal;
  if (is_real) {
    EXPECT_EQ(reader.read_real(read), status);
  } else {
    std::int32_t integer = kUntouchedInteger;
    EXPECT_EQ(reader.read_integer(integer), status);
    read = integer;
  }
  const double expected = status == S::value ? value : kUntouchedReal;
  EXPECT_EQ(read, expected);
  EXPECT_EQ(std::signbit(read), std::signbit(expected));
}

// Runs `check` on a reader of `input` once for each chunk size.
template <typename Check>
void for_each_chunk_size(const char* name, const std::string& input, Check check) {
  for (std::size_t chunk : kChunkSizes) {
    SCOPED_TRACE(std::string(name) + ", chunk " + std::to_string(chunk));
    MemorySource source(input, chunk);
    ListReader reader(source);
    check(reader);
  }
}

struct AnswerCase {
  const char* name;
  std::string input;
  AnswerStatus status;
  double value;  // when status is value
};

const AnswerCase kIntegerCases[] = {
    {"plain", "3\n", S::value, 3},
    {"plus sign", "+3\n", S::value, 3},
    {"minus sign", "-3\n", S::value, -3},
    {"leading zeros", "0000000000000000000000000007\n", S::value, 7},
    {"leading blanks and tabs", " \t 3\n", S::value, 3},
    {"int32 max", "2147483647\n", S::value, 2147483647},
    {"int32 min", "-2147483648\n", S::value, INT32_MIN},
    {"minus zero", "-0\n", S::value, 0},
    {"one beyond max", "2147483648\n", S::integer_range, 0},
    {"one below min", "-2147483649\n", S::integer_range, 0},
    {"very long number", "99999999999999999999999999999999\n", S::integer_range, 0},
    {"second value discarded after blank", "3 4\n", S::value, 3},
    {"second value discarded after comma", "3,4\n", S::value, 3},
    {"second value discarded after tab", "3\t4\n", S::value, 3},
    {"value ends at slash", "3/4\n", S::value, 3},
    {"garbage after the value is discarded", "3 abc 'x\n", S::value, 3},
    {"lone comma is null", ",\n", S::no_value, 0},
    {"comma after blanks is null", "   ,5\n", S::no_value, 0},
    {"slash ends the read", "/\n", S::no_value, 0},
    {"slash after blanks", " / 5\n", S::no_value, 0},
    {"hex form", "#10\n", S::value, 16},
    {"hex upper case", "#FF\n", S::value, 255},
    {"binary", "2#101\n", S::value, 5},
    {"base 36 lower", "36#z\n", S::value, 35},
    {"base 36 upper", "36#Z\n", S::value, 35},
    {"radix int32 max", "16#7FFFFFFF\n", S::value, 2147483647},
    {"radix beyond int32 max", "#80000000\n", S::integer_range, 0},
    {"radix all ones is not -1", "#FFFFFFFF\n", S::integer_range, 0},
    {"digit outside base", "2#102\n", S::bad_integer, 0},
    {"base 1", "1#0\n", S::bad_integer, 0},
    {"base 37", "37#1\n", S::bad_integer, 0},
    {"signed radix", "+2#101\n", S::bad_integer, 0},
    {"radix without digits", "2#\n", S::bad_integer, 0},
    {"sign alone", "+\n", S::bad_integer, 0},
    {"decimal point", "3.0\n", S::bad_integer, 0},
    {"exponent", "3e2\n", S::bad_integer, 0},
    {"letter", "3x\n", S::bad_integer, 0},
    {"single-quoted text", "'3'\n", S::bad_integer, 0},
    {"lone carriage return is not a line end", "3\r4\n", S::bad_integer, 0},
    {"repeat then value", "2*4\n", S::value, 4},
    {"repeat then signed value", "2*-3\n", S::value, -3},
    {"repeat then hex", "2*#10\n", S::value, 16},
    {"largest repeat count", "2147483647*4\n", S::value, 4},
    {"repeat then blank is null", "3* 4\n", S::no_value, 0},
    {"repeat then comma is null", "3*,4\n", S::no_value, 0},
    {"repeat then slash is null", "3*/\n", S::no_value, 0},
    {"repeat then line end is null", "3*\n", S::no_value, 0},
    {"repeat at the end of the input is null", "3*", S::no_value, 0},
    {"zero repeat with value", "0*3\n", S::bad_repeat, 0},
    {"zero repeat without value", "0*\n", S::bad_repeat, 0},
    {"repeat count beyond int32", "2147483648*4\n", S::bad_repeat, 0},
    {"two repeats", "2*3*4\n", S::bad_integer, 0},
    {"signed repeat count", "+2*4\n", S::bad_integer, 0},
    {"star without count", "*4\n", S::bad_integer, 0},
    {"blank lines skipped", "\n   \n\t\n \t \n3\n", S::value, 3},
    {"crlf line end", "\r\n3\r\n", S::value, 3},
    {"last line without line feed", "3", S::value, 3},
    {"empty input", "", S::end_of_input, 0},
    {"only blank lines", "\n  \n\t\n", S::end_of_input, 0},
    {"ctrl-z line", "\x1a\n", S::end_of_input, 0},
    {"ctrl-z after a value", "0\x1a\n", S::end_of_input, 0},
    {"ctrl-z after a value and blank", "3 \x1a\r\n", S::end_of_input, 0},
    {"ctrl-z after a slash", "/\x1a\n", S::end_of_input, 0},
    {"ctrl-z as the last line without line feed", "5\x1a", S::end_of_input, 0},
    {"ctrl-z not last on its line", "\x1a 3\n", S::bad_integer, 0},
    {"value before a ctrl-z line", "3\n\x1a\n", S::value, 3},
};

TEST(ListReader, IntegerAnswers) {
  for (const AnswerCase& c : kIntegerCases) {
    for_each_chunk_size(c.name, c.input,
                        [&](ListReader& reader) { expect_answer(reader, false, c.status, c.value); });
  }
}

// Commas, slashes, blank lines, line ends and the end of the input come
// before the value's form is known: the integer rows cover them.
const AnswerCase kRealCases[] = {
    {"integer form", "2\n", S::value, 2.0},
    {"point after digits", "2.\n", S::value, 2.0},
    {"point before digits", ".5\n", S::value, 0.5},
    {"signed point before digits", "-.5\n", S::value, -0.5},
    {"plus sign", "+2.\n", S::value, 2.0},
    {"three point zero", "3.0\n", S::value, 3.0},
    {"exponent E", "1.5E3\n", S::value, 1500.0},
    {"exponent e", "1.5e3\n", S::value, 1500.0},
    {"exponent D", "1.5D3\n", S::value, 1500.0},
    {"exponent d", "1.5d3\n", S::value, 1500.0},
    {"exponent letter and sign", "1.5E+3\n", S::value, 1500.0},
    {"exponent letter and minus", "2.5e-1\n", S::value, 0.25},
    {"exponent sign without letter", "1.5+3\n", S::value, 1500.0},
    {"comma is no decimal separator", "1,5\n", S::value, 1.0},
    {"value ends at slash", "1.5/\n", S::value, 1.5},
    {"second value discarded", "0.3 4\n", S::value, 0.3},
    {"minus zero", "-0.0\n", S::value, -0.0},
    {"zero with a huge exponent", "0e999999999999999999999\n", S::value, 0.0},
    {"many exponent digits", "1e0000000000000000000000003\n", S::value, 1000.0},
    {"rounds down to the largest double", "1.7976931348623158e308\n", S::value, DBL_MAX},
    {"rounds up to infinity", "1.7976931348623159e308\n", S::real_range, 0},
    {"beyond the largest double", "1e309\n", S::real_range, 0},
    {"negative beyond the largest double", "-1e309\n", S::real_range, 0},
    {"huge exponent", "1e99999999999999999999\n", S::real_range, 0},
    {"subnormal", "1e-310\n", S::value, 1e-310},
    {"smallest subnormal", "4.9e-324\n", S::value, 4.9406564584124654e-324},
    // Half the smallest subnormal is 2.4703282292062327208...e-324.
    {"just above half the smallest subnormal", "2.4703282292062328e-324\n", S::value,
     4.9406564584124654e-324},
    {"just below half the smallest subnormal", "2.4703282292062327e-324\n", S::value, 0.0},
    {"below the subnormals", "1e-400\n", S::value, 0.0},
    {"negative below the subnormals", "-1e-400\n", S::value, -0.0},
    {"tiny exponent", "1e-99999999999999999999\n", S::value, 0.0},
    // 2^53 + 1 lies halfway between two doubles: ties go to the even one.
    {"halfway rounds to even", "9007199254740993\n", S::value, 9007199254740992.0},
    {"just above halfway", "9007199254740993.0000000000000000000001\n", S::value,
     9007199254740994.0},
    {"point alone", ".\n", S::bad_real, 0},
    {"sign alone", "-\n", S::bad_real, 0},
    {"exponent without mantissa", "e3\n", S::bad_real, 0},
    {"exponent letter without digits", "1.5E\n", S::bad_real, 0},
    {"trailing sign", "1.5+\n", S::bad_real, 0},
    {"fractional exponent", "1.5e3.2\n", S::bad_real, 0},
    {"two points", "1.2.3\n", S::bad_real, 0},
    {"other exponent letter", "1.5q3\n", S::bad_real, 0},
    {"radix form", "#10\n", S::bad_real, 0},
    {"infinity word", "inf\n", S::bad_real, 0},
    {"quoted text", "'1.5'\n", S::bad_real, 0},
    {"repeat then value", "2*1.5\n", S::value, 1.5},
    {"repeat then point", "2*.5\n", S::value, 0.5},
    {"repeat then blank is null", "3* \n", S::no_value, 0},
    {"zero repeat", "0*1.5\n", S::bad_repeat, 0},
    {"point before star", "2.*3\n", S::bad_real, 0},
};

TEST(ListReader, RealAnswers) {
  for (const AnswerCase& c : kRealCases) {
    for_each_chunk_size(c.name, c.input,
                        [&](ListReader& reader) { expect_answer(reader, true, c.status, c.value); });
  }
}

// Several answers in a row: each comes from a fresh line.
struct Answer {
  bool is_real;
  AnswerStatus status;
  double value;
};

struct SequenceCase {
  const char* name;
  std::string input;
  std::vector<Answer> answers;
};

const SequenceCase kSequenceCases[] = {
    {"a whole dialogue", "3\n1\n1\n0\n",
     {{false, S::value, 3}, {true, S::value, 1}, {true, S::value, 1}, {false, S::value, 0}}},
    {"rest of a line never reaches the next answer", "3 4\n5 6\n",
     {{false, S::value, 3}, {true, S::value, 5}, {false, S::end_of_input, 0}}},
    {"null real then next line", ",7\n5\n", {{true, S::no_value, 0}, {false, S::value, 5}}},
    {"null repeat then next line", "3*\n5\n", {{false, S::no_value, 0}, {false, S::value, 5}}},
    {"blank lines between answers", "3\n\n  \n\t\n1.5\n",
     {{false, S::value, 3}, {true, S::value, 1.5}}},
    {"crlf lines", "3\r\n1.5\r\n\r\n2\r\n#1\r\n",
     {{false, S::value, 3}, {true, S::value, 1.5}, {true, S::value, 2}, {false, S::value, 1}}},
    {"input ending after two answers", "3\n1\n",
     {{false, S::value, 3}, {true, S::value, 1}, {true, S::end_of_input, 0}}},
    {"last line without line feed", "3\n1",
     {{false, S::value, 3}, {true, S::value, 1}, {true, S::end_of_input, 0}}},
    {"ctrl-z line after an answer", "3\n\x1a\n4\n",
     {{false, S::value, 3}, {true, S::end_of_input, 0}}},
    {"carriage return at the end of the input", "3\r", {{false, S::bad_integer, 0}}},
};

TEST(ListReader, AnswerSequences) {
  for (const SequenceCase& c : kSequenceCases) {
    for_each_chunk_size(c.name, c.input, [&](ListReader& reader) {
      for (std::size_t i = 0; i < c.answers.size(); ++i) {
        SCOPED_TRACE("answer " + std::to_string(i + 1));
        const Answer& a = c.answers[i];
        expect_answer(reader, a.is_real, a.status, a.value);
      }
    });
  }
}

TEST(ListReader, ReadErrorOfTheSource) {
  for (const char* before : {"", "  \n", "3"}) {
    SCOPED_TRACE(before);
    MemorySource source(before, 65536, true);
    ListReader reader(source);
    expect_answer(reader, false, S::read_error, 0);
  }
}

// A line far longer than any buffer, made up on the fly: `head`, then
// `repeated` times `filler`, then `tail`. It also samples the heap in use
// while it is read, to show that the line is never kept.
class LongLineSource final : public ByteSource {
 public:
  LongLineSource(std::string head, char filler, std::size_t repeated, std::string tail)
      : head_(std::move(head)), filler_(filler), repeated_(repeated), tail_(std::move(tail)) {}

  long read(char* buffer, std::size_t size) override {
    sample_heap();
    std::size_t n = 0;
    while (n < size && position_ < total()) {
      const std::size_t i = position_++;
      if (i < head_.size()) {
        buffer[n++] = head_[i];
      } else if (i < head_.size() + repeated_) {
        buffer[n++] = filler_;
      } else {
        buffer[n++] = tail_[i - head_.size() - repeated_];
      }
    }
    return static_cast<long>(n);
  }

  // Largest growth of the heap in use seen during the reads.
  std::size_t heap_growth() const { return max_heap_ - start_heap_; }

 private:
  std::size_t total() const { return head_.size() + repeated_ + tail_.size(); }
  void sample_heap() {
    const struct mallinfo2 info = mallinfo2();
    const std::size_t in_use = info.uordblks + info.hblkhd;
    if (start_heap_ == 0) start_heap_ = max_heap_ = in_use;
    max_heap_ = std::max(max_heap_, in_use);
  }

  std::string head_;
  char filler_;
  std::size_t repeated_;
  std::string tail_;
  std::size_t position_ = 0;
  std::size_t start_heap_ = 0;
  std::size_t max_heap_ = 0;
};

constexpr std::size_t kLongLine = 2'000'000;    // bytes of filler
constexpr std::size_t kHeapBound = 64 * 1024;   // far below the line's size

TEST(ListReader, LongLinesInBoundedMemory) {
  const std::string kLongLineText = std::to_string(kLongLine);
  struct Case {
    const char* name;
    std::string head;
    char filler;
    std::string tail;
    bool is_real;
    double value;
  };
  const Case cases[] = {
      {"blanks before the value", "", ' ', "5\n7\n", false, 5},
      {"discarded rest of the line", "5 ", 'x', "\n7\n", false, 5},
      {"leading zeros of an integer", "", '0', "5\n7\n", false, 5},
      {"leading zeros of a real", "0.", '0', "1e" + kLongLineText + "\n7\n", true, 0.1},
      {"integer digits scaled back", "1", '0', "e-" + kLongLineText + "\n7\n", true, 1.0},
      // Digits far beyond those kept decide the rounding: 2^53 + 1 and a
      // nonzero digit two million places later is above halfway.
      {"a far digit decides the rounding", "9007199254740993.", '0', "1\n7\n", true,
       9007199254740994.0},
      {"zeros only after halfway", "9007199254740993.", '0', "\n7\n", true,
       9007199254740992.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LongLineSource source(c.head, c.filler, kLongLine, c.tail);
    ListReader reader(source);
    expect_answer(reader, c.is_real, S::value, c.value);
    EXPECT_LT(source.heap_growth(), kHeapBound);
    // The next answer comes from the following line.
    expect_answer(reader, false, S::value, 7);
  }
}

}  // namespace
}  // namespace malha
