// The lattice multigrid's grids (examples/mpi/lattice_grids.h) against the
// partition they come from, for random lattices cut into 1 to 64 parts:
// every grid's numbering is one-to-one and part by part, each coarser cell
// belongs to the part of its first child, the interpolation weights are a
// convex mix of valid coarser cells, and the fans are numbered as the parts
// number their owned volumes, which the interpolation to the volumes
// relies on. Built by examples/mpi/ (the installed library and GoogleTest).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "../../examples/mpi/lattice_grids.h"

namespace {

using lattice_multigrid::Grid;

// Which part owns cell (i, j) of `g`, by its block.
std::int64_t owner(const Grid& g, std::int64_t i, std::int64_t j) {
  std::int64_t c = 0;
  std::int64_t r = 0;
  while (g.x_starts[static_cast<std::size_t>(c) + 1] <= i) ++c;
  while (g.y_starts[static_cast<std::size_t>(r) + 1] <= j) ++r;
  return r * (static_cast<std::int64_t>(g.x_starts.size()) - 1) + c;
}

void expect_numbered_by_parts(const Grid& g) {
  std::set<std::int64_t> numbers;
  for (std::int64_t j = 0; j < g.ny; ++j) {
    for (std::int64_t i = 0; i < g.nx; ++i) {
      const std::int64_t n = lattice_multigrid::global_cell(g, i, j);
      const auto p = static_cast<std::size_t>(owner(g, i, j));
      ASSERT_GE(n, g.offsets[p]);
      ASSERT_LT(n, g.offsets[p + 1]);
      numbers.insert(n);
    }
  }
  ASSERT_EQ(static_cast<std::int64_t>(numbers.size()), g.nx * g.ny);
  ASSERT_EQ(g.offsets.back(), g.nx * g.ny);
}

void expect_weights_into(std::int64_t n, std::int64_t coarse_n, bool halved) {
  for (std::int64_t i = 0; i < n; ++i) {
    const auto w = lattice_multigrid::weights_along(i, n, halved);
    double sum = 0.0;
    for (int k = 0; k < w.count; ++k) {
      ASSERT_GE(w.cells[k], 0);
      ASSERT_LT(w.cells[k], coarse_n);
      sum += w.weights[k];
    }
    ASSERT_EQ(sum, 1.0);
    ASSERT_EQ(w.cells[0], halved ? i / 2 : i);  // the parent carries the most
  }
}

TEST(LatticeGrids, EveryGridIsNumberedByPartsAndCoarsensIntoItsParents) {
  std::mt19937_64 random(20261210);
  for (int trial = 0; trial < 300; ++trial) {
    const bool fan = trial % 2 == 1;
    const auto pattern = fan ? malha::LatticePattern::fan : malha::LatticePattern::crossed;
    std::uniform_int_distribution<std::int64_t> cells(1, fan ? 150 : 300);
    const std::int64_t cells_x = cells(random) * (fan ? 2 : 1);
    const std::int64_t cells_y = cells(random) * (fan ? 2 : 1);
    const std::int64_t blocks = fan ? cells_x * cells_y / 4 : cells_x * cells_y;
    const auto parts = static_cast<std::int32_t>(
        std::uniform_int_distribution<std::int64_t>(1, std::min<std::int64_t>(64, blocks))(random));
    malha::LatticePartition partition;
    try {
      partition = malha::partition_lattice(cells_x, cells_y, pattern, parts);
    } catch (const malha::Error&) {
      continue;  // no grid of blocks gives every part a cell
    }
    const double dim_y = std::uniform_real_distribution<double>(0.1, 10.0)(random);
    SCOPED_TRACE(testing::Message() << cells_x << " x " << cells_y << (fan ? " fan" : " crossed")
                                    << ", " << parts << " parts, 1 x " << dim_y);

    Grid g = lattice_multigrid::fan_grid(partition, 1.0, dim_y);
    const std::int64_t per_fan = lattice_multigrid::volumes_per_fan(pattern);
    for (std::int32_t p = 0; p <= parts; ++p) {
      ASSERT_EQ(g.offsets[static_cast<std::size_t>(p)] * per_fan,
                malha::owned_offset(partition, p));
    }
    for (;;) {
      expect_numbered_by_parts(g);
      if (g.nx * g.ny == 1) break;
      const Grid c = lattice_multigrid::coarser(g);
      ASSERT_LT(c.nx * c.ny, g.nx * g.ny);
      expect_weights_into(g.nx, c.nx, c.halved_x);
      expect_weights_into(g.ny, c.ny, c.halved_y);
      for (std::int64_t j = 0; j < c.ny; ++j) {
        for (std::int64_t i = 0; i < c.nx; ++i) {
          ASSERT_EQ(owner(c, i, j),
                    owner(g, c.halved_x ? 2 * i : i, c.halved_y ? 2 * j : j));
        }
      }
      g = c;
    }
  }
}

}  // namespace
