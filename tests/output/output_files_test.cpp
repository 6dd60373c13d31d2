// All writers on a level 1 mesh filled by hand, without the construction
// steps, against the golden files of the same run.

#include "output/output_files.h"

#include <gtest/gtest.h>

#include "output/golden_files.h"
#include "output/memory_output.h"
#include "output/write_count_records.h"
#include "output/write_node_files.h"
#include "output/write_processing_time.h"
#include "output/write_volume_files.h"
#include "support/run_malha.h"

namespace malha {
namespace {

TEST(OutputFiles, Level1MeshGivesTheGoldenFiles) {
  testing::Level1Output run;
  write_count_records(run.files[OutputFile::dados_malha], run.mesh);
  write_count_records(run.files[OutputFile::dados_gerais], run.mesh);
  write_node_files(run.files, run.mesh);
  write_volume_files(run.files, run.mesh);
  write_processing_time(run.files, 0.0);
  for (const OutputFileEntry& entry : kOutputFiles) {
    SCOPED_TRACE(entry.name);
    const std::string golden = testing::read_file(testing::kGoldenDir / "level1_1x1" / entry.name);
    ASSERT_FALSE(golden.empty());
    const std::string difference = testing::first_difference(golden, run.bytes(entry.file));
    EXPECT_TRUE(difference.empty()) << difference;
  }
}

}  // namespace
}  // namespace malha
