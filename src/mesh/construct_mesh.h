#pragma once
// The whole construction of a mesh from its three numeric answers.
//
// Reads `level`, `dim_x` and `dim_y` of `mesh` (the level in kMinLevel to
// kMaxLevel: check_level, mesh/lattice.h) and runs size_mesh,
// allocate_mesh, place_nodes, define_volumes, find_volume_neighbours and
// compute_barycentres, each once, in this order; every count, spacing and array is then filled. Finds no
// floating-point fault itself: the program's traps or check_finite_values
// do.
// Throws: the ALLOCATE report when memory cannot be had.

#include "mesh/mesh.h"

namespace malha {

void construct_mesh(Mesh& mesh);

// The same from a lattice's `cells_x`, `cells_y`, `pattern`, `dim_x` and
// `dim_y` (counts that fit 32 bits, the fan pattern's cells even):
// size_lattice in place of size_mesh, then the same steps.
void construct_lattice_mesh(Mesh& mesh);

}  // namespace malha
