#include "mesh/lattice.h"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "mesh/mesh_kind.h"
#include "system/run_error.h"

namespace malha {
namespace {

// The lattice node at place i (0 .. boundary_edges) of the boundary,
// counted anticlockwise from the lower-left corner, which is place 0 and
// boundary_edges.
std::int32_t boundary_node(const Lattice& lattice, std::int32_t i) {
  const std::int32_t nx = lattice.nx;
  const std::int32_t side_x = nx - 1;
  const std::int32_t side_y = lattice.ny - 1;
  if (i < side_x) return 1 + i;                          // bottom, left to right
  i -= side_x;
  if (i < side_y) return (i + 1) * nx;                   // right side, upward
  i -= side_y;
  if (i < side_x) return nx * lattice.ny - i;            // top, right to left
  i -= side_x;
  if (i < side_y) return (side_y - i) * nx + 1;          // left side, downward
  return 1;
}

// The whole square root of `value`, or -1 when it has none.
std::int64_t exact_root(std::int64_t value) {
  if (value < 0) return -1;
  auto root = static_cast<std::int64_t>(std::sqrt(static_cast<double>(value)));
  while (root * root > value) --root;
  while ((root + 1) * (root + 1) <= value) ++root;
  return root * root == value ? root : -1;
}

}  // namespace

void check_level(std::int32_t level) {
  if (level < kMinLevel || level > kMaxLevel) fail_level(level, kMinLevel, kMaxLevel);
}

LatticeShape level_lattice(std::int32_t level) {
  if (level < 2 || level > kMaxLevel) return {};
  // Level 2k + 2: crossed, 2^k cells a side; level 2k + 1: fan, 2^k.
  const bool fan = level % 2 != 0;
  const std::int32_t cells = std::int32_t{1} << (fan ? level / 2 : level / 2 - 1);
  return {cells, cells, fan ? LatticePattern::fan : LatticePattern::crossed};
}

std::int32_t lattice_level(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern) {
  if (cells_x != cells_y || cells_x < 1 || (cells_x & (cells_x - 1)) != 0) return 0;
  std::int32_t k = 0;
  while ((std::int64_t{1} << k) < cells_x) ++k;
  const std::int32_t level = pattern == LatticePattern::crossed ? 2 * k + 2 : 2 * k + 1;
  return level >= 2 && level <= kMaxLevel ? level : 0;
}

LatticeCounts lattice_counts(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern) {
  assert(cells_x >= 1 && cells_x <= kMaxLatticeCells && cells_y >= 1 &&
         cells_y <= kMaxLatticeCells);
  const bool fan = pattern == LatticePattern::fan;  // no centre nodes
  const std::int64_t cells = cells_x * cells_y;
  LatticeCounts counts;
  counts.n_real_volumes = real_volumes_per_cell(pattern) * cells;
  counts.n_fict_volumes = boundary_edge_count(cells_x, cells_y);
  counts.n_volumes = counts.n_real_volumes + counts.n_fict_volumes;
  counts.n_real_nodes =
      lattice_nodes_along(cells_x) * lattice_nodes_along(cells_y) + (fan ? 0 : cells);
  // One fictitious node for each boundary edge, or in the fan pattern for
  // each pair of edges that a block has on the boundary.
  counts.n_fict_nodes = boundary_edge_count(cells_x, cells_y) / fan_side_edges(pattern);
  counts.n_nodes = counts.n_real_nodes + counts.n_fict_nodes;
  return counts;
}

LatticeSides lattice_sides(std::int64_t n_real_volumes, std::int64_t n_fict_volumes,
                           LatticePattern pattern) {
  // 2 (cells_x + cells_y) fictitious volumes and 4 or 2 real volumes a cell
  // give the sum and the product of the sides, and the sides as the roots
  // of t^2 - sum t + product.
  if (n_fict_volumes < 0 || n_fict_volumes % 2 != 0) return {};
  const std::int64_t sum = n_fict_volumes / 2;
  const std::int64_t per_cell = real_volumes_per_cell(pattern);
  if (n_real_volumes < 0 || n_real_volumes % per_cell != 0) return {};
  const std::int64_t product = n_real_volumes / per_cell;
  const std::int64_t root = exact_root(sum * sum - 4 * product);
  if (root < 0 || (sum - root) % 2 != 0) return {};
  const std::int64_t a = (sum - root) / 2;
  const std::int64_t b = (sum + root) / 2;
  const std::int64_t w = fan_side_edges(pattern);
  if (a < w || a % w != 0 || b % w != 0 || b > kMaxLatticeCells) return {};
  return {a, b};
}

LatticeSideFigures lattice_side_figures(std::int32_t cells_x, std::int32_t cells_y,
                                        LatticePattern pattern) {
  if (cells_x != cells_y || cells_x < 2) return {};
  const LatticeCounts counts = lattice_counts(cells_x, cells_y, pattern);
  const bool fan = pattern == LatticePattern::fan;
  return {lattice_nodes_along(cells_x), fan ? 0 : cells_x,
          static_cast<std::int32_t>(counts.n_fict_nodes / 4)};
}

bool lattice_counts_fit(const Mesh& mesh, MeshKind kind) {
  if (kind != MeshKind::fan && kind != MeshKind::crossed) return false;
  const LatticePattern pattern = kind == MeshKind::fan ? LatticePattern::fan : LatticePattern::crossed;
  const std::int64_t w = fan_side_edges(pattern);
  const std::int64_t cx = mesh.cells_x;
  const std::int64_t cy = mesh.cells_y;
  if (cx < w || cy < w || cx > kMaxLatticeCells || cy > kMaxLatticeCells || cx % w != 0 ||
      cy % w != 0) {
    return false;
  }
  if (mesh.nodes_per_side != lattice_side_figures(mesh.cells_x, mesh.cells_y, pattern).nodes_per_side) {
    return false;
  }
  const LatticeCounts counts = lattice_counts(cx, cy, pattern);
  return mesh.n_real_nodes == counts.n_real_nodes && mesh.n_nodes == counts.n_nodes &&
         mesh.n_volumes == counts.n_volumes;
}

BoundaryRun boundary_run(std::int32_t cells_x, std::int32_t cells_y, int side) {
  assert(side >= 0 && side < 4);
  const std::int32_t counts[4] = {cells_x, cells_y, cells_x, cells_y};
  BoundaryRun run{1, counts[side]};
  for (int earlier = 0; earlier < side; ++earlier) run.first += counts[earlier];
  return run;
}

Lattice lattice_of(std::int32_t cells_x, std::int32_t cells_y, LatticePattern pattern) {
  Lattice lattice;
  lattice.nx = lattice_nodes_along(cells_x);
  lattice.ny = lattice_nodes_along(cells_y);
  lattice.side_edges = fan_side_edges(pattern);
  lattice.fans_x = cells_x / lattice.side_edges;
  lattice.fans_y = cells_y / lattice.side_edges;
  const LatticeCounts counts = lattice_counts(cells_x, cells_y, pattern);
  lattice.n_real_nodes = static_cast<std::int32_t>(counts.n_real_nodes);
  lattice.n_real_volumes = static_cast<std::int32_t>(counts.n_real_volumes);
  return lattice;
}

Lattice lattice_of(const Mesh& mesh) { return lattice_of(mesh.cells_x, mesh.cells_y, mesh.pattern); }

LatticeVolume fan_volume(const Lattice& lattice, std::int32_t r, std::int32_t s, std::int32_t k) {
  LatticeVolume found{};
  const auto keep = [&](std::int32_t j, const LatticeVolume& volume) {
    if (j == k) found = volume;
  };
  if (lattice.side_edges == 2) {
    detail::each_fan_volume<2>(lattice, r, s, keep);
  } else {
    detail::each_fan_volume<1>(lattice, r, s, keep);
  }
  return found;
}

LatticeVolume fictitious_volume(const Lattice& lattice, std::int32_t e) {
  const std::int32_t w = lattice.side_edges;
  const std::int32_t fans_x = lattice.fans_x;
  const std::int32_t fans_y = lattice.fans_y;
  // Each side has an even number of edges in the fan pattern, so no
  // fictitious node serves two sides.
  const std::int32_t fict_node = fictitious_node(lattice, e);

  // The real triangle across the edge: on the fan at that place of the
  // side, on the fan's side that lies on the boundary.
  const std::int32_t side_edges[4] = {lattice.nx - 1, lattice.ny - 1, lattice.nx - 1,
                                      lattice.ny - 1};
  int boundary_side = 0;
  std::int32_t along = e - 1;
  while (along >= side_edges[boundary_side]) along -= side_edges[boundary_side++];
  const std::int32_t fan_along = along / w;
  const std::int32_t place = along % w;
  std::int32_t r = 0;
  std::int32_t s = 0;
  switch (boundary_side) {
    case 0: r = 1; s = fan_along + 1; break;
    case 1: r = fan_along + 1; s = fans_x; break;
    case 2: r = fans_y; s = fans_x - fan_along; break;
    default: r = fans_y - fan_along; s = 1; break;
  }
  const std::int32_t real = fan_volume_number(lattice, r, s, boundary_side * w + place + 1);

  LatticeVolume volume{{fict_node, boundary_node(lattice, e), boundary_node(lattice, e - 1)},
                       {real, 0, 0}};
  // In the fan pattern the two volumes of one fictitious node meet each
  // other.
  if (w == 2) {
    volume.neighbours[1] = lattice.n_real_volumes + (place == 0 ? e + 1 : e - 1);
  }
  return volume;
}

}  // namespace malha
