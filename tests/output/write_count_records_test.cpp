#include "output/write_count_records.h"

#include <gtest/gtest.h>

#include "output/write_processing_time.h"
#include "output/memory_output.h"

namespace malha {
namespace {

using testing::bytes_of;
using testing::records;

// The whole summary file of a level 1 run shorter than the clock's step.
TEST(WriteCountRecords, SummaryFileOfLevel1) {
  Mesh mesh;
  testing::fill_level_1(mesh, 1.0, 1.0);
  OutputFiles files;
  testing::attach_memory_sinks(files);
  write_count_records(files[OutputFile::dados_gerais], mesh);
  write_processing_time(files, 0.0);
  EXPECT_EQ(bytes_of(files, OutputFile::dados_gerais),
            records({
                " N\xFAmero de volumes reais:           2",
                " N\xFAmero de volumes fict\xED" "cios:       4",
                " N\xFAmero de n\xF3s reais:               4",
                " N\xFAmero de n\xF3s fict\xED" "cios:           4",
                " tempo de processamento [s]:    0.000000000E+00",
            }));
}

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
  OutputFiles files;
  testing::attach_memory_sinks(files);
  write_processing_time(files, 1.25);
  EXPECT_EQ(bytes_of(files, OutputFile::dados_gerais),
            " tempo de processamento [s]:    1.250000000E+00\r\n");
}

}  // namespace
}  // namespace malha
