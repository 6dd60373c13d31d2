#include "support/file_records.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "formats/number_fields.h"
#include "readback/record_reader.h"

namespace malha::testing {
namespace {

// The field of `field` form at `text` (column `column`), read and required
// to be the writer's own text for the value read.
void read_field(const RecordReader& reader, const char* text, int column, Field field,
                RecordValues& values) {
  const auto width = static_cast<std::size_t>(field_width(field));
  const std::string_view written(text, width);
  std::string canonical(width, '?');
  if (field == Field::int_8) {
    const std::int32_t value = read_int_field(reader, text, column);
    int_field_8(canonical.data(), value);
    values.ints.push_back(value);
  } else {
    const bool is_wide = field == Field::real_25_15;
    const double value = read_real_field(reader, text, column, is_wide ? kRealField25 : kRealField18);
    if (is_wide) {
      real_field_25_15(canonical.data(), value);
    } else {
      real_field_18_9(canonical.data(), value);
    }
    values.reals.push_back(value);
  }
  EXPECT_EQ(written, canonical) << "line " << reader.line() << ", column " << column
                                << ": not the text the writer gives the value it shows";
}

}  // namespace

std::vector<RecordValues> read_records(const std::filesystem::path& path, OutputFile file,
                                       const Mesh& counts) {
  std::vector<RecordValues> records;
  RecordReader reader(path.string());
  for (const RecordGroup& group : output_file(file).groups) {
    const std::int64_t repeats = group_repeats(group.repeat, counts);
    for (std::int64_t i = 0; i < repeats; ++i) {
      for (const RecordLayout& layout : group.records) {
        const auto length = static_cast<std::size_t>(layout.length());
        const char* record = reader.next(length, "the records its counts call for");
        // The literal text up to the first field, which may replace its end;
        // blanks between the text and the field.
        const std::string_view text(record, length);
        const std::size_t literal_end =
            layout.field_count == 0 ? length
                                    : static_cast<std::size_t>(layout.field_column - 1);
        const std::string expected_literal =
            std::string(layout.text.substr(0, std::min(layout.text.size(), literal_end))) +
            std::string(literal_end - std::min(layout.text.size(), literal_end), ' ');
        EXPECT_EQ(text.substr(0, literal_end), expected_literal) << "line " << reader.line();
        RecordValues values;
        for (int k = 0; k < layout.field_count; ++k) {
          const int column = layout.column_of(k);
          read_field(reader, record + column - 1, column, layout.fields[static_cast<std::size_t>(k)],
                     values);
        }
        records.push_back(std::move(values));
      }
    }
  }
  reader.expect_end();
  return records;
}

}  // namespace malha::testing
