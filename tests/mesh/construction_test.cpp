// The four construction steps together: properties of the finished mesh at
// many levels and lengths, and floating-point faults in whole runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/place_nodes.h"
#include "support/dialogue.h"
#include "support/run_malha.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

struct Lengths {
  const char* name;
  double dim_x, dim_y;
};

constexpr Lengths kLengths[] = {
    {"unit square", 1.0, 1.0},
    {"2 by 1", 2.0, 1.0},
    {"0.3 by 0.7", 0.3, 0.7},
    {"0.001 by 250", 0.001, 250.0},
};

constexpr int kLastLevel = 14;

double signed_area(const Mesh& mesh, int v) {
  const double* a = mesh.node_coords.row(mesh.volume_nodes(v, 1));
  const double* b = mesh.node_coords.row(mesh.volume_nodes(v, 2));
  const double* c = mesh.node_coords.row(mesh.volume_nodes(v, 3));
  return ((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1])) / 2;
}

bool in_closed_rectangle(const Mesh& mesh, double x, double y) {
  return x >= 0 && x <= mesh.dim_x && y >= 0 && y <= mesh.dim_y;
}
bool in_open_rectangle(const Mesh& mesh, double x, double y) {
  return x > 0 && x < mesh.dim_x && y > 0 && y < mesh.dim_y;
}

void check_every_row_written(const Mesh& mesh) {
  for (int n = 1; n <= mesh.n_nodes; ++n) {
    ASSERT_FALSE(testing::is_unwritten(mesh.node_coords(n, 1))) << "node " << n;
    ASSERT_FALSE(testing::is_unwritten(mesh.node_coords(n, 2))) << "node " << n;
  }
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    for (int c = 1; c <= 3; ++c) {
      ASSERT_NE(mesh.volume_nodes(v, c), testing::kUnwrittenIndex) << "volume " << v;
      ASSERT_NE(mesh.volume_neighbours(v, c), testing::kUnwrittenIndex) << "volume " << v;
    }
    ASSERT_FALSE(testing::is_unwritten(mesh.barycentres(v, 1))) << "volume " << v;
    ASSERT_FALSE(testing::is_unwritten(mesh.barycentres(v, 2))) << "volume " << v;
  }
}

void check_nodes(const Mesh& mesh) {
  std::set<std::pair<double, double>> distinct;
  for (int n = 1; n <= mesh.n_nodes; ++n) {
    const double x = mesh.node_coords(n, 1);
    const double y = mesh.node_coords(n, 2);
    distinct.insert({x, y});
    if (n <= mesh.n_real_nodes) {
      ASSERT_TRUE(in_closed_rectangle(mesh, x, y)) << "real node " << n;
    } else {
      ASSERT_FALSE(in_closed_rectangle(mesh, x, y)) << "fictitious node " << n;
    }
  }
  EXPECT_EQ(static_cast<int>(distinct.size()), mesh.n_nodes) << "two nodes at one place";
  // The lattice ends exactly on the right and top sides.
  const int n = mesh.nodes_per_side;
  for (int row = 1; row <= n; ++row) EXPECT_EQ(mesh.node_coords(row * n, 1), mesh.dim_x);
  for (int column = 1; column <= n; ++column) {
    EXPECT_EQ(mesh.node_coords((n - 1) * n + column, 2), mesh.dim_y);
  }
}

void check_volumes(const Mesh& mesh) {
  std::vector<int> uses(static_cast<std::size_t>(mesh.n_nodes) + 1, 0);
  std::vector<std::vector<int>> fict_node_volumes(static_cast<std::size_t>(mesh.n_nodes) + 1);
  double real_area = 0;
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    const bool is_real = v <= mesh.n_real_volumes;
    for (int c = 1; c <= 3; ++c) {
      const int node = mesh.volume_nodes(v, c);
      ASSERT_GE(node, 1) << "volume " << v;
      ASSERT_LE(node, mesh.n_nodes) << "volume " << v;
      // Real volumes hold real nodes only; a fictitious one holds its
      // fictitious node first, then two real nodes.
      const bool expect_real_node = is_real || c > 1;
      ASSERT_EQ(node <= mesh.n_real_nodes, expect_real_node) << "volume " << v << " column " << c;
      ++uses[static_cast<std::size_t>(node)];
    }
    if (!is_real) fict_node_volumes[static_cast<std::size_t>(mesh.volume_nodes(v, 1))].push_back(v);
    const double area = signed_area(mesh, v);
    ASSERT_GT(area, 0) << "volume " << v << " is not anticlockwise";
    if (is_real) real_area += area;
  }
  for (int node = 1; node <= mesh.n_nodes; ++node) {
    ASSERT_GT(uses[static_cast<std::size_t>(node)], 0) << "node " << node << " unused";
  }
  EXPECT_NEAR(real_area, mesh.dim_x * mesh.dim_y, 1e-12 * mesh.dim_x * mesh.dim_y);

  // Each fictitious node apexes two consecutive volumes at odd lattice
  // levels, one volume otherwise.
  const bool pairs = mesh.level >= 3 && mesh.level % 2 == 1;
  for (int node = mesh.n_real_nodes + 1; node <= mesh.n_nodes; ++node) {
    const std::vector<int>& volumes = fict_node_volumes[static_cast<std::size_t>(node)];
    ASSERT_EQ(volumes.size(), pairs ? 2u : 1u) << "fictitious node " << node;
    if (pairs) {
      ASSERT_EQ(volumes[1], volumes[0] + 1) << "fictitious node " << node;
    }
  }
}

// Interior edges once in each direction among the real volumes; each
// boundary edge once, with its reverse in exactly one fictitious volume, and
// on one side of the rectangle.
void check_edges(const Mesh& mesh) {
  std::map<std::pair<int, int>, int> real_edges;
  std::map<std::pair<int, int>, int> fict_edges;
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    if (v <= mesh.n_real_volumes) {
      for (int c = 1; c <= 3; ++c) {
        ++real_edges[{mesh.volume_nodes(v, c), mesh.volume_nodes(v, c % 3 + 1)}];
      }
    } else {
      ++fict_edges[{mesh.volume_nodes(v, 2), mesh.volume_nodes(v, 3)}];
    }
  }
  int boundary = 0;
  for (const auto& [edge, count] : real_edges) {
    ASSERT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second;
    const std::pair<int, int> reverse{edge.second, edge.first};
    if (real_edges.count(reverse) != 0) {
      ASSERT_EQ(fict_edges.count(reverse), 0u) << "interior edge with a fictitious volume";
      continue;
    }
    ++boundary;
    ASSERT_EQ(fict_edges.count(reverse), 1u) << "boundary edge " << edge.first << "-" << edge.second;
    ASSERT_EQ(fict_edges.at(reverse), 1);
    const double* a = mesh.node_coords.row(edge.first);
    const double* b = mesh.node_coords.row(edge.second);
    const bool on_side = (a[0] == b[0] && (a[0] == 0 || a[0] == mesh.dim_x)) ||
                         (a[1] == b[1] && (a[1] == 0 || a[1] == mesh.dim_y));
    ASSERT_TRUE(on_side) << "boundary edge " << edge.first << "-" << edge.second;
  }
  EXPECT_EQ(boundary, mesh.n_fict_volumes);
  EXPECT_EQ(static_cast<int>(fict_edges.size()), mesh.n_fict_volumes);
}

void check_neighbours(const Mesh& mesh) {
  const bool odd_lattice = mesh.level >= 3 && mesh.level % 2 == 1;
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    int count = 0;
    for (int c = 1; c <= 3; ++c) {
      const int w = mesh.volume_neighbours(v, c);
      if (w == 0) continue;
      ++count;
      const int* back = mesh.volume_neighbours.row(w);
      ASSERT_TRUE(back[0] == v || back[1] == v || back[2] == v) << v << " -> " << w << " only";
    }
    if (v <= mesh.n_real_volumes) {
      ASSERT_EQ(count, 3) << "real volume " << v;
    } else {
      ASSERT_EQ(count, odd_lattice ? 2 : 1) << "fictitious volume " << v;
      ASSERT_LE(mesh.volume_neighbours(v, 1), mesh.n_real_volumes) << "volume " << v;
      if (odd_lattice) {
        ASSERT_GT(mesh.volume_neighbours(v, 2), mesh.n_real_volumes) << "volume " << v;
      }
    }
  }
}

void check_barycentres(const Mesh& mesh) {
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    const double x = mesh.barycentres(v, 1);
    const double y = mesh.barycentres(v, 2);
    if (v <= mesh.n_real_volumes) {
      ASSERT_TRUE(in_open_rectangle(mesh, x, y)) << "real volume " << v;
    } else {
      ASSERT_FALSE(in_closed_rectangle(mesh, x, y)) << "fictitious volume " << v;
    }
  }
}

TEST(Construction, PropertiesAtLevels1To14) {
  for (const Lengths& lengths : kLengths) {
    for (int level = 1; level <= kLastLevel; ++level) {
      SCOPED_TRACE(::testing::Message() << lengths.name << ", level " << level);
      const Mesh mesh = testing::built_mesh(level, lengths.dim_x, lengths.dim_y);
      check_every_row_written(mesh);
      check_nodes(mesh);
      check_volumes(mesh);
      check_edges(mesh);
      check_neighbours(mesh);
      check_barycentres(mesh);
      if (HasFatalFailure()) return;
    }
  }
}

// Whole runs: a floating-point fault in the construction ends the run with
// the MATH report, while a large sum inside a barycentre is no fault.
TEST(Construction, RunsWithLengthsNearTheLargestDouble) {
  struct Case {
    const char* name;
    const char* input;
    int exit_status;
    std::string err;
  };
  const Case cases[] = {
      // Level 1 places node 6 at 2 x dx.
      {"level 1, node beyond the largest double", "1\n1e308\n1\n0\n", 1,
       testing::error_report("M3003", "MATH", "floating-point error: overflow")},
      // Level 3 places nothing beyond 1.5e308; the right and top volumes sum
      // two nodes at 1e308 and one at 1.5e308.
      {"level 3, large sums in barycentres", "3\n1e308\n1e308\n0\n", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const testing::RunResult result = testing::run_malha(dir.path(), c.input);
    EXPECT_EQ(result.exit_status, c.exit_status);
    EXPECT_EQ(result.err, c.err);
  }
}

}  // namespace
}  // namespace malha
