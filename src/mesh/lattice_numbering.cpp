#include "mesh/lattice_numbering.h"

#include <cassert>
#include <cstdint>

namespace malha {
namespace {

std::int32_t side_edges_of(MeshKind kind) { return kind == MeshKind::odd_lattice ? 2 : 1; }

// The lattice node at place i (0 .. boundary_edges) of the boundary,
// counted anticlockwise from the lower-left corner, which is place 0 and
// boundary_edges.
template <typename Int>
Int boundary_node(const LatticeOf<Int>& lattice, Int i) {
  const Int nx = lattice.nx;
  const Int side_x = nx - 1;
  const Int side_y = lattice.ny - 1;
  if (i < side_x) return 1 + i;                          // bottom, left to right
  i -= side_x;
  if (i < side_y) return (i + 1) * nx;                   // right side, upward
  i -= side_y;
  if (i < side_x) return nx * lattice.ny - i;            // top, right to left
  i -= side_x;
  if (i < side_y) return (side_y - i) * nx + 1;          // left side, downward
  return 1;
}

template <typename Int>
LatticeVolumeOf<Int> fictitious_of(const LatticeOf<Int>& lattice, Int e) {
  const Int w = lattice.side_edges;
  const Int fans_x = lattice.fans_x;
  const Int fans_y = lattice.fans_y;
  // Each side has an even number of edges in the fan pattern, so no
  // fictitious node serves two sides.
  const Int fict_node = lattice.n_real_nodes + (e - 1) / w + 1;

  // The real triangle across the edge: on the fan at that place of the
  // side, on the fan's side that lies on the boundary.
  const Int side_edges[4] = {lattice.nx - 1, lattice.ny - 1, lattice.nx - 1,
                                      lattice.ny - 1};
  int boundary_side = 0;
  Int along = e - 1;
  while (along >= side_edges[boundary_side]) along -= side_edges[boundary_side++];
  const Int fan_along = along / w;
  const Int place = along % w;
  Int r = 0;
  Int s = 0;
  switch (boundary_side) {
    case 0: r = 1; s = fan_along + 1; break;
    case 1: r = fan_along + 1; s = fans_x; break;
    case 2: r = fans_y; s = fans_x - fan_along; break;
    default: r = fans_y - fan_along; s = 1; break;
  }
  const Int real = 4 * w * ((r - 1) * fans_x + s - 1) + boundary_side * w + place + 1;

  LatticeVolumeOf<Int> volume{{fict_node, boundary_node(lattice, e), boundary_node(lattice, e - 1)},
                       {real, 0, 0}};
  // At odd levels the two volumes of one fictitious node meet each other.
  if (w == 2) {
    volume.neighbours[1] = lattice.n_real_volumes + (place == 0 ? e + 1 : e - 1);
  }
  return volume;
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

WideLattice wide_lattice(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern) {
  const LatticeCounts counts = lattice_counts(cells_x, cells_y, pattern);
  WideLattice lattice;
  lattice.nx = cells_x + 1;
  lattice.ny = cells_y + 1;
  lattice.side_edges = pattern == LatticePattern::fan ? 2 : 1;
  lattice.fans_x = cells_x / lattice.side_edges;
  lattice.fans_y = cells_y / lattice.side_edges;
  lattice.n_real_nodes = counts.n_real_nodes;
  lattice.n_real_volumes = counts.n_real_volumes;
  return lattice;
}

LatticeVolume fictitious_volume(const Lattice& lattice, std::int32_t e) {
  return fictitious_of(lattice, e);
}

WideLatticeVolume fictitious_volume(const WideLattice& lattice, std::int64_t e) {
  return fictitious_of(lattice, e);
}

}  // namespace malha
