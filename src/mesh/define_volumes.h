#pragma once
// define_volumes: the three nodes of every real and fictitious volume.
//
// Reads `level`, and on a lattice `cells_x`, `cells_y` and `pattern`;
// writes all `n_volumes` rows of `volume_nodes`: level 1's fixed table, a
// lattice's rows from its numbering (mesh/lattice.h), which also numbers the
// nodes place_nodes places. Real volumes come first (on a lattice centre
// node first); then one fictitious volume per boundary edge, anticlockwise
// from the lower-left corner, listing its fictitious node and then the edge
// in the reverse of the real volume's order. Every volume is anticlockwise
// for positive lengths. Integer bookkeeping only; cannot fail.

#include "mesh/mesh.h"

namespace malha {

void define_volumes(Mesh& mesh);

}  // namespace malha
