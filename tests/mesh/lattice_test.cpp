// The lattice's facts: the numbering at the levels the construction tests
// cannot build (its counts and its boundary up to the largest accepted
// level; the rows at levels 3 to 16 are checked through define_volumes and
// find_volume_neighbours), the levels' lattices, the counts read back, and
// each node and volume computed from its place alone.
#include "mesh/lattice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "mesh/construct_mesh.h"
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

// Each level's lattice and back; level 1 and the levels outside the range
// have none.
TEST(LatticeFacts, LevelsAndTheirLattices) {
  for (int level = kMinLevel - 1; level <= kMaxLevel + 1; ++level) {
    SCOPED_TRACE(level);
    const LatticeShape shape = level_lattice(level);
    if (level < 2 || level > kMaxLevel) {
      EXPECT_EQ(shape.cells_x, 0);
      continue;
    }
    EXPECT_EQ(shape.cells_x, shape.cells_y);
    EXPECT_EQ(shape.pattern, level % 2 != 0 ? LatticePattern::fan : LatticePattern::crossed);
    EXPECT_EQ(lattice_level(shape.cells_x, shape.cells_y, shape.pattern), level);
  }
  EXPECT_EQ(lattice_level(4, 2, LatticePattern::crossed), 0);
  EXPECT_EQ(lattice_level(6, 6, LatticePattern::fan), 0);
}

// The read-back's inverse gives the sides whose counts these are, and
// nothing for counts no lattice of the pattern has.
TEST(LatticeFacts, SidesFromTheVolumeCounts) {
  const struct {
    std::int64_t cells_x, cells_y;
    LatticePattern pattern;
  } shapes[] = {{1, 1, LatticePattern::crossed}, {7, 3, LatticePattern::crossed},
                {2, 40, LatticePattern::fan},    {1024, 1024, LatticePattern::fan},
                {1, kMaxLatticeCells, LatticePattern::crossed}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(::testing::Message() << shape.cells_x << " x " << shape.cells_y);
    const LatticeCounts counts = lattice_counts(shape.cells_x, shape.cells_y, shape.pattern);
    const LatticeSides sides =
        lattice_sides(counts.n_real_volumes, counts.n_fict_volumes, shape.pattern);
    EXPECT_EQ(sides.shorter, std::min(shape.cells_x, shape.cells_y));
    EXPECT_EQ(sides.longer, std::max(shape.cells_x, shape.cells_y));
  }
  EXPECT_EQ(lattice_sides(8, 8, LatticePattern::crossed).shorter, 0);  // 2 x 2 needs 16
  EXPECT_EQ(lattice_sides(6, 8, LatticePattern::fan).shorter, 0);      // 1 x 3: odd cells
  EXPECT_EQ(lattice_sides(4, 7, LatticePattern::crossed).shorter, 0);
}

// Every node and volume computed from its place alone is the one the
// construction stores, bit for bit, on lattices of both patterns, level 2
// (but for its corners) and a lattice that is no level's.
TEST(LatticeFacts, EachNodeAndVolumeFromItsPlace) {
  const struct {
    std::int32_t cells_x, cells_y;
    LatticePattern pattern;
    double dim_x, dim_y;
  } shapes[] = {{1, 1, LatticePattern::crossed, -0.3, 7.0},
                {3, 2, LatticePattern::crossed, 1.0, 0.7},
                {4, 2, LatticePattern::fan, 2.0, -1.0},
                {4, 4, LatticePattern::fan, 0.3, 0.3}};
  for (const auto& shape : shapes) {
    SCOPED_TRACE(::testing::Message() << shape.cells_x << " x " << shape.cells_y);
    Mesh mesh;
    mesh.cells_x = shape.cells_x;
    mesh.cells_y = shape.cells_y;
    mesh.pattern = shape.pattern;
    mesh.dim_x = shape.dim_x;
    mesh.dim_y = shape.dim_y;
    construct_lattice_mesh(mesh);
    const Lattice lattice = lattice_of(mesh);
    const std::int32_t ring = 4 * lattice.side_edges;
    for (std::int32_t r = 1; r <= lattice.fans_y; ++r) {
      for (std::int32_t s = 1; s <= lattice.fans_x; ++s) {
        for (std::int32_t k = 1; k <= ring; ++k) {
          const std::int32_t v = fan_volume_number(lattice, r, s, k);
          const LatticeVolume volume = fan_volume(lattice, r, s, k);
          EXPECT_EQ(nodes_of(volume), testing::row_of(mesh.volume_nodes, v)) << v;
          EXPECT_EQ(neighbours_of(volume), testing::row_of(mesh.volume_neighbours, v)) << v;
          EXPECT_EQ(volume.nodes[0], fan_centre(lattice, r, s)) << v;
        }
      }
    }
    for (int side = 0, next = 1; side < 4; ++side) {
      const BoundaryRun run = boundary_run(mesh.cells_x, mesh.cells_y, side);
      EXPECT_EQ(run.first, next);
      next += run.count;
      const LatticeVolume first = fictitious_volume(lattice, run.first);
      EXPECT_EQ(first.nodes[0], fictitious_node(lattice, run.first));
    }
    const auto same_bits = [&](std::int32_t node, NodeCoords coords) {
      EXPECT_EQ(std::memcmp(mesh.node_coords.row(node), &coords, sizeof(coords)), 0) << node;
    };
    const bool level_2 = mesh.level == 2;
    for (std::int32_t j = 1; j <= lattice.ny; ++j) {
      for (std::int32_t i = 1; i <= lattice.nx; ++i) {
        if (!level_2) same_bits(lattice_node(lattice, i, j), lattice_node_coords(mesh, i, j));
      }
    }
    if (shape.pattern == LatticePattern::crossed) {
      for (std::int32_t j = 1; j <= mesh.cells_y; ++j) {
        for (std::int32_t i = 1; i <= mesh.cells_x; ++i) {
          same_bits(fan_centre(lattice, j, i), centre_node_coords(mesh, i, j));
        }
      }
    }
    for (std::int32_t f = 1; f <= mesh.n_fict_nodes; ++f) {
      same_bits(mesh.n_real_nodes + f, fictitious_node_coords(mesh, f));
    }
  }
}

}  // namespace
}  // namespace malha
