#pragma once
// allocate_mesh: creates the four mesh arrays with their final shapes.
//
// Reads `n_nodes` and `n_volumes`; creates, in this order, `node_coords`
// (`n_nodes` rows of x, y), `volume_nodes` and `volume_neighbours`
// (`n_volumes` rows of three int32 each) and `barycentres` (`n_volumes` rows
// of x, y), contents undefined.
// Throws: the ALLOCATE report when the memory cannot be obtained, including
// a total beyond the machine's physical memory plus swap.

#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

void allocate_mesh(Mesh& mesh);

// Bytes the four arrays take for the counts of `mesh`: 16 per node and 40
// per volume.
std::uint64_t mesh_array_bytes(const Mesh& mesh);

}  // namespace malha
