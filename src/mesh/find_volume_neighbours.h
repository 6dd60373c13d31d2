#pragma once
// find_volume_neighbours: the volumes that share an edge with each volume.
//
// Reads `n_volumes`, `n_nodes`, `volume_nodes` and `level`; writes all
// `n_volumes` rows of `volume_neighbours`. Volume j is listed in row i when
// j != i and exactly two of the nine pairs of their node numbers are equal;
// a row holds the (at most) three lowest such j, ascending, then zeros. Node
// numbers outside 1..`n_nodes` are compared but never used as indices (two
// volumes sharing only such numbers are not found; define_volumes writes
// none). A table that define_volumes wrote for the lattice
// (`lattice_volumes_level` equal to `level`, counts as sizing gives them)
// gets its rows from the lattice numbering in one pass, without reading it;
// any other table is searched through per-node volume lists, in time linear
// in `n_volumes` for tables of distinct nodes, and scratch memory
// (neighbour_search_scratch_bytes) that cannot be obtained ends the run with
// the ALLOCATE report.

#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

void find_volume_neighbours(Mesh& mesh);

// The same table by the search that serves every volume table, whoever
// wrote it.
void find_neighbours_in_any_table(Mesh& mesh);

// Upper bound of the scratch memory the search takes for the counts of
// `mesh`: 4 bytes per node and 12 per volume.
std::uint64_t neighbour_search_scratch_bytes(const Mesh& mesh);

}  // namespace malha
