#include "output/write_count_records.h"

#include <gtest/gtest.h>

#include "output/memory_output.h"
#include "output/write_processing_time.h"

namespace malha {
namespace {

TEST(WriteCountRecords, EveryRecordIs37CharactersWhateverTheCounts) {
  struct Case {
    const char* name;
    std::int32_t count;
  };
  const Case cases[] = {{"one digit", 4}, {"eight digits", 16777216}, {"overflow", 1073741824}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh;
    mesh.n_real_volumes = mesh.n_fict_volumes = mesh.n_real_nodes = mesh.n_fict_nodes = c.count;
    MemorySink sink;
    RecordWriter out(sink);
    write_count_records(out, mesh);
    const std::string& bytes = sink.bytes();
    ASSERT_EQ(bytes.size(), 4u * 39u);
    for (std::size_t record = 0; record < 4; ++record) {
      EXPECT_EQ(bytes.substr(record * 39 + 37, 2), "\r\n") << record;
    }
  }
}

TEST(WriteProcessingTime, TimeFieldFollowsTheLabel) {
  testing::Level1Output run;
  write_processing_time(run.files, 1.25);
  EXPECT_EQ(run.bytes(OutputFile::dados_gerais),
            " tempo de processamento [s]:    1.250000000E+00\r\n");
}

}  // namespace
}  // namespace malha
