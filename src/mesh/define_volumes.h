#pragma once
// define_volumes: the three nodes of every real and fictitious volume.
//
// Reads `level`, `nodes_per_side` and `n_real_nodes`, relying on the node
// numbering of place_nodes; writes all `n_volumes` rows of `volume_nodes`
// (at levels 3 and above from the lattice numbering,
// mesh/lattice_numbering.h). Real volumes come first (from level 2 on,
// centre node first); then one fictitious volume per boundary edge, anticlockwise from the lower-left corner,
// listing its fictitious node and then the edge in the reverse of the real
// volume's order. Every volume is anticlockwise for positive lengths.
// Integer bookkeeping only; cannot fail.

#include "mesh/mesh.h"

namespace malha {

void define_volumes(Mesh& mesh);

}  // namespace malha
