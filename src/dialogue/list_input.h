#pragma once
// Free-form answers read from a stream of bytes (standard input in a run).
//
// ListReader reads one answer per call, each from a fresh line: lines of only
// blanks and tabs are skipped, the first item found is taken and the rest of
// its line is discarded. A comma, a slash or "r*" before a separator gives no
// value; "r*value" gives the value. Values end at a blank, tab, comma, slash
// or line end (a CR directly before LF belongs to the line end). A line whose
// last character before its line end is byte 26 is the end of the input.
// Memory stays bounded for lines of any length. Errors are returned, never
// reported: the caller decides how the run ends.

#include <cstddef>
#include <cstdint>

namespace malha {

// Where the answers come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes into `buffer`: the count read, 0 at the end of
  // the input, -1 on a read error.
  virtual long read(char* buffer, std::size_t size) = 0;
};

enum class AnswerStatus {
  value,          // a value was read and stored
  no_value,       // a null value or a slash: the destination keeps its value
  end_of_input,   // the input ended, or a line ending in byte 26 came
  read_error,     // the source reported an error
  bad_integer,    // not a sign and decimal digits, base#digits or #digits
  bad_real,       // not an accepted real form (including quoted text)
  integer_range,  // outside -2147483648 to 2147483647
  real_range,     // rounds beyond the largest double
  bad_repeat,     // a repeat count outside 1 to 2147483647
};

class ListReader {
 public:
  explicit ListReader(ByteSource& source) : source_(source) {}
  ListReader(const ListReader&) = delete;
  ListReader& operator=(const ListReader&) = delete;

  // Reads the next answer; `value` is written only when the status is
  // AnswerStatus::value.
  AnswerStatus read_integer(std::int32_t& value);
  AnswerStatus read_real(double& value);

 private:
  // Symbols of the input besides bytes 0 to 255.
  static constexpr int kLineEnd = -1;
  static constexpr int kEnd = -2;  // end of the input, or a read error

  int peek();
  void advance();
  int peek_byte();
  bool at_separator();
  AnswerStatus find_item();
  AnswerStatus finish_line(AnswerStatus status);
  bool take_repeat(std::uint64_t count, AnswerStatus& status);
  AnswerStatus scan_integer(std::int32_t& value);
  AnswerStatus scan_real(double& value);

  ByteSource& source_;
  char buffer_[4096];
  std::size_t position_ = 0;
  std::size_t count_ = 0;
  bool at_end_ = false;     // the source has no more bytes
  bool has_failed_ = false; // ... because it reported an error
  int symbol_ = 0;          // the peeked symbol, valid when has_symbol_
  bool has_symbol_ = false;
  int last_byte_ = -1;      // last byte of the current line, -1 if none yet
};

}  // namespace malha
