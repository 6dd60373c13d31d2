#pragma once
// The record writer: assembles records from layout elements into a byte
// sink and ends every record with CR LF.
//
// Elements write at the current position (column 1 at the start of each
// record): literal text and number fields extend the record or replace the
// characters already there; `tab_to` fills with blanks up to its column or
// moves back onto written text. `end_record` is the record break and the end
// of a layout: the record, possibly empty, gets its terminator. A repeated
// group is its elements written k times, one value each.
// Throws: the WRITE report of the sink for a record longer than 1024
// characters, and whatever the sink throws when a block is handed on.
// The system's layouts follow as functions that write complete records.

#include <cstdint>
#include <span>
#include <string_view>

#include "sinks/byte_sink.h"
#include "formats/file_formats.h"

namespace malha {

class RecordWriter {
 public:
  RecordWriter() = default;
  explicit RecordWriter(ByteSink& sink) : sink_(&sink) {}

  void text(std::string_view literal);
  void tab_to(int column);
  void int_field_8(std::int32_t value);
  void real_field_25_15(double value);
  void real_field_18_9(double value);
  void end_record();

  // The free-form record with no values: one blank.
  void free_form_record();

 private:
  // Where `width` characters go at the current position; moves past them.
  char* place(int width);
  char* record();

  ByteSink* sink_ = nullptr;
  char* record_ = nullptr;  // the current record inside the sink's room
  int length_ = 0;          // characters in the current record
  int position_ = 0;        // 0-based column of the next character
};

// The literal text of `layout` from column 1, and the position moved to the
// column of its first field.
void begin_layout(RecordWriter& out, const RecordLayout& layout);
// Count line (one of kCountLines): the label from column 1, the value in
// int_field_8 at column 30 (37 characters; a longer label is overwritten
// from column 30).
void write_count_line(RecordWriter& out, const RecordLayout& line, std::int32_t value);

// The text of a pair, x and y in real_field_25_15 (kPairWidth characters),
// formatted once where the same pair goes into several records.
void format_pair(char* out, double x, double y);

// Numbered pair: int_field_8, then the pair (58 characters).
void write_numbered_pair(RecordWriter& out, std::int32_t number, std::string_view pair_text);
// Pair (50 characters).
void write_pair(RecordWriter& out, std::string_view pair_text);
// Integer row: one int_field_8 per value (8 characters each).
void write_integer_row(RecordWriter& out, std::span<const std::int32_t> values);

}  // namespace malha
