#pragma once
// find_volume_neighbours: the volumes that share an edge with each volume.
//
// Reads `n_volumes`, `n_nodes` and `volume_nodes`; writes all `n_volumes`
// rows of `volume_neighbours`. Volume j is listed in row i when j != i and
// exactly two of the nine pairs of their node numbers are equal; a row holds
// the (at most) three lowest such j, ascending, then zeros. Node numbers
// outside 1..`n_nodes` are compared but never used as indices (two volumes
// sharing only such numbers are not found; define_volumes writes none).
// The level's counts and lattice figures only tell which table to expect:
// a table that define_volumes wrote for them gets its rows from the lattice
// in one pass with no scratch; any other table is searched through per-node
// volume lists, in time linear in `n_volumes` for tables of distinct nodes,
// and scratch memory (neighbour_search_scratch_bytes) that cannot be
// obtained ends the run with the ALLOCATE report.

#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

void find_volume_neighbours(Mesh& mesh);

// The same table by the search that serves every volume table; the tables
// define_volumes writes at levels 3 and above are instead recognised row by
// row and their neighbours follow from the lattice.
void find_neighbours_in_any_table(Mesh& mesh);

// Upper bound of the scratch memory the search takes for the counts of
// `mesh`: 4 bytes per node and 12 per volume.
std::uint64_t neighbour_search_scratch_bytes(const Mesh& mesh);

}  // namespace malha
