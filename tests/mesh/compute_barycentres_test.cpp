#include "mesh/compute_barycentres.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

#include "mesh/define_volumes.h"
#include "mesh/place_nodes.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

Mesh placed_and_defined(int level, double dim_x, double dim_y) {
  Mesh mesh = testing::sized_mesh(level, dim_x, dim_y);
  place_nodes(mesh);
  define_volumes(mesh);
  return mesh;
}

TEST(ComputeBarycentres, Level1UnitSquare) {
  const double third = 1.0 / 3.0;
  const double two_thirds = 2.0 / 3.0;
  const double four_thirds = 4.0 / 3.0;
  const double expected[6][2] = {{third, third},       {two_thirds, two_thirds},
                                 {third, -third},      {four_thirds, two_thirds},
                                 {two_thirds, four_thirds}, {-third, third}};
  Mesh mesh = placed_and_defined(1, 1.0, 1.0);
  compute_barycentres(mesh);
  for (int v = 1; v <= 6; ++v) {
    EXPECT_EQ(mesh.barycentres(v, 1), expected[v - 1][0]) << "volume " << v;
    EXPECT_EQ(mesh.barycentres(v, 2), expected[v - 1][1]) << "volume " << v;
  }
}

// x is summed C + B + A and y A + B + C; the other order changes the last
// bit in these two volumes of level 3 with lengths 0.3 and 0.7.
struct OrderCase {
  const char* name;
  int volume;
  int column;
  double expected;
  double other_order;
};

TEST(ComputeBarycentres, SummationOrder) {
  const OrderCase cases[] = {
      {"x of volume 11", 11, 1, 0.3499999999999999, 0.35000000000000003},
      {"y of volume 5", 5, 2, 0.5833333333333333, 0.5833333333333334},
  };
  Mesh mesh = placed_and_defined(3, 0.3, 0.7);
  compute_barycentres(mesh);
  for (const OrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NE(c.expected, c.other_order);
    EXPECT_EQ(mesh.barycentres(c.volume, c.column), c.expected);
  }
}

// ((a + b) + c) / 3 in plain double arithmetic; infinite when a partial sum
// overflows (the traps are off in the tests).
double plain_mean(double a, double b, double c) { return ((a + b) + c) / 3.0; }

// A value whose scaling by 1/8 and back is exact.
bool scales_exactly(double v) { return (v / 8) * 8 == v; }

double random_coordinate(std::mt19937_64& random) {
  std::uniform_real_distribution<double> unit(1.0, 2.0);
  const double sign = random() % 2 == 0 ? 1.0 : -1.0;
  switch (random() % 7) {
    case 0: return sign * DBL_MAX;
    case 1: return sign * std::ldexp(unit(random), 1021 + static_cast<int>(random() % 2));
    case 2: return sign * std::ldexp(unit(random), 990 + static_cast<int>(random() % 31));
    case 3: return sign * unit(random);
    case 4: return sign * std::ldexp(unit(random), -1022 + static_cast<int>(random() % 4));
    case 5: return sign * std::ldexp(unit(random), -1074 + static_cast<int>(random() % 52));
    default: return 0.0;
  }
}

// Sums near and beyond the largest double, tiny and subnormal terms, exact
// cancellation of large terms. Where plain arithmetic does not overflow the
// result must be its bits; where it does, the bits of the same sum taken on
// the values divided by 8 and multiplied back.
TEST(ComputeBarycentres, SweepOfLargeAndTinyCoordinates) {
  std::mt19937_64 random(7);
  constexpr int kVolumes = 20000;
  std::vector<double> coordinates;
  std::vector<int> triples;
  for (int v = 0; v < kVolumes; ++v) {
    for (int k = 0; k < 3; ++k) triples.push_back(3 * v + k + 1);
    for (int k = 0; k < 6; ++k) coordinates.push_back(random_coordinate(random));
  }
  // Volume 1: exact cancellation of the first two terms, then a subnormal
  // third (x sums nodes 3, 2, 1; y sums 1, 2, 3).
  coordinates[4] = 0x1p1023;
  coordinates[2] = -0x1p1023;
  coordinates[0] = 3 * 0x1p-1074;
  coordinates[1] = -DBL_MAX;
  coordinates[3] = DBL_MAX;
  coordinates[5] = -3 * 0x1p-1074;
  Mesh mesh = testing::mesh_with_volumes(triples, 3 * kVolumes);
  mesh.node_coords.allocate(mesh.n_nodes);
  mesh.barycentres.allocate(mesh.n_volumes);
  for (int n = 1; n <= mesh.n_nodes; ++n) {
    mesh.node_coords(n, 1) = coordinates[static_cast<std::size_t>(2 * (n - 1))];
    mesh.node_coords(n, 2) = coordinates[static_cast<std::size_t>(2 * (n - 1) + 1)];
  }
  compute_barycentres(mesh);

  int overflowing = 0;
  for (int v = 1; v <= mesh.n_volumes; ++v) {
    for (int column = 1; column <= 2; ++column) {
      // x sums nodes C, B, A; y sums A, B, C.
      const int first = column == 1 ? 3 : 1;
      const double p = mesh.node_coords(3 * (v - 1) + first, column);
      const double q = mesh.node_coords(3 * (v - 1) + 2, column);
      const double r = mesh.node_coords(3 * (v - 1) + 4 - first, column);
      const double plain = plain_mean(p, q, r);
      const double sum = p + q;
      const double actual = mesh.barycentres(v, column);
      if (std::isfinite(sum) && std::isfinite(sum + r)) {
        ASSERT_EQ(actual, plain) << "volume " << v << " column " << column << ": " << p << " "
                                 << q << " " << r;
      } else if (scales_exactly(p) && scales_exactly(q) && scales_exactly(r)) {
        ++overflowing;
        ASSERT_EQ(actual, plain_mean(p / 8, q / 8, r / 8) * 8)
            << "volume " << v << " column " << column << ": " << p << " " << q << " " << r;
      }
    }
  }
  EXPECT_EQ(mesh.barycentres(1, 1), 0x1p-1074);
  EXPECT_EQ(mesh.barycentres(1, 2), -0x1p-1074);
  EXPECT_GT(overflowing, 1000);
}

}  // namespace
}  // namespace malha
