#include "output/write_node_files.h"

#include <gtest/gtest.h>

#include "output/memory_output.h"
#include "output/node_pair_texts.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

TEST(WriteNodeFiles, HeaderIs22BytesAndLengthsShowInTheCoordinates) {
  const Mesh mesh = testing::built_mesh(1, 2.0, 1.0);
  testing::MemoryOutput output;
  write_node_files(output.files, mesh);
  const std::string bytes = output.bytes(OutputFile::dados_malha);
  EXPECT_EQ(bytes.substr(0, 22), "\r\n Posi\xE7\xE3o dos n\xF3s\r\n\r\n");
  const std::size_t record = 60;
  EXPECT_EQ(bytes.substr(22 + 1 * record, record),
            "       2    2.000000000000000E+00    0.000000000000000E+00\r\n");
  EXPECT_EQ(bytes.substr(22 + 5 * record, record),
            "       6    4.000000000000000E+00    1.000000000000000E+00\r\n");
}

// The golden runs use the table; a mesh too large for it formats each pair
// where it is written.
TEST(NodePairTexts, TableAndFormattingOnTheFlyGiveTheSameTexts) {
  const Mesh mesh = testing::built_mesh(1, 0.3, 0.7);
  NodePairTexts table(mesh, UINT64_MAX);
  NodePairTexts on_the_fly(mesh, 0);
  ASSERT_TRUE(table.is_table());
  ASSERT_FALSE(on_the_fly.is_table());
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) {
    SCOPED_TRACE(node);
    EXPECT_EQ(std::string(table(node)), std::string(on_the_fly(node)));
  }
  EXPECT_EQ(std::string(table(6)), "    6.000000000000000E-01    7.000000000000000E-01");
}

}  // namespace
}  // namespace malha
