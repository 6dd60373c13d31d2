#pragma once
// Folder readback/: reads the files of a run back into a Mesh, the inverse
// of output/; it builds on formats/, mesh/ and system/.
//
// A record reader takes one file read back record by record, in large
// blocks, and checks each record against its fixed length and its CR LF
// line end. The field readers check one field of a record against the forms
// the program writes.
// Throws: at every fault the READ report naming the file, the line and what
// is wrong (`fail`); the OPEN or READ report when the file cannot be opened
// or read; std::bad_alloc from the constructor when its buffer cannot be
// obtained.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/file_formats.h"
#include "system/platform.h"

namespace malha {

class RecordReader {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;
  // The smallest buffer, for a file shorter than it; far above any record.
  static constexpr std::size_t kMinBufferBytes = 4096;

  // Opens `path`, which names the file in every report.
  explicit RecordReader(std::string path);
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  const std::string& path() const { return path_; }
  std::uint64_t size() const { return size_; }
  // The number of the record last returned by `next` (0 before the first).
  std::int64_t line() const { return line_; }

  // The `length` characters of the next record, valid until the next call;
  // `what` names the records the file should still hold, for the report of
  // a file that ends early ("the 8 node records that line 1 counts").
  const char* next(std::size_t length, std::string_view what);
  // Throws the READ report when anything follows the last record read.
  void expect_end();

  // Throws the READ report for the current line.
  [[noreturn]] void fail(std::string_view what) const;

 private:
  // Makes at least `count` bytes available from `begin_`, fewer only at
  // the end of the file; returns the count available.
  std::size_t fill(std::size_t count);

  std::string path_;
  platform::FileHandle file_ = platform::kNoFile;
  std::uint64_t size_ = 0;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool is_at_end_ = false;
  std::int64_t line_ = 0;
};

// Reads the `int_field_8` at `field` (column `column` of the current
// record): blanks, an optional minus sign and the digits, right-aligned.
std::int32_t read_int_field(const RecordReader& reader, const char* field, int column);

// Reads the real field of `form` at `field` (real_field_25_15 unless told
// otherwise): blanks, an optional minus sign, one digit, the point, the
// form's fraction digits (15 or 9) and the exponent ("E", sign and two
// digits, or sign and three digits), right-aligned. The result is a double
// that the program writes as this very field, so that writing it again
// gives the same bytes: the double nearest to the decimal the field shows,
// or where the field's two rounding steps write that one otherwise, its
// nearest neighbour that is written so. A field that no double is written
// as is refused.
double read_real_field(const RecordReader& reader, const char* field, int column,
                       const RealFieldForm& form = kRealField25);

}  // namespace malha
