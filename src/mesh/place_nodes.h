#pragma once
// place_nodes: the coordinates of every real and fictitious node.
//
// Reads `level`, `dim_x`, `dim_y`, the lattice's cells and pattern and the
// spacings set by size_mesh or size_lattice; writes all `n_nodes` rows of
// `node_coords` (x, y). Level 1 places its one cell's fixed nodes. A lattice
// (every level from 2 on, every build_lattice_mesh) places each node where
// mesh/lattice.h's coordinates put it: the lattice row by row from the
// bottom, x fastest, then in the crossed pattern the cell centres in the
// same order, then the fictitious nodes in four runs, below, right of,
// above and left of the rectangle, anticlockwise; level 2 alone places its
// corners at 0 and its spacings exactly. Checks nothing and throws nothing: an overflow
// gives an infinity, which check_finite_values refuses afterwards (the
// program's floating-point traps stop at the operation itself).

#include "mesh/mesh.h"

namespace malha {

void place_nodes(Mesh& mesh);

}  // namespace malha
