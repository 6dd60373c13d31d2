#include "output/record_writer.h"

#include <cassert>
#include <cstring>

#include "formats/number_fields.h"
#include "system/run_error.h"

namespace malha {

// The current record is assembled in place inside the sink's buffer: room
// for the longest allowed record and its terminator is taken when the
// record starts, so no record is ever copied.
char* RecordWriter::record() {
  assert(sink_ != nullptr);
  if (record_ == nullptr) record_ = sink_->room(kMaxRecordLength + kLineEndBytes);
  return record_;
}

char* RecordWriter::place(int width) {
  const int end = position_ + width;
  if (end > kMaxRecordLength) fail_file(RunError::write_record_length, sink_->name(), 0);
  char* at = record() + position_;
  position_ = end;
  if (end > length_) length_ = end;
  return at;
}

void RecordWriter::text(std::string_view literal) {
  const int width = static_cast<int>(literal.size());
  std::memcpy(place(width), literal.data(), literal.size());
}

void RecordWriter::tab_to(int column) {
  assert(column >= 1);
  const int target = column - 1;
  if (target > kMaxRecordLength) fail_file(RunError::write_record_length, sink_->name(), 0);
  if (length_ < target) {
    std::memset(record() + length_, ' ', static_cast<std::size_t>(target - length_));
    length_ = target;
  }
  position_ = target;
}

void RecordWriter::int_field_8(std::int32_t value) {
  malha::int_field_8(place(kIntField8Width), value);
}

void RecordWriter::real_field_25_15(double value) {
  malha::real_field_25_15(place(kRealField25Width), value);
}

void RecordWriter::real_field_18_9(double value) {
  malha::real_field_18_9(place(kRealField18Width), value);
}

void RecordWriter::end_record() {
  std::memcpy(record() + length_, kLineEnd.data(), kLineEnd.size());
  sink_->commit(static_cast<std::size_t>(length_) + kLineEnd.size());
  record_ = nullptr;
  length_ = 0;
  position_ = 0;
}

void RecordWriter::free_form_record() {
  assert(length_ == 0);
  text(kSeparator.text);
  end_record();
}

void begin_layout(RecordWriter& out, const RecordLayout& layout) {
  out.text(layout.text);
  out.tab_to(layout.field_column);
}

void write_count_line(RecordWriter& out, const RecordLayout& line, std::int32_t value) {
  begin_layout(out, line);
  out.int_field_8(value);
  out.end_record();
}

void format_pair(char* out, double x, double y) {
  real_field_25_15(out, x);
  real_field_25_15(out + kRealField25Width, y);
}

void write_numbered_pair(RecordWriter& out, std::int32_t number, std::string_view pair_text) {
  out.int_field_8(number);
  out.text(pair_text);
  out.end_record();
}

void write_pair(RecordWriter& out, std::string_view pair_text) {
  out.text(pair_text);
  out.end_record();
}

void write_integer_row(RecordWriter& out, std::span<const std::int32_t> values) {
  for (const std::int32_t value : values) out.int_field_8(value);
  out.end_record();
}

}  // namespace malha
