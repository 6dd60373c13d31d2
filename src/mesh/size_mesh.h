#pragma once
// size_mesh: every count and spacing of the mesh from `level`, `dim_x` and
// `dim_y`.
//
// Reads `level` (1 to 30), `dim_x`, `dim_y`. Writes the six counts, and by
// case: level 1 `dx`, `dy`; level 2 also `half_dx`, `half_dy`; odd levels from
// 3 `nodes_per_side`, `fict_per_side`, `dx`, `dy`, `two_dx`, `two_dy`; even
// levels from 4 `nodes_per_side`, `centres_per_side`, `fict_per_side`, `dx`,
// `dy`, `half_dx`, `half_dy`. Fields a case does not name stay 0. Checks
// nothing and throws nothing; lengths of any sign are used as given.

#include "mesh/mesh.h"

namespace malha {

void size_mesh(Mesh& mesh);

}  // namespace malha
