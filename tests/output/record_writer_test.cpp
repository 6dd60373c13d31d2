#include "output/record_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "output/byte_sink.h"
#include "output/number_fields.h"

namespace malha {
namespace {

TEST(RecordWriter, CountLinesPutTheFieldInColumns30To37) {
  // Labels as Windows-1252 bytes; the 30-character one loses its last blank.
  struct Case {
    const char* name;
    const char* label;
    std::int32_t value;
    const char* record;
  };
  const Case cases[] = {
      {"26-character label", " N\xFAmero de volumes reais: ", 2,
       " N\xFAmero de volumes reais:           2"},
      {"30-character label", " N\xFAmero de volumes fict\xED" "cios: ", 4,
       " N\xFAmero de volumes fict\xED" "cios:       4"},
      {"22-character label", " N\xFAmero de n\xF3s reais: ", 4,
       " N\xFAmero de n\xF3s reais:               4"},
      {"eight-digit value", " N\xFAmero de volumes fict\xED" "cios: ", 12345678,
       " N\xFAmero de volumes fict\xED" "cios:12345678"},
      {"overflowing value", " N\xFAmero de volumes reais: ", 1073741824,
       " N\xFAmero de volumes reais:    ********"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySink sink;
    RecordWriter out(sink);
    write_count_line(out, c.label, c.value);
    EXPECT_EQ(sink.bytes(), std::string(c.record) + "\r\n");
    EXPECT_EQ(sink.bytes().size(), 37u + 2u);
  }
}

TEST(RecordWriter, TabMovesForwardWithBlanksAndBackOntoText) {
  struct Case {
    const char* name;
    const char* before;
    int column;
    const char* after;
    const char* record;
  };
  const Case cases[] = {
      {"forward fills blanks", "ab", 6, "X", "ab   X"},
      {"to the next column adds nothing", "abc", 4, "X", "abcX"},
      {"back replaces and keeps the rest", "abcdef", 2, "X", "aXcdef"},
      {"back and beyond the end extends", "abcdef", 5, "XYZ", "abcdXYZ"},
      {"to column 1 of an empty record", "", 1, "X", "X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySink sink;
    RecordWriter out(sink);
    out.text(c.before);
    out.tab_to(c.column);
    out.text(c.after);
    out.end_record();
    EXPECT_EQ(sink.bytes(), std::string(c.record) + "\r\n");
  }
}

TEST(RecordWriter, FixedRecordsOfTheFiles) {
  MemorySink sink;
  RecordWriter out(sink);
  char pair[kPairWidth];
  format_pair(pair, 0.0, -1.0);
  write_numbered_pair(out, 5, {pair, kPairWidth});
  EXPECT_EQ(sink.bytes(),
            "       5    0.000000000000000E+00   -1.000000000000000E+00\r\n");

  MemorySink separator;
  RecordWriter(separator).free_form_record();
  EXPECT_EQ(separator.bytes(), " \r\n");

  MemorySink empty;
  RecordWriter(empty).end_record();
  EXPECT_EQ(empty.bytes(), "\r\n");

  MemorySink row;
  const std::int32_t values[] = {6, 8, 1, 3};
  RecordWriter row_out(row);
  write_integer_row(row_out, values);
  EXPECT_EQ(row.bytes(), "       6       8       1       3\r\n");
}

TEST(RecordWriter, RecordsSpanningBlockBoundariesArriveWhole) {
  // A buffer just large enough for one record of the maximum length forces
  // a block hand-over every few records.
  MemorySink sink("memory", kMaxRecordLength + 2);
  RecordWriter out(sink);
  std::string expected;
  for (int i = 0; i < 500; ++i) {
    out.int_field_8(i);
    out.real_field_25_15(i / 7.0);
    out.end_record();
    char fields[kIntField8Width + kRealField25Width];
    int_field_8(fields, i);
    real_field_25_15(fields + kIntField8Width, i / 7.0);
    expected.append(fields, sizeof(fields));
    expected += "\r\n";
  }
  const std::string long_record(kMaxRecordLength, 'x');
  out.text(long_record);
  out.end_record();
  expected += long_record + "\r\n";
  EXPECT_EQ(sink.bytes(), expected);
}

TEST(RecordWriterDeathTest, RecordOfMoreThan1024CharactersIsAWriteFailure) {
  const auto write_long_record = [] {
    MemorySink sink("dados.ent");
    RecordWriter out(sink);
    out.text(std::string(kMaxRecordLength, 'x'));
    out.text("y");
  };
  EXPECT_EXIT(write_long_record(), ::testing::ExitedWithCode(1),
              "run-time error F4003: WRITE\\(dados.ent\\)");
  const auto tab_beyond_limit = [] {
    MemorySink sink("dados.ent");
    RecordWriter out(sink);
    out.tab_to(kMaxRecordLength + 2);
  };
  EXPECT_EXIT(tab_beyond_limit(), ::testing::ExitedWithCode(1), "WRITE\\(dados.ent\\)");
}

}  // namespace
}  // namespace malha
