#include "mesh/size_mesh.h"

#include <gtest/gtest.h>

#include "support/test_mesh.h"

namespace malha {
namespace {

struct SizeCase {
  int level;
  int n_real_volumes, n_fict_volumes, n_volumes;
  int n_real_nodes, n_fict_nodes, n_nodes;
  int nodes_per_side, centres_per_side, fict_per_side;
  double dx_divisor;  // dx = dim_x / dx_divisor
};

// The worked table of sizes for levels 1 to 8.
constexpr SizeCase kWorkedTable[] = {
    {1, 2, 4, 6, 4, 4, 8, 0, 0, 0, 1},
    {2, 4, 4, 8, 5, 4, 9, 0, 0, 0, 1},
    {3, 8, 8, 16, 9, 4, 13, 3, 0, 1, 2},
    {4, 16, 8, 24, 13, 8, 21, 3, 2, 2, 2},
    {5, 32, 16, 48, 25, 8, 33, 5, 0, 2, 4},
    {6, 64, 16, 80, 41, 16, 57, 5, 4, 4, 4},
    {7, 128, 32, 160, 81, 16, 97, 9, 0, 4, 8},
    {8, 256, 32, 288, 145, 32, 177, 9, 8, 8, 8},
};

// With lengths 2 and 1, which also give level 4 its worked spacings
// dx = 1, dy = 0.5, half_dx = 0.5, half_dy = 0.25.
TEST(SizeMesh, WorkedTableForLevels1To8) {
  for (const SizeCase& c : kWorkedTable) {
    SCOPED_TRACE(c.level);
    const Mesh mesh = testing::counted_mesh(c.level, 2.0, 1.0);
    EXPECT_EQ(mesh.n_real_volumes, c.n_real_volumes);
    EXPECT_EQ(mesh.n_fict_volumes, c.n_fict_volumes);
    EXPECT_EQ(mesh.n_volumes, c.n_volumes);
    EXPECT_EQ(mesh.n_real_nodes, c.n_real_nodes);
    EXPECT_EQ(mesh.n_fict_nodes, c.n_fict_nodes);
    EXPECT_EQ(mesh.n_nodes, c.n_nodes);
    EXPECT_EQ(mesh.nodes_per_side, c.nodes_per_side);
    EXPECT_EQ(mesh.centres_per_side, c.centres_per_side);
    EXPECT_EQ(mesh.fict_per_side, c.fict_per_side);
    EXPECT_EQ(mesh.dx, 2.0 / c.dx_divisor);
    EXPECT_EQ(mesh.dy, 1.0 / c.dx_divisor);

    // Which of the derived spacings a case sets.
    const bool sets_half = c.level == 2 || (c.level >= 4 && c.level % 2 == 0);
    const bool sets_two = c.level >= 3 && c.level % 2 == 1;
    EXPECT_EQ(mesh.half_dx, sets_half ? mesh.dx / 2 : 0.0);
    EXPECT_EQ(mesh.half_dy, sets_half ? mesh.dy / 2 : 0.0);
    EXPECT_EQ(mesh.two_dx, sets_two ? mesh.dx * 2 : 0.0);
    EXPECT_EQ(mesh.two_dy, sets_two ? mesh.dy * 2 : 0.0);
  }
}

// Cells along a side are a power of two, so the spacing times the cell count
// gives the length back exactly, for every level and awkward lengths.
TEST(SizeMesh, SpacingTimesCellCountIsTheLengthExactly) {
  for (int level = 3; level <= 30; ++level) {
    for (double length : {0.3, 0.7, 1.0 / 3.0, 12345.678, 1e-300, 1e300}) {
      const Mesh mesh = testing::counted_mesh(level, length, -length);
      const double cells = static_cast<double>(mesh.nodes_per_side - 1);
      EXPECT_EQ(cells * mesh.dx, length) << "level " << level;
      EXPECT_EQ(cells * mesh.dy, -length) << "level " << level;
    }
  }
  EXPECT_EQ(4 * testing::counted_mesh(5, 0.3, 0.0).dx, 0.3);
}

}  // namespace
}  // namespace malha
