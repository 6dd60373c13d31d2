#pragma once
// The numbering of the lattice meshes, written once: for every volume its
// three nodes and its three neighbours. define_volumes takes the nodes,
// find_volume_neighbours the neighbours. The levels from 3 on are the
// square lattices of this numbering.
//
// The real mesh is a rectangle of fans: in the fan pattern a fan is a block
// of 2 x 2 cells around its middle lattice node, in the crossed pattern one
// cell around its centre node. The lattice nodes are numbered row by row
// from the bottom, x fastest, `nx` to a row; the crossed pattern's centre
// nodes follow in the same order. A fan's ring of corner nodes runs
// anticlockwise from its bottom-left corner with `side_edges` edges per side
// (2 or 1), and triangle k (k = 0 .. 4 x side_edges - 1) of the fan is
// (centre, ring k, ring k + 1); fans are numbered row by row from the bottom
// left, their triangles in a row. The boundary edges are numbered
// 1 .. 2 (cells_x + cells_y) anticlockwise from the lower-left corner;
// fictitious volume e lies on edge e, lists its fictitious node and the
// edge's two ends in the reverse of the boundary's order, and takes the
// number `n_real_volumes` + e. A fictitious node serves `side_edges`
// consecutive edges.
//
// Integer bookkeeping for counts as sizing gives them (lattice_counts_fit);
// nothing here throws.

#include <algorithm>
#include <cstdint>

#include "mesh/mesh.h"
#include "mesh/mesh_kind.h"

namespace malha {

// The figures of the numbering, in 32 bits for a whole mesh's tables
// (Lattice) or in 64 for the global numbers of a lattice's parts
// (WideLattice), whose whole lattice may pass 32 bits.
template <typename Int>
struct LatticeOf {
  Int nx = 0;              // lattice nodes in a row: cells_x + 1
  Int ny = 0;              // lattice nodes in a column: cells_y + 1
  Int side_edges = 0;      // edges on one side of a fan: 2 (fan), 1 (crossed)
  Int fans_x = 0;          // fans along x: cells_x / side_edges
  Int fans_y = 0;          // fans along y: cells_y / side_edges
  Int n_real_nodes = 0;    // the fictitious nodes follow
  Int n_real_volumes = 0;  // 4 x side_edges x fans_x x fans_y; the fictitious follow
};
using Lattice = LatticeOf<std::int32_t>;
using WideLattice = LatticeOf<std::int64_t>;

// One row of both tables: the volume's nodes and its neighbours (ascending,
// 0 for none), as define_volumes and find_volume_neighbours store them.
template <typename Int>
struct LatticeVolumeOf {
  Int nodes[3];
  Int neighbours[3];
};
using LatticeVolume = LatticeVolumeOf<std::int32_t>;
using WideLatticeVolume = LatticeVolumeOf<std::int64_t>;

// The counts of a lattice of `cells_x` x `cells_y` cells in `pattern`, in 64
// bits, for cells from 1 to kMaxLatticeCells (the fan pattern's even).
struct LatticeCounts {
  std::int64_t n_real_volumes = 0;
  std::int64_t n_fict_volumes = 0;
  std::int64_t n_volumes = 0;
  std::int64_t n_real_nodes = 0;
  std::int64_t n_fict_nodes = 0;
  std::int64_t n_nodes = 0;
};

// Past this many cells along one side the fictitious volumes alone would
// not fit 32 bits; below it every count above fits 64.
inline constexpr std::int64_t kMaxLatticeCells = std::int64_t{1} << 30;

LatticeCounts lattice_counts(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern);

// The lattice of an odd or even lattice kind, from `cells_x`, `cells_y` and
// `n_real_nodes` as sizing sets them.
Lattice lattice_of(const Mesh& mesh, MeshKind kind);

// Whether the counts of `mesh` are those the lattice numbering of `kind`
// gives its cells (as sizing sets them), so that every node and volume
// number it yields lies in 1..`n_nodes` and 1..`n_volumes`; a square
// lattice's `nodes_per_side` must be its cells + 1, another's 0.
bool lattice_counts_fit(const Mesh& mesh, MeshKind kind);

// The same figures in 64 bits, for the whole lattice of `cells_x` x
// `cells_y` cells in `pattern` (cells as lattice_counts takes them).
WideLattice wide_lattice(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern);

// The boundary edges, 2 (cells_x + cells_y).
template <typename Int>
Int boundary_edges(const LatticeOf<Int>& lattice) {
  return 2 * (lattice.nx - 1 + lattice.ny - 1);
}

// Fictitious volume e, 1 .. boundary_edges.
LatticeVolume fictitious_volume(const Lattice& lattice, std::int32_t e);
WideLatticeVolume fictitious_volume(const WideLattice& lattice, std::int64_t e);

namespace detail {

// The triangles of fan (r, s) (row r, column s, from 1), each as
// `visit(v, volume)` with v its number, in ascending order.
template <int SideEdges, typename Int, typename Visit>
void visit_fan(const LatticeOf<Int>& lattice, Int r, Int s, Visit& visit) {
  constexpr int kRing = 4 * SideEdges;
  const Int nx = lattice.nx;
  const Int fans_x = lattice.fans_x;
  const Int fans_y = lattice.fans_y;
  const Int side_x = nx - 1;  // boundary edges along the bottom and the top
  const Int side_y = lattice.ny - 1;  // along the right and the left side
  const Int first_fict = lattice.n_real_volumes;
  // Along the ring: right along the bottom, up the right side, left along
  // the top, down the left side.
  const Int step[4] = {1, nx, -1, -nx};
  Int ring[kRing + 1];
  ring[0] = SideEdges * (r - 1) * nx + SideEdges * (s - 1) + 1;
  for (int i = 0; i < kRing; ++i) ring[i + 1] = ring[i] + step[i / SideEdges];
  // Fan pattern: the lattice node in the block's middle; crossed: the
  // cell's centre node, numbered after the lattice row by row.
  const Int centre = SideEdges == 2 ? ring[0] + nx + 1 : nx * lattice.ny + (r - 1) * fans_x + s;
  const Int base = kRing * ((r - 1) * fans_x + (s - 1));  // triangles base + 1 .. base + kRing
  // The fan across each side, or none (0) on the boundary, where the
  // side's edges are instead boundary edges `along` + 1, ... (the
  // boundary runs left along the top and down the left side).
  const bool has_fan[4] = {r > 1, s < fans_x, r < fans_y, s > 1};
  const Int fan_base[4] = {base - kRing * fans_x, base + kRing, base + kRing * fans_x,
                           base - kRing};
  const Int along[4] = {(s - 1) * SideEdges, side_x + (r - 1) * SideEdges,
                        side_x + side_y + (fans_x - s) * SideEdges,
                        2 * side_x + side_y + (fans_y - r) * SideEdges};
  for (int k = 0; k < kRing; ++k) {
    const int fan_side = k / SideEdges;
    const int place = k % SideEdges;
    // The facing triangle lies on the other fan's opposite side, where
    // the ring runs the other way.
    const int facing = ((fan_side + 2) % 4) * SideEdges + (SideEdges - 1 - place);
    const Int across = has_fan[fan_side] ? fan_base[fan_side] + facing + 1
                                         : first_fict + along[fan_side] + place + 1;
    // The fan's own two neighbours, triangles k - 1 and k + 1 around the
    // ring, in ascending order.
    const Int before = base + (k + kRing - 1) % kRing + 1;
    const Int after = base + (k + 1) % kRing + 1;
    const Int low = std::min(before, after);
    const Int high = std::max(before, after);
    // A fan below or to the left was numbered before this one; a fan
    // above or to the right, and every fictitious volume, after it.
    const bool across_first = has_fan[fan_side] && (fan_side == 0 || fan_side == 3);
    LatticeVolumeOf<Int> volume{{centre, ring[k], ring[k + 1]}, {}};
    if (across_first) {
      volume.neighbours[0] = across;
      volume.neighbours[1] = low;
      volume.neighbours[2] = high;
    } else {
      volume.neighbours[0] = low;
      volume.neighbours[1] = high;
      volume.neighbours[2] = across;
    }
    visit(base + k + 1, volume);
  }
}

template <int SideEdges, typename Visit>
void for_each_fan_volume(const Lattice& lattice, Visit& visit) {
  for (std::int32_t r = 1; r <= lattice.fans_y; ++r) {
    for (std::int32_t s = 1; s <= lattice.fans_x; ++s) visit_fan<SideEdges>(lattice, r, s, visit);
  }
}

}  // namespace detail

// Calls `visit(v, volume)` for the triangles of fan (r, s) alone (row r,
// column s, from 1), in ascending v: the numbering of a part of the lattice
// needs no other fan's.
template <typename Int, typename Visit>
void for_each_fan_triangle(const LatticeOf<Int>& lattice, Int r, Int s, Visit visit) {
  if (lattice.side_edges == 2) {
    detail::visit_fan<2>(lattice, r, s, visit);
  } else {
    detail::visit_fan<1>(lattice, r, s, visit);
  }
}

// Calls `visit(v, volume)` for v = 1 .. n_real_volumes + boundary_edges in
// ascending order: the real volumes fan by fan, then the fictitious ones.
template <typename Visit>
void for_each_lattice_volume(const Lattice& lattice, Visit visit) {
  if (lattice.side_edges == 2) {
    detail::for_each_fan_volume<2>(lattice, visit);
  } else {
    detail::for_each_fan_volume<1>(lattice, visit);
  }
  const std::int32_t edges = boundary_edges(lattice);
  for (std::int32_t e = 1; e <= edges; ++e) {
    visit(lattice.n_real_volumes + e, fictitious_volume(lattice, e));
  }
}

}  // namespace malha
