#include "output/record_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "sinks/byte_sink.h"
#include "support/dialogue.h"

namespace malha {
namespace {

TEST(RecordWriter, CountLinesPutTheFieldInColumns30To37) {
  // Labels as Windows-1252 bytes; the 30-character one loses its last blank.
  struct Case {
    const char* name;
    const RecordLayout& line;
    std::int32_t value;
    const char* record;
  };
  const Case cases[] = {
      {"26-character label", kCountLines[0], 2,
       " N\xFAmero de volumes reais:           2"},
      {"30-character label", kCountLines[1], 4,
       " N\xFAmero de volumes fict\xED" "cios:       4"},
      {"22-character label", kCountLines[2], 4,
       " N\xFAmero de n\xF3s reais:               4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySink sink;
    RecordWriter out(sink);
    write_count_line(out, c.line, c.value);
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
      {"back replaces and keeps the rest", "abcdef", 2, "X", "aXcdef"},
      {"back and beyond the end extends", "abcdef", 5, "XYZ", "abcdXYZ"},
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
}

TEST(RecordWriter, RecordOfMoreThan1024CharactersIsAWriteFailure) {
  const std::string report =
      testing::error_report("F4003", "WRITE(dados.ent)", "record longer than 1024 characters");
  EXPECT_EQ(testing::thrown_report([] {
              MemorySink sink("dados.ent");
              RecordWriter out(sink);
              out.text(std::string(kMaxRecordLength, 'x'));
              out.text("y");
            }),
            report);
  EXPECT_EQ(testing::thrown_report([] {
              MemorySink sink("dados.ent");
              RecordWriter out(sink);
              out.tab_to(kMaxRecordLength + 2);
            }),
            report);
}

}  // namespace
}  // namespace malha
