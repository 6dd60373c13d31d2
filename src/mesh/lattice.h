#pragma once
// The lattice, every fact of it in one place: the accepted levels and the
// lattice each level is, the counts of a lattice and their inverse, whether
// a mesh is a lattice, each side's run of boundary edges, and the numbering
// and coordinates of its nodes and volumes, each one computable from its
// place alone (a fan's (r, s), a boundary edge e, a node's (i, j)).
//
// A lattice is `cells_x` x `cells_y` equal cells in one of two patterns:
// crossed (each cell by both diagonals through its centre node, 4
// triangles) or fan (blocks of 2 x 2 cells, 8 triangles around the block's
// middle lattice node). A fan is the unit whose triangles circle one centre:
// a block in the fan pattern, a cell in the crossed one. Level 2k + 2 is the
// crossed lattice of 2^k x 2^k cells (level 2 its one cell), level 2k + 1
// (k >= 1) the fan lattice of 2^k x 2^k; level 1, one cell cut by one
// diagonal, is no lattice.
//
// Numbering: the lattice nodes row by row from the bottom, x fastest; in
// the crossed pattern the cell centres follow in the same order; then the
// fictitious nodes, anticlockwise from the lower-left corner. A fan's ring
// of corner nodes runs anticlockwise from its bottom-left corner with
// `side_edges` edges a side (2 fan, 1 crossed); its triangle k (1 ..
// 4 x side_edges) is (centre, ring k, ring k + 1). Fans are numbered row by
// row from the bottom left, their triangles in a row. The boundary edges are
// numbered 1 .. 2 (cells_x + cells_y) anticlockwise from the lower-left
// corner (bottom, right, top, left); fictitious volume e lies on edge e,
// lists its fictitious node and the edge's two ends in the reverse of the
// boundary's order, and is volume n_real_volumes + e. A fictitious node
// serves `side_edges` consecutive edges.
//
// Integer bookkeeping for counts that fit 32 bits (lattice_counts says);
// only check_level throws.

#include <algorithm>
#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

enum class MeshKind;  // mesh/mesh_kind.h

// The accepted mesh levels: below 1 no mesh is defined, above 30 the 32-bit
// counts overflow.
inline constexpr std::int32_t kMinLevel = 1;
inline constexpr std::int32_t kMaxLevel = 30;

// Throws the LEVEL report when `level` is outside kMinLevel to kMaxLevel.
void check_level(std::int32_t level);

// ---- Levels and lattices ----------------------------------------------

// A lattice's shape: its cells along x and y and its pattern; 0 cells for
// no lattice.
struct LatticeShape {
  std::int32_t cells_x = 0;
  std::int32_t cells_y = 0;
  LatticePattern pattern = LatticePattern::crossed;
};

// The lattice that `level` is: crossed 2^k x 2^k cells for level 2k + 2,
// fan 2^k x 2^k for level 2k + 1 (k >= 1); 0 cells for level 1 and for a
// level outside kMinLevel to kMaxLevel.
LatticeShape level_lattice(std::int32_t level);

// The inverse: the level whose mesh is the lattice of `cells_x` x `cells_y`
// cells in `pattern`, 0 when no level's is.
std::int32_t lattice_level(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern);

// Whether a shape, or `mesh`, is a lattice: it has cells (every level from
// 2 on, every build_lattice_mesh); level 1 is none.
constexpr bool is_lattice(std::int64_t cells_x, std::int64_t cells_y) {
  return cells_x >= 1 && cells_y >= 1;
}
constexpr bool is_lattice(const LatticeShape& shape) {
  return is_lattice(shape.cells_x, shape.cells_y);
}
constexpr bool is_lattice(const Mesh& mesh) { return is_lattice(mesh.cells_x, mesh.cells_y); }

// The edges on one side of a fan (and the boundary edges one fictitious
// node serves): 2 in the fan pattern, 1 in the crossed one.
constexpr std::int32_t fan_side_edges(LatticePattern pattern) {
  return pattern == LatticePattern::fan ? 2 : 1;
}

// The lattice nodes along a side of `cells` cells, corners included, in
// the caller's integer type.
template <typename Int>
constexpr Int lattice_nodes_along(Int cells) {
  return cells + 1;
}

// The real volumes of one cell: 2 in the fan pattern, 4 in the crossed one.
constexpr std::int32_t real_volumes_per_cell(LatticePattern pattern) {
  return pattern == LatticePattern::fan ? 2 : 4;
}

// ---- Counts -------------------------------------------------------------

// The counts of a lattice, in 64 bits.
struct LatticeCounts {
  std::int64_t n_real_volumes = 0;
  std::int64_t n_fict_volumes = 0;
  std::int64_t n_volumes = 0;
  std::int64_t n_real_nodes = 0;
  std::int64_t n_fict_nodes = 0;
  std::int64_t n_nodes = 0;
};

// Past this many cells along one side the fictitious volumes alone would
// not fit 32 bits; below it every count fits 64.
inline constexpr std::int64_t kMaxLatticeCells = std::int64_t{1} << 30;

// The counts of the lattice of `cells_x` x `cells_y` cells in `pattern`,
// for cells from 1 to kMaxLatticeCells (the fan pattern's even).
LatticeCounts lattice_counts(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern);

// The inverse, from the volume counts: the cells of the shorter and the
// longer side of the lattice in `pattern` whose real and fictitious volumes
// these are (either may lie along x); 0 and 0 when no lattice's are.
struct LatticeSides {
  std::int64_t shorter = 0;
  std::int64_t longer = 0;
};
LatticeSides lattice_sides(std::int64_t n_real_volumes, std::int64_t n_fict_volumes,
                           LatticePattern pattern);

// The per-side figures a lattice's record sets: on a square lattice of more
// than one cell its lattice nodes, centre nodes (crossed) and fictitious
// nodes along one side; all 0 on any other (level 2's one cell sets none).
struct LatticeSideFigures {
  std::int32_t nodes_per_side = 0;
  std::int32_t centres_per_side = 0;
  std::int32_t fict_per_side = 0;
};
LatticeSideFigures lattice_side_figures(std::int32_t cells_x, std::int32_t cells_y,
                                        LatticePattern pattern);

// Whether the counts of `mesh` are those sizing gives the cells of `kind`
// (fan or crossed; false for any other kind), so that every node and volume
// number of the numbering lies in 1..`n_nodes` and 1..`n_volumes`; the
// per-side figures must be lattice_side_figures'.
bool lattice_counts_fit(const Mesh& mesh, MeshKind kind);

// ---- Sides ---------------------------------------------------------------

// The boundary edges of a lattice of `cells_x` x `cells_y` cells, one for
// each cell along each side: 2 (cells_x + cells_y), its fictitious volumes.
constexpr std::int64_t boundary_edge_count(std::int64_t cells_x, std::int64_t cells_y) {
  return 2 * (cells_x + cells_y);
}

// The boundary edges on side `side` (0 bottom, 1 right, 2 top, 3 left):
// edges `first` .. `first` + `count` - 1 of the anticlockwise numbering,
// `count` being the cells along that side, and so the side's run of
// fictitious volumes and of boundary faces.
struct BoundaryRun {
  std::int32_t first = 0;
  std::int32_t count = 0;
};
BoundaryRun boundary_run(std::int32_t cells_x, std::int32_t cells_y, int side);

// ---- Numbering -------------------------------------------------------------

// What the numbering of one lattice needs: in 32 bits for a mesh's tables
// (Lattice), in 64 for the global numbers of a lattice's parts
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

// The lattice of `cells_x` x `cells_y` cells in `pattern`, whose counts fit
// 32 bits (the fan pattern's cells even).
Lattice lattice_of(std::int32_t cells_x, std::int32_t cells_y, LatticePattern pattern);
// The same from the cells and pattern sizing set in `mesh`.
Lattice lattice_of(const Mesh& mesh);
// The same in 64 bits, for cells from 1 to kMaxLatticeCells.
WideLattice wide_lattice_of(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern);

// The boundary edges of `lattice` (boundary_edge_count).
inline std::int32_t boundary_edges(const Lattice& lattice) {
  return static_cast<std::int32_t>(boundary_edge_count(lattice.nx - 1, lattice.ny - 1));
}

// Lattice node (i, j): column i, row j, both from 1 at the lower-left corner.
template <typename Int>
Int lattice_node(const LatticeOf<Int>& lattice, Int i, Int j) {
  return (j - 1) * lattice.nx + i;
}

// The centre node of fan (r, s) (fan row r from the bottom, fan column s
// from the left): in the fan pattern the block's middle lattice node, in
// the crossed pattern the cell's centre node.
template <typename Int>
Int fan_centre(const LatticeOf<Int>& lattice, Int r, Int s) {
  return lattice.side_edges == 2 ? lattice_node(lattice, 2 * s, 2 * r)
                                 : lattice.nx * lattice.ny + (r - 1) * lattice.fans_x + s;
}

// The fictitious node of boundary edge e.
template <typename Int>
Int fictitious_node(const LatticeOf<Int>& lattice, Int e) {
  return lattice.n_real_nodes + (e - 1) / lattice.side_edges + 1;
}

// The number of triangle k (1 .. 4 x side_edges) of fan (r, s).
template <typename Int>
Int fan_volume_number(const LatticeOf<Int>& lattice, Int r, Int s, Int k) {
  return 4 * lattice.side_edges * ((r - 1) * lattice.fans_x + s - 1) + k;
}

// One row of both tables: the volume's nodes and its neighbours (ascending,
// 0 for none), as define_volumes and find_volume_neighbours store them.
template <typename Int>
struct LatticeVolumeOf {
  Int nodes[3];
  Int neighbours[3];
};
using LatticeVolume = LatticeVolumeOf<std::int32_t>;
using WideLatticeVolume = LatticeVolumeOf<std::int64_t>;

namespace detail {

// Calls `emit(k, volume)` for the 4 x SideEdges triangles of fan (r, s),
// k = 1 .. 4 x SideEdges in order.
template <int SideEdges, typename Int, typename Emit>
inline void each_fan_volume(const LatticeOf<Int>& lattice, Int r, Int s, Emit&& emit) {
  constexpr int kRing = 4 * SideEdges;
  const Int nx = lattice.nx;
  const Int fans_x = lattice.fans_x;
  const Int fans_y = lattice.fans_y;
  const Int side_x = nx - 1;          // boundary edges along the bottom and the top
  const Int side_y = lattice.ny - 1;  // along the right and the left side
  const Int first_fict = lattice.n_real_volumes;
  // Along the ring: right along the bottom, up the right side, left along
  // the top, down the left side.
  const Int step[4] = {1, nx, -1, -nx};
  Int ring[kRing + 1];
  ring[0] = SideEdges * (r - 1) * nx + SideEdges * (s - 1) + 1;
  for (int i = 0; i < kRing; ++i) ring[i + 1] = ring[i] + step[i / SideEdges];
  const Int centre =
      SideEdges == 2 ? ring[0] + nx + 1 : nx * lattice.ny + (r - 1) * fans_x + s;
  const Int base = kRing * ((r - 1) * fans_x + s - 1);  // triangles base + 1 ..
  // The fan across each side, or none on the boundary, where the side's
  // edges are instead boundary edges `along` + 1, ... (the boundary runs
  // left along the top and down the left side).
  const bool has_fan[4] = {r > 1, s < fans_x, r < fans_y, s > 1};
  const Int fan_base[4] = {base - kRing * fans_x, base + kRing, base + kRing * fans_x,
                                    base - kRing};
  const Int along[4] = {(s - 1) * SideEdges, side_x + (r - 1) * SideEdges,
                                 side_x + side_y + (fans_x - s) * SideEdges,
                                 2 * side_x + side_y + (fans_y - r) * SideEdges};
  for (int k = 0; k < kRing; ++k) {
    const int fan_side = k / SideEdges;
    const int place = k % SideEdges;
    // The facing triangle lies on the other fan's opposite side, where the
    // ring runs the other way.
    const int facing = ((fan_side + 2) % 4) * SideEdges + (SideEdges - 1 - place);
    const Int across = has_fan[fan_side] ? fan_base[fan_side] + facing + 1
                                                  : first_fict + along[fan_side] + place + 1;
    // The fan's own two neighbours, triangles k - 1 and k + 1 around the
    // ring, in ascending order.
    const Int before = base + (k + kRing - 1) % kRing + 1;
    const Int after = base + (k + 1) % kRing + 1;
    const Int low = std::min(before, after);
    const Int high = std::max(before, after);
    // A fan below or to the left was numbered before this one; a fan above
    // or to the right, and every fictitious volume, after it.
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
    emit(k + 1, volume);
  }
}

// The real volumes of every fan, fan by fan, as for_each_lattice_volume
// visits them.
template <int SideEdges, typename Visit>
void for_each_fan_volume(const Lattice& shared, Visit& visit) {
  // A copy of its own, which the tables the visits write cannot alias, so
  // that its figures stay in registers from fan to fan.
  const Lattice lattice = shared;
  std::int32_t v = 0;
  for (std::int32_t r = 1; r <= lattice.fans_y; ++r) {
    for (std::int32_t s = 1; s <= lattice.fans_x; ++s) {
      each_fan_volume<SideEdges>(lattice, r, s, [&visit, &v](std::int32_t,
                                                             const LatticeVolume& volume) {
        visit(++v, volume);
      });
    }
  }
}

}  // namespace detail

// Triangle k (1 .. 4 x side_edges) of fan (r, s) (1 .. fans_y, 1 .. fans_x),
// volume fan_volume_number(lattice, r, s, k).
LatticeVolume fan_volume(const Lattice& lattice, std::int32_t r, std::int32_t s, std::int32_t k);
WideLatticeVolume fan_volume(const WideLattice& lattice, std::int64_t r, std::int64_t s,
                             std::int64_t k);

// Fictitious volume e, 1 .. boundary_edges, volume n_real_volumes + e.
LatticeVolume fictitious_volume(const Lattice& lattice, std::int32_t e);
WideLatticeVolume fictitious_volume(const WideLattice& lattice, std::int64_t e);

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

// ---- Coordinates -----------------------------------------------------------
//
// Of a mesh sized as a lattice (its cells, pattern, lengths, lines and
// spacings set; no table needed), each coordinate computed as place_nodes
// stores it, bit for bit. Along an axis of equal steps (its spacing set) an
// index less 1, as a double, times the spacing, then the second term added,
// each operation rounded on its own; along a graded axis (spacing 0, length
// not 0) the same from each cell's own step, the line's next less the line.
// Each function takes the mesh, or the few fields it reads
// (LatticeSpacings), which a loop keeps in registers while it writes a
// table.

struct NodeCoords {
  double x = 0.0;
  double y = 0.0;
};

// (index - 1) times the spacing, rounded on its own.
inline double lattice_offset(std::int32_t index, double spacing) {
  return static_cast<double>(index - 1) * spacing;
}

// One axis of a lattice, as the coordinates read it.
struct LatticeAxis {
  const double* lines = nullptr;  // cells + 1 lines
  std::int32_t cells = 0;
  double length = 0.0;
  double step = 0.0;   // the equal step, 0 where graded
  double half = 0.0;   // its half (crossed)
  double twice = 0.0;  // its double (fan)
  bool equal = true;   // equal steps

  // The step of cell i (1 .. cells) and its half.
  double step_of(std::int32_t i) const { return equal ? step : lines[i] - lines[i - 1]; }
  double half_of(std::int32_t i) const {
    return equal ? half : (lines[i] - lines[i - 1]) / 2;
  }
  // The middle of cell i.
  double middle(std::int32_t i) const { return lines[i - 1] + half_of(i); }
  // Line 2f - 1, the f-th at an odd place, where the fan pattern mirrors a
  // lattice node.
  double odd_line(std::int32_t f) const {
    return equal ? lattice_offset(f, twice) + step : lines[2 * f - 1];
  }
};

// The fields of a sized mesh that the coordinates read.
struct LatticeSpacings {
  bool fan = false;
  LatticeAxis x;
  LatticeAxis y;
};

inline LatticeSpacings lattice_spacings(const Mesh& mesh) {
  return {mesh.pattern == LatticePattern::fan,
          {mesh.x_lines.data(), mesh.cells_x, mesh.dim_x, mesh.dx, mesh.half_dx, mesh.two_dx,
           mesh.dx != 0.0 || mesh.dim_x == 0.0},
          {mesh.y_lines.data(), mesh.cells_y, mesh.dim_y, mesh.dy, mesh.half_dy, mesh.two_dy,
           mesh.dy != 0.0 || mesh.dim_y == 0.0}};
}

// Lattice node (i, j): on its lines; lattice_x and lattice_y are its two
// coordinates on their own. A level's lines are i x its spacing, its last
// cells x spacing at the length itself; over other counts of cells that
// product can miss the length by a rounding, so another lattice's last
// line is the length.
inline double lattice_x(const LatticeSpacings& at, std::int32_t i) { return at.x.lines[i - 1]; }
inline double lattice_y(const LatticeSpacings& at, std::int32_t j) { return at.y.lines[j - 1]; }
inline NodeCoords lattice_node_coords(const LatticeSpacings& at, std::int32_t i, std::int32_t j) {
  return {lattice_x(at, i), lattice_y(at, j)};
}
inline NodeCoords lattice_node_coords(const Mesh& mesh, std::int32_t i, std::int32_t j) {
  return lattice_node_coords(lattice_spacings(mesh), i, j);
}

// The centre node of cell (i, j) of the crossed pattern: the middle of the
// cell, its first lines plus half its steps; centre_x and centre_y its two
// coordinates on their own.
inline double centre_x(const LatticeSpacings& at, std::int32_t i) { return at.x.middle(i); }
inline double centre_y(const LatticeSpacings& at, std::int32_t j) { return at.y.middle(j); }
inline NodeCoords centre_node_coords(const LatticeSpacings& at, std::int32_t i, std::int32_t j) {
  return {centre_x(at, i), centre_y(at, j)};
}
inline NodeCoords centre_node_coords(const Mesh& mesh, std::int32_t i, std::int32_t j) {
  return centre_node_coords(lattice_spacings(mesh), i, j);
}

// Fictitious node f (1 .. n_fict_nodes, node n_real_nodes + f), the mirror
// image in its side of the node opposite its boundary edges: in the fan
// pattern a lattice node at an odd place along the side, one step inside;
// in the crossed pattern the centre of the boundary cell, half a step
// inside. The right and top sides add that offset to the length itself.
inline NodeCoords fictitious_node_coords(const LatticeSpacings& at, std::int64_t f) {
  const bool fan = at.fan;
  const LatticePattern pattern = fan ? LatticePattern::fan : LatticePattern::crossed;
  const std::int32_t along_x = at.x.cells / fan_side_edges(pattern);
  const std::int32_t along_y = at.y.cells / fan_side_edges(pattern);
  // Along a side: the place of the f-th node; across it: the offset of the
  // first or the last cell.
  const auto along = [fan](const LatticeAxis& axis, std::int64_t place) {
    const auto index = static_cast<std::int32_t>(place);
    return fan ? axis.odd_line(index) : axis.middle(index);
  };
  const auto offset = [fan](const LatticeAxis& axis, std::int32_t cell) {
    return fan ? axis.step_of(cell) : axis.half_of(cell);
  };
  if (f <= along_x) return {along(at.x, f), -offset(at.y, 1)};
  f -= along_x;
  if (f <= along_y) return {at.x.length + offset(at.x, at.x.cells), along(at.y, f)};
  f -= along_y;
  if (f <= along_x) return {along(at.x, along_x + 1 - f), at.y.length + offset(at.y, at.y.cells)};
  f -= along_x;
  return {-offset(at.x, 1), along(at.y, along_y + 1 - f)};
}
inline NodeCoords fictitious_node_coords(const Mesh& mesh, std::int64_t f) {
  return fictitious_node_coords(lattice_spacings(mesh), f);
}

// Node n (1 .. the lattice's nodes) from its number alone, as place_lattice
// stores it: lattice node (i, j), then in the crossed pattern the centre of
// cell (i, j), then fictitious node f.
inline NodeCoords node_coords_of(const LatticeSpacings& at, const Lattice& lattice,
                                 std::int32_t n) {
  const std::int32_t lattice_nodes = lattice.nx * lattice.ny;
  if (n <= lattice_nodes) {
    return lattice_node_coords(at, (n - 1) % lattice.nx + 1, (n - 1) / lattice.nx + 1);
  }
  if (n <= lattice.n_real_nodes) {
    const std::int32_t cell = n - lattice_nodes - 1;
    return centre_node_coords(at, cell % lattice.fans_x + 1, cell / lattice.fans_x + 1);
  }
  return fictitious_node_coords(at, n - lattice.n_real_nodes);
}

}  // namespace malha
