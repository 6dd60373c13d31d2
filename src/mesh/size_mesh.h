#pragma once
// size_mesh: every count and spacing of the mesh from `level`, `dim_x` and
// `dim_y`; size_lattice the same from a lattice's cells and pattern.
//
// size_mesh reads `level` (1 to 30), `dim_x`, `dim_y`. Writes the six counts,
// and by case: level 1 `dx`, `dy`; level 2 also `half_dx`, `half_dy`, and its
// one cell as a crossed lattice (`cells_x`, `cells_y`, `pattern`); odd levels
// from 3 `nodes_per_side`, `fict_per_side`, `dx`, `dy`, `two_dx`, `two_dy`
// and the fan lattice's shape; even levels from 4 `nodes_per_side`,
// `centres_per_side`, `fict_per_side`, `dx`, `dy`, `half_dx`, `half_dy` and
// the crossed lattice's shape. Fields a case does not name stay 0. Checks
// nothing and throws nothing; lengths of any sign are used as given.

#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

void size_mesh(Mesh& mesh);

// The level whose mesh is the lattice of `cells_x` x `cells_y` cells in
// `pattern`, 0 when no level's is.
std::int32_t lattice_level(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern);

// Reads `cells_x`, `cells_y`, `pattern` (whose counts fit 32 bits, the fan
// pattern's cells even), `dim_x` and `dim_y`; writes `level`
// (lattice_level), the six counts, `dx` = dim_x / cells_x, `dy` =
// dim_y / cells_y, and `half_dx`, `half_dy` (crossed) or `two_dx`, `two_dy`
// (fan), each spacing rounded as size_mesh rounds the level's; on a square
// lattice also `nodes_per_side`, `centres_per_side` and `fict_per_side`. The
// crossed 1 x 1 lattice is level 2, sized as size_mesh sizes it. Throws
// nothing.
void size_lattice(Mesh& mesh);

}  // namespace malha
