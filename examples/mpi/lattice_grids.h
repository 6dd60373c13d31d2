// The grids of the lattice multigrid (lattice_multigrid.h) and their
// numbering, computed from a lattice's partition alone: the fans, then each
// coarser grid, which part owns each cell, its global number, and the
// weights by which a cell takes its coarser grid's values. No PETSc here.
#pragma once

#include <malha/malha.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace lattice_multigrid {

// Cells along a side of a fan: 2 in the fan pattern, 1 in the crossed one.
inline std::int64_t fan_side(malha::LatticePattern pattern) {
  return pattern == malha::LatticePattern::fan ? 2 : 1;
}
// A fan's triangles, which come together in a part's owned volumes: 4 a
// side cell.
inline std::int64_t volumes_per_fan(malha::LatticePattern pattern) {
  return 4 * fan_side(pattern);
}

// One grid of cells, cut as the lattice is: block column c holds cells
// x_starts[c] to x_starts[c + 1] - 1 (0-based); rows alike. Part p, block
// (p % parts_x, p / parts_x), numbers its cells from offsets[p].
struct Grid {
  std::int64_t nx = 0;
  std::int64_t ny = 0;
  double hx = 0.0;  // a cell's width
  double hy = 0.0;  // a cell's height
  bool halved_x = true;  // halved from the finer grid along x (coarser sets it)
  bool halved_y = true;
  std::vector<std::int64_t> x_starts;
  std::vector<std::int64_t> y_starts;
  std::vector<std::int64_t> offsets;  // parts + 1
};

inline void number_parts(Grid& g) {
  const auto parts_x = static_cast<std::int64_t>(g.x_starts.size()) - 1;
  const auto parts_y = static_cast<std::int64_t>(g.y_starts.size()) - 1;
  g.offsets.assign(static_cast<std::size_t>(parts_x * parts_y + 1), 0);
  for (std::int64_t p = 0; p < parts_x * parts_y; ++p) {
    const auto c = static_cast<std::size_t>(p % parts_x);
    const auto r = static_cast<std::size_t>(p / parts_x);
    g.offsets[static_cast<std::size_t>(p) + 1] =
        g.offsets[static_cast<std::size_t>(p)] +
        (g.x_starts[c + 1] - g.x_starts[c]) * (g.y_starts[r + 1] - g.y_starts[r]);
  }
}

// The fans of a lattice of `dim_x` x `dim_y`, cut as `partition` cuts its
// cells.
inline Grid fan_grid(const malha::LatticePartition& partition, double dim_x, double dim_y) {
  const std::int64_t side = fan_side(partition.pattern);
  Grid g;
  g.nx = partition.cells_x / side;
  g.ny = partition.cells_y / side;
  g.hx = std::abs(dim_x) / static_cast<double>(g.nx);
  g.hy = std::abs(dim_y) / static_cast<double>(g.ny);
  for (std::int64_t s : partition.x_starts) g.x_starts.push_back(s / side);
  for (std::int64_t s : partition.y_starts) g.y_starts.push_back(s / side);
  number_parts(g);
  return g;
}

// The grid of `g`'s cells grouped in twos along each axis whose cells are
// not much wider than they are high in the other (semi-coarsening: a point
// sweep smooths only along strong couplings, so the coarse grid keeps the
// weak direction's cells); a part owns the groups whose first cell it owns.
inline Grid coarser(const Grid& g) {
  constexpr double kAspect = 1.5;
  Grid c = g;
  c.halved_x = g.nx > 1 && (g.hx <= kAspect * g.hy || g.ny == 1);
  c.halved_y = g.ny > 1 && (g.hy <= kAspect * g.hx || g.nx == 1);
  const auto halve = [](std::vector<std::int64_t>& starts) {
    for (std::int64_t& s : starts) s = (s + 1) / 2;
  };
  if (c.halved_x) {
    c.nx = (g.nx + 1) / 2;
    c.hx = 2 * g.hx;
    halve(c.x_starts);
  }
  if (c.halved_y) {
    c.ny = (g.ny + 1) / 2;
    c.hy = 2 * g.hy;
    halve(c.y_starts);
  }
  number_parts(c);
  return c;
}

// The global number of cell (i, j) of `g`.
inline std::int64_t global_cell(const Grid& g, std::int64_t i, std::int64_t j) {
  const auto block = [](const std::vector<std::int64_t>& starts, std::int64_t k) {
    return static_cast<std::int64_t>(std::upper_bound(starts.begin(), starts.end(), k) -
                                     starts.begin()) - 1;
  };
  const std::int64_t c = block(g.x_starts, i);
  const std::int64_t r = block(g.y_starts, j);
  const auto parts_x = static_cast<std::int64_t>(g.x_starts.size()) - 1;
  const std::int64_t width = g.x_starts[static_cast<std::size_t>(c) + 1] -
                             g.x_starts[static_cast<std::size_t>(c)];
  return g.offsets[static_cast<std::size_t>(r * parts_x + c)] +
         (j - g.y_starts[static_cast<std::size_t>(r)]) * width +
         (i - g.x_starts[static_cast<std::size_t>(c)]);
}

// Cell i of a row of n takes these parts of the coarser row's cells.
struct Weights {
  std::int64_t cells[2];
  double weights[2];
  int count;
};

inline Weights weights_along(std::int64_t i, std::int64_t n, bool halved) {
  if (!halved) return {{i, 0}, {1.0, 0.0}, 1};
  const std::int64_t parent = i / 2;
  const std::int64_t coarse = (n + 1) / 2;
  const std::int64_t other = i % 2 == 0 ? parent - 1 : parent + 1;
  const bool alone = 2 * parent + 1 >= n;  // the parent's only child
  if (alone || other < 0 || other >= coarse) return {{parent, 0}, {1.0, 0.0}, 1};
  return {{parent, other}, {0.75, 0.25}, 2};
}

}  // namespace lattice_multigrid
