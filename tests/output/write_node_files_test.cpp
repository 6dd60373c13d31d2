#include "output/write_node_files.h"

#include <gtest/gtest.h>

#include "output/memory_output.h"
#include "output/node_pair_texts.h"
#include "formats/number_fields.h"
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

// Whatever its size, the cache gives each node's own number and pair record: a single
// set (a miss on nearly every corner) and the size chosen for the mesh
// agree with formatting each pair on its own, in the order the outline
// groups ask for them.
TEST(NodePairTexts, EveryCacheSizeGivesEachNodeItsOwnPair) {
  const Mesh mesh = testing::built_mesh(5, 0.3, 0.7);
  NodePairTexts single_set(mesh, 1);
  NodePairTexts sized(mesh);
  ASSERT_EQ(single_set.set_count(), 1u);
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const std::int32_t* abc = mesh.volume_nodes.row(volume);
    for (const std::int32_t node : {abc[0], abc[1], abc[2], abc[0]}) {
      SCOPED_TRACE(node);
      char expected[kPairWidth];
      const double* xy = mesh.node_coords.row(node);
      format_pair(expected, xy[0], xy[1]);
      const std::string record = std::string(expected, kPairWidth) + "\r\n";
      EXPECT_EQ(std::string(single_set.record(node), kPairRecordWidth), record);
      EXPECT_EQ(std::string(sized.record(node), kPairRecordWidth), record);
      char number[kIntField8Width];
      int_field_8(number, node);
      EXPECT_EQ(std::string(single_set.texts(node).number, kIntField8Width),
                std::string(number, kIntField8Width));
    }
  }
  // Two entries per set: the single set formats again on most corners, the
  // sized cache hardly ever beyond the first use of each node.
  EXPECT_GT(single_set.formatted(), 2u * static_cast<std::uint64_t>(mesh.n_volumes));
  EXPECT_LE(sized.formatted(), static_cast<std::uint64_t>(mesh.n_nodes) + mesh.n_nodes / 4);
  const Mesh level1_mesh = testing::built_mesh(1, 0.3, 0.7);
  NodePairTexts level1(level1_mesh);
  EXPECT_EQ(std::string(level1(6)), "    6.000000000000000E-01    7.000000000000000E-01");
}

}  // namespace
}  // namespace malha
