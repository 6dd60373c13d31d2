#include "mesh/find_volume_neighbours.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "mesh/allocate_mesh.h"
#include "mesh/define_volumes.h"
#include "support/dialogue.h"
#include "support/test_mesh.h"
#include "mesh/lattice.h"
#include "system/run_error.h"

namespace malha {
namespace {

using testing::Row;
using testing::row_of;

void expect_same_as_literal(const Mesh& mesh) {
  const MeshTable<std::int32_t, 3> expected = testing::literal_neighbours(mesh);
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    ASSERT_EQ(row_of(mesh.volume_neighbours, v), row_of(expected, v)) << "volume " << v;
  }
}

struct WorkedCase {
  const char* name;
  int level;
  std::vector<Row> rows;
};

TEST(FindVolumeNeighbours, WorkedNeighbourTables) {
  const WorkedCase cases[] = {
      {"level 1", 1, {{2, 3, 6}, {1, 4, 5}, {1, 0, 0}, {2, 0, 0}, {2, 0, 0}, {1, 0, 0}}},
      {"level 2", 2,
       {{2, 4, 5}, {1, 3, 6}, {2, 4, 7}, {1, 3, 8}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}}},
      {"level 3", 3,
       {{2, 8, 9}, {1, 3, 10}, {2, 4, 11}, {3, 5, 12}, {4, 6, 13}, {5, 7, 14}, {6, 8, 15},
        {1, 7, 16}, {1, 10, 0}, {2, 9, 0}, {3, 12, 0}, {4, 11, 0}, {5, 14, 0}, {6, 13, 0},
        {7, 16, 0}, {8, 15, 0}}},
  };
  for (const WorkedCase& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh = testing::sized_mesh(c.level, 1.0, 1.0);
    define_volumes(mesh);
    find_volume_neighbours(mesh);
    ASSERT_EQ(mesh.n_volumes, static_cast<int>(c.rows.size()));
    testing::expect_rows(mesh.volume_neighbours, 1, c.rows);
  }
}

TEST(FindVolumeNeighbours, SameTableAsTheLiteralRuleAtLevels1To12) {
  for (int level = 1; level <= 12; ++level) {
    SCOPED_TRACE(level);
    Mesh mesh = testing::sized_mesh(level, 1.0, 1.0);
    define_volumes(mesh);
    find_volume_neighbours(mesh);
    expect_same_as_literal(mesh);
  }
}

// Up to level 16 the rows taken from the lattice equal the rows of the
// search that serves every table.
TEST(FindVolumeNeighbours, LatticeRowsEqualTheGeneralSearchToLevel16) {
  for (int level = 3; level <= 16; ++level) {
    SCOPED_TRACE(level);
    Mesh mesh = testing::sized_mesh(level, 1.0, 1.0);
    define_volumes(mesh);
    find_volume_neighbours(mesh);
    std::vector<Row> lattice_rows;
    for (int v = 1; v <= mesh.n_volumes; ++v) {
      lattice_rows.push_back(row_of(mesh.volume_neighbours, v));
    }
    find_neighbours_in_any_table(mesh);
    for (int v = 1; v <= mesh.n_volumes; ++v) {
      ASSERT_EQ(row_of(mesh.volume_neighbours, v), lattice_rows[v - 1]) << "volume " << v;
    }
  }
}

// The search that serves levels 1 and 2 finds the literal rule's rows in
// lattice tables with one node changed, where the lattice's rows no longer
// hold.
TEST(FindVolumeNeighbours, SearchOfAlteredLatticeTablesMatchesTheLiteralRule) {
  struct Case {
    const char* name;
    int row;     // 1 = first, 0 = middle, -1 = last volume
    int column;  // 1..3
    std::int32_t value;
  };
  const Case cases[] = {
      {"first row, first node", 1, 1, 1},
      {"middle row, second node", 0, 2, 3},
      {"last row, third node", -1, 3, 2},
  };
  for (int level = 3; level <= 8; ++level) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "level " << level << ": " << c.name);
      Mesh mesh = testing::sized_mesh(level, 1.0, 1.0);
      define_volumes(mesh);
      const int v = c.row == 1 ? 1 : c.row == 0 ? mesh.n_volumes / 2 : mesh.n_volumes;
      mesh.volume_nodes(v, c.column) = c.value;
      find_neighbours_in_any_table(mesh);
      expect_same_as_literal(mesh);
    }
  }
}

// At the lattice levels the rows depend on the level and the counts alone:
// a volume table holding anything gives the rows of the one define_volumes
// writes. Counts that are not sizing's are refused, and no row is written.
TEST(FindVolumeNeighbours, LatticeRowsDependOnTheCountsAlone) {
  for (int level = 3; level <= 8; ++level) {
    SCOPED_TRACE(level);
    Mesh lattice = testing::sized_mesh(level, 1.0, 1.0);
    define_volumes(lattice);
    find_volume_neighbours(lattice);

    Mesh scrambled = testing::sized_mesh(level, 1.0, 1.0);
    for (int v = 1; v <= scrambled.n_volumes; ++v) {
      for (int c = 1; c <= 3; ++c) scrambled.volume_nodes(v, c) = 1;
    }
    find_volume_neighbours(scrambled);
    for (int v = 1; v <= lattice.n_volumes; ++v) {
      ASSERT_EQ(row_of(scrambled.volume_neighbours, v), row_of(lattice.volume_neighbours, v))
          << "volume " << v;
    }

    struct Miscount {
      const char* name;
      std::int32_t Mesh::*count;
      std::int32_t change;
    };
    const Miscount miscounts[] = {
        {"one node more", &Mesh::n_nodes, 1},
        {"one volume more", &Mesh::n_volumes, 1},
        {"one real node fewer", &Mesh::n_real_nodes, -1},
        {"two nodes per side more", &Mesh::nodes_per_side, 2},
    };
    for (const Miscount& m : miscounts) {
      SCOPED_TRACE(m.name);
      Mesh miscounted = testing::sized_mesh(level, 1.0, 1.0);
      define_volumes(miscounted);
      miscounted.*m.count += m.change;
      EXPECT_EQ(testing::thrown_code([&] { find_volume_neighbours(miscounted); }), "S5002");
      EXPECT_EQ(miscounted.volume_neighbours(1, 1), testing::kUnwrittenIndex);
    }
  }
}

struct OddTableCase {
  const char* name;
  int n_nodes;
  std::vector<int> triples;
  std::vector<Row> rows;
};

// Tables no level produces, where the rule's corners show. Tables of
// distinct nodes, duplicates and shared corners are left to the random
// tables below.
TEST(FindVolumeNeighbours, OddTables) {
  const OddTableCase cases[] = {
      {"five volumes on one edge: the three lowest are kept", 7,
       {1, 2, 3, 2, 1, 4, 1, 2, 5, 2, 1, 6, 1, 2, 7},
       {{2, 3, 4}, {1, 3, 4}, {1, 2, 4}, {1, 2, 3}, {1, 2, 3}}},
      {"a repeated node counts twice", 4,
       {1, 1, 2, 1, 3, 4, 1, 1, 1, 2, 3, 4},
       // (1, 1, 2) and (1, 3, 4) share node 1 twice over; (1, 1, 1) matches
       // six and three times
       {{2, 0, 0}, {1, 4, 0}, {0, 0, 0}, {2, 0, 0}}},
      {"numbers outside 1..n_nodes are compared, never used as places", 3,
       {1, 2, 3, 2, 3, 0, 0, -5, 100},
       {{2, 0, 0}, {1, 0, 0}, {0, 0, 0}}},
  };
  for (const OddTableCase& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh = testing::mesh_with_volumes(c.triples, c.n_nodes);
    find_neighbours_in_any_table(mesh);
    ASSERT_EQ(mesh.n_volumes, static_cast<int>(c.rows.size()));
    testing::expect_rows(mesh.volume_neighbours, 1, c.rows);
    expect_same_as_literal(mesh);
  }
}

// Random tables over few nodes: many candidates per volume, duplicate
// triangles, counts of 1, 2, 3 and more. Half the trials hold three
// different nodes in every row, as the meshes do; the others repeat nodes
// within rows.
TEST(FindVolumeNeighbours, RandomTablesMatchTheLiteralRule) {
  std::mt19937 random(20240611);
  for (int trial = 0; trial < 400; ++trial) {
    const int n_nodes = 3 + trial % 9;
    const int n_volumes = trial % 40;
    const bool distinct_in_rows = trial % 2 == 0;
    std::uniform_int_distribution<int> node(1, n_nodes);
    std::vector<int> triples;
    for (int v = 0; v < n_volumes; ++v) {
      int a = node(random), b = node(random), c = node(random);
      while (distinct_in_rows && (a == b || b == c || a == c)) {
        a = node(random);
        b = node(random);
        c = node(random);
      }
      triples.insert(triples.end(), {a, b, c});
    }
    SCOPED_TRACE(trial);
    Mesh mesh = testing::mesh_with_volumes(triples, n_nodes);
    find_neighbours_in_any_table(mesh);
    expect_same_as_literal(mesh);
    if (HasFatalFailure()) return;
  }
}

// The search's scratch memory stays within a third of the four arrays at
// every accepted level.
TEST(FindVolumeNeighbours, ScratchIsAtMostAThirdOfTheArrays) {
  for (int level = kMinLevel; level <= kMaxLevel; ++level) {
    SCOPED_TRACE(level);
    const Mesh mesh = testing::counted_mesh(level, 1.0, 1.0);
    EXPECT_LE(3 * neighbour_search_scratch_bytes(mesh), mesh_array_bytes(mesh));
  }
}

}  // namespace
}  // namespace malha
