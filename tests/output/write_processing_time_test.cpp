#include "output/write_processing_time.h"

#include <gtest/gtest.h>

#include "output/memory_output.h"

namespace malha {
namespace {

// Whole runs check the record's form only, since their time varies: here
// the value given is the value written.
TEST(WriteProcessingTime, TimeFieldFollowsTheLabel) {
  testing::MemoryOutput output;
  write_processing_time(output.files, 1.25);
  EXPECT_EQ(output.bytes(OutputFile::dados_gerais),
            " tempo de processamento [s]:    1.250000000E+00\r\n");
}

}  // namespace
}  // namespace malha
