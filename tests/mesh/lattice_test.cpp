// The lattice numbering at the levels the construction tests cannot build:
// its counts and its boundary up to the largest accepted level. The rows at
// levels 3 to 16 are checked through define_volumes and
// find_volume_neighbours.
#include "mesh/lattice.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "mesh/mesh_kind.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

using testing::Row;

Row nodes_of(const LatticeVolume& volume) {
  return {volume.nodes[0], volume.nodes[1], volume.nodes[2]};
}
Row neighbours_of(const LatticeVolume& volume) {
  return {volume.neighbours[0], volume.neighbours[1], volume.neighbours[2]};
}

TEST(LatticeNumbering, SizingGivesTheNumberingsCountsAtEveryLevel) {
  for (int level = kMinLevel; level <= kMaxLevel; ++level) {
    SCOPED_TRACE(level);
    const Mesh mesh = testing::counted_mesh(level, 1.0, 1.0);
    EXPECT_EQ(lattice_counts_fit(mesh, mesh_kind(level)), level >= 3);
  }
}

TEST(LatticeNumbering, OtherCountsDoNotFit) {
  struct Case {
    const char* name;
    void (*change)(Mesh&);
  };
  const Case cases[] = {
      {"one more node", [](Mesh& m) { ++m.n_nodes; }},
      {"one more real node", [](Mesh& m) { ++m.n_real_nodes; }},
      {"one volume less", [](Mesh& m) { --m.n_volumes; }},
      {"two more nodes per side", [](Mesh& m) { m.nodes_per_side += 2; }},
      {"the next level's kind", [](Mesh& m) { ++m.level; }},
  };
  for (int level = 3; level <= 8; ++level) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "level " << level << ": " << c.name);
      Mesh mesh = testing::counted_mesh(level, 1.0, 1.0);
      c.change(mesh);
      EXPECT_FALSE(lattice_counts_fit(mesh, mesh_kind(mesh.level)));
    }
  }
}

// The fictitious volumes at the lower-left and the upper-right corner, where
// the boundary numbering begins, ends and turns, at every lattice level:
// each faces the first or the last fan, and at odd levels meets the other
// volume of its fictitious node.
TEST(LatticeNumbering, FictitiousVolumesAtTheCorners) {
  for (int level = 3; level <= kMaxLevel; ++level) {
    SCOPED_TRACE(level);
    const Mesh mesh = testing::counted_mesh(level, 1.0, 1.0);
    const Lattice lattice = lattice_of(mesh);
    const std::int32_t n = mesh.nodes_per_side;
    const std::int32_t real = mesh.n_real_volumes;
    const std::int32_t w = level % 2 != 0 ? 2 : 1;  // edges per fan side
    const std::int32_t side = n - 1;
    ASSERT_EQ(lattice.n_real_volumes, real);

    // Below the bottom-left corner: first fictitious node, first triangle.
    const LatticeVolume first = fictitious_volume(lattice, 1);
    EXPECT_EQ(nodes_of(first), (Row{mesh.n_real_nodes + 1, 2, 1}));
    EXPECT_EQ(neighbours_of(first), (Row{1, w == 2 ? real + 2 : 0, 0}));

    // Right of the top-right corner: the last fan's last right-side triangle.
    const LatticeVolume top_right = fictitious_volume(lattice, 2 * side);
    EXPECT_EQ(nodes_of(top_right),
              (Row{mesh.n_real_nodes + 2 * mesh.fict_per_side, n * n, n * n - n}));
    EXPECT_EQ(neighbours_of(top_right),
              (Row{real - 2 * w, w == 2 ? real + 2 * side - 1 : 0, 0}));

    // Left of the bottom-left corner: last fictitious node and volume, the
    // first fan's last triangle.
    const LatticeVolume last = fictitious_volume(lattice, 4 * side);
    EXPECT_EQ(nodes_of(last), (Row{mesh.n_nodes, 1, n + 1}));
    EXPECT_EQ(neighbours_of(last), (Row{4 * w, w == 2 ? mesh.n_volumes - 1 : 0, 0}));
    EXPECT_EQ(real + 4 * side, mesh.n_volumes);
  }
}

}  // namespace
}  // namespace malha
