#pragma once
// place_nodes: the coordinates of every real and fictitious node.
//
// Reads `level`, `dim_x`, `dim_y`, the lattice's cells and pattern and the
// spacings set by size_mesh or size_lattice; writes all `n_nodes` rows of
// `node_coords` (x, y). Real nodes come first: on a lattice (levels 3 and up)
// the lattice row by row from the bottom, x fastest, then in the crossed
// pattern (even levels) the cell centres in the same order; then the
// fictitious nodes in four runs, below, right of, above and left of the
// rectangle, anticlockwise. Checks nothing and throws nothing: an overflow
// gives an infinity, which check_finite_values refuses afterwards (the
// program's floating-point traps stop at the operation itself).

#include "mesh/mesh.h"

namespace malha {

void place_nodes(Mesh& mesh);

}  // namespace malha
