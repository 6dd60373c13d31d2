#include "mesh/place_nodes.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_mesh.h"

namespace malha {
namespace {

struct Point {
  double x, y;
};

// All nodes of a level with lengths 2 and 1, where every coordinate is an
// exact binary fraction.
std::vector<Point> lattice(int per_side, double dx, double dy) {
  std::vector<Point> points;
  for (int j = 0; j < per_side; ++j) {
    for (int i = 0; i < per_side; ++i) points.push_back({i * dx, j * dy});
  }
  return points;
}

std::vector<Point> concat(std::vector<Point> head, const std::vector<Point>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

struct NodeTableCase {
  const char* name;
  int level;
  double dim_x, dim_y;
  std::vector<Point> nodes;  // rows 1 to n_nodes
};

TEST(PlaceNodes, WorkedNodeTables) {
  const std::vector<Point> level3_lattice = lattice(3, 1.0, 0.5);
  const NodeTableCase cases[] = {
      {"level 1, 2 by 1", 1, 2.0, 1.0,
       {{0, 0}, {2, 0}, {0, 1}, {2, 1}, {0, -1}, {4, 1}, {2, 2}, {-2, 0}}},
      {"level 2, 2 by 1", 2, 2.0, 1.0,
       {{0, 0}, {2, 0}, {0, 1}, {2, 1}, {1, 0.5}, {1, -0.5}, {3, 0.5}, {1, 1.5}, {-1, 0.5}}},
      {"level 3, 2 by 1", 3, 2.0, 1.0,
       concat(level3_lattice, {{1, -0.5}, {3, 0.5}, {1, 1.5}, {-1, 0.5}})},
      {"level 4, 2 by 1", 4, 2.0, 1.0,
       concat(level3_lattice, {{0.5, 0.25}, {1.5, 0.25}, {0.5, 0.75}, {1.5, 0.75},
                               {0.5, -0.25}, {1.5, -0.25}, {2.5, 0.25}, {2.5, 0.75},
                               {1.5, 1.25}, {0.5, 1.25}, {-0.5, 0.75}, {-0.5, 0.25}})},
      {"level 5, 2 by 1", 5, 2.0, 1.0,
       concat(lattice(5, 0.5, 0.25), {{0.5, -0.25}, {1.5, -0.25}, {2.5, 0.25}, {2.5, 0.75},
                                      {1.5, 1.25}, {0.5, 1.25}, {-0.5, 0.75}, {-0.5, 0.25}})},
  };
  for (const NodeTableCase& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh = testing::sized_mesh(c.level, c.dim_x, c.dim_y);
    place_nodes(mesh);
    ASSERT_EQ(mesh.n_nodes, static_cast<int>(c.nodes.size()));
    for (int n = 1; n <= mesh.n_nodes; ++n) {
      EXPECT_EQ(mesh.node_coords(n, 1), c.nodes[static_cast<std::size_t>(n - 1)].x) << "node " << n;
      EXPECT_EQ(mesh.node_coords(n, 2), c.nodes[static_cast<std::size_t>(n - 1)].y) << "node " << n;
    }
  }
}

// The order of operations shows in the last bit: (i - 1) times the spacing
// plus the offset, and the length itself plus the spacing on the right.
struct RoundingCase {
  const char* name;
  int level;
  int node;
  int column;  // 1 = x, 2 = y
  double expected;
  double other_order;  // what a different order of the same terms gives
};

TEST(PlaceNodes, OrderOfOperations) {
  const RoundingCase cases[] = {
      // level 3, 0.3 by 0.7: 0.3 + 0.15 (node 11 at dim_x + dx)
      {"level 3 right node x", 3, 11, 1, 0.44999999999999996, 0.45},
      // level 6, 0.3 by 0.3: 3 x dx + half_dx, not 7 x half_dx
      {"level 6 centre (4, 1) x", 6, 29, 1, 0.26249999999999996, 0.2625},
      {"level 6 bottom node 4 x", 6, 45, 1, 0.26249999999999996, 0.2625},
      {"level 6 right node 4 y", 6, 49, 2, 0.26249999999999996, 0.2625},
      // level 7, 0.3 by 0.3: 3 x two_dx + dx, not 7 x dx
      {"level 7 bottom node 4 x", 7, 85, 1, 0.26249999999999996, 0.2625},
  };
  for (const RoundingCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.expected, c.other_order);
    const double dim_y = c.level == 3 ? 0.7 : 0.3;
    Mesh mesh = testing::sized_mesh(c.level, 0.3, dim_y);
    place_nodes(mesh);
    EXPECT_EQ(mesh.node_coords(c.node, c.column), c.expected);
  }
}

}  // namespace
}  // namespace malha
