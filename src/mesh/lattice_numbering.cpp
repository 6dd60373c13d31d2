#include "mesh/lattice_numbering.h"

#include <cassert>
#include <cstdint>

namespace malha {
namespace {

std::int32_t side_edges_of(MeshKind kind) { return kind == MeshKind::odd_lattice ? 2 : 1; }

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

}  // namespace

LatticeCounts lattice_counts(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern) {
  assert(cells_x >= 1 && cells_x <= kMaxLatticeCells && cells_y >= 1 &&
         cells_y <= kMaxLatticeCells);
  const bool fan = pattern == LatticePattern::fan;
  const std::int64_t cells = cells_x * cells_y;
  LatticeCounts counts;
  counts.n_real_volumes = (fan ? 2 : 4) * cells;
  counts.n_fict_volumes = 2 * (cells_x + cells_y);
  counts.n_volumes = counts.n_real_volumes + counts.n_fict_volumes;
  counts.n_real_nodes = (cells_x + 1) * (cells_y + 1) + (fan ? 0 : cells);
  // One fictitious node for each boundary edge, or in the fan pattern for
  // each pair of edges that a block has on the boundary.
  counts.n_fict_nodes = fan ? cells_x + cells_y : 2 * (cells_x + cells_y);
  counts.n_nodes = counts.n_real_nodes + counts.n_fict_nodes;
  return counts;
}

Lattice lattice_of(const Mesh& mesh, MeshKind kind) {
  assert(is_lattice(kind));
  Lattice lattice;
  lattice.nx = mesh.cells_x + 1;
  lattice.ny = mesh.cells_y + 1;
  lattice.side_edges = side_edges_of(kind);
  lattice.fans_x = mesh.cells_x / lattice.side_edges;
  lattice.fans_y = mesh.cells_y / lattice.side_edges;
  lattice.n_real_nodes = mesh.n_real_nodes;
  lattice.n_real_volumes = 4 * lattice.side_edges * lattice.fans_x * lattice.fans_y;
  return lattice;
}

bool lattice_counts_fit(const Mesh& mesh, MeshKind kind) {
  if (!is_lattice(kind)) return false;
  const std::int64_t w = side_edges_of(kind);
  const std::int64_t cx = mesh.cells_x;
  const std::int64_t cy = mesh.cells_y;
  if (cx < w || cy < w || cx > kMaxLatticeCells || cy > kMaxLatticeCells || cx % w != 0 ||
      cy % w != 0) {
    return false;
  }
  if (mesh.nodes_per_side != (cx == cy ? cx + 1 : 0)) return false;
  const LatticeCounts counts =
      lattice_counts(cx, cy, w == 2 ? LatticePattern::fan : LatticePattern::crossed);
  return mesh.n_real_nodes == counts.n_real_nodes && mesh.n_nodes == counts.n_nodes &&
         mesh.n_volumes == counts.n_volumes;
}

LatticeVolume fictitious_volume(const Lattice& lattice, std::int32_t e) {
  const std::int32_t w = lattice.side_edges;
  const std::int32_t fans_x = lattice.fans_x;
  const std::int32_t fans_y = lattice.fans_y;
  // Each side has an even number of edges in the fan pattern, so no
  // fictitious node serves two sides.
  const std::int32_t fict_node = lattice.n_real_nodes + (e - 1) / w + 1;

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
  const std::int32_t real = 4 * w * ((r - 1) * fans_x + s - 1) + boundary_side * w + place + 1;

  LatticeVolume volume{{fict_node, boundary_node(lattice, e), boundary_node(lattice, e - 1)},
                       {real, 0, 0}};
  // At odd levels the two volumes of one fictitious node meet each other.
  if (w == 2) {
    volume.neighbours[1] = lattice.n_real_volumes + (place == 0 ? e + 1 : e - 1);
  }
  return volume;
}

}  // namespace malha
