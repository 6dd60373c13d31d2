#pragma once
// size_mesh: every count and spacing of the mesh from `level`, `dim_x` and
// `dim_y`; size_lattice the same from a lattice's cells and pattern.
//
// size_mesh reads `level` (kMinLevel to kMaxLevel, mesh/lattice.h), `dim_x`,
// `dim_y`. Level 1 sets the six counts, `dx` and `dy`; every other level is
// the lattice level_lattice names, whose cells and pattern it sets before
// size_lattice sizes it. Fields a case does not name stay 0, and a level
// outside the range sets nothing. Checks nothing and throws only ALLOCATE (size_lattice); lengths
// of any sign are used as given.

#include <span>

#include "mesh/mesh.h"

namespace malha {

void size_mesh(Mesh& mesh);

// Reads `cells_x`, `cells_y`, `pattern` (whose counts fit 32 bits, the fan
// pattern's cells even), `dim_x`, `dim_y` and the lines, where given
// (lattice lines, cells + 1 of them, the last the length); writes `level`
// (lattice_level, 0 when a given axis is graded), the six counts
// (lattice_counts), the per-side figures (lattice_side_figures), the lines
// not given (line i = i x dx, the last `dim_x` unless it is a level's mesh,
// and so for y), `dx` = dim_x / cells_x and `dy` = dim_y / cells_y (0 along
// an axis whose given lines are no equal steps: equal_step), and
// `half_dx`, `half_dy` (crossed) or `two_dx`, `two_dy` (fan).
// Throws: the ALLOCATE report when the lines cannot be had.
void size_lattice(Mesh& mesh);

// Sets the shape of the lattice on the given lines `xs` and `ys` (checked
// lattice lines) in `mesh`, for size_lattice: its cells, `pattern`, the
// lengths (the last lines) and the lines themselves. Throws: the ALLOCATE
// report when the lines cannot be had.
void set_lattice_lines(Mesh& mesh, std::span<const double> xs, std::span<const double> ys,
                       LatticePattern pattern);

}  // namespace malha
