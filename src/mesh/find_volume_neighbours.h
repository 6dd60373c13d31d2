#pragma once
// find_volume_neighbours: the volumes that share an edge with each volume.
//
// Reads `level` and the counts as sizing sets them; writes all `n_volumes`
// rows of `volume_neighbours`. Volume j is listed in row i when j != i and
// exactly two of the nine pairs of their node numbers are equal; a row
// holds the (at most) three lowest such j, ascending, then zeros.
//
// On a lattice (every level from 2 on, every build_lattice_mesh) the rows
// come from the lattice numbering (mesh/lattice.h) in one pass: they are
// the rule's rows for the table that define_volumes takes from the same
// numbering, and `volume_nodes` is not read. Level 1 searches its table
// (find_neighbours_in_any_table).
// Throws: the ARGUMENT report when a lattice's counts are not those sizing
// gives its cells (lattice_counts_fit: its rows would not fit the table);
// the ALLOCATE report when the search's scratch memory
// (neighbour_search_scratch_bytes) cannot be obtained.

#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

void find_volume_neighbours(Mesh& mesh);

// The same rule applied to whatever `volume_nodes` holds: reads `n_volumes`,
// `n_nodes` and `volume_nodes`, through per-node volume lists, in time linear
// in `n_volumes` for tables of distinct nodes. Node numbers outside
// 1..`n_nodes` are compared but never used as indices (two volumes sharing
// only such numbers are not found). It serves level 1 and is the
// tests' check of the lattice's rows.
// Throws: the ALLOCATE report when its scratch memory cannot be obtained.
void find_neighbours_in_any_table(Mesh& mesh);

// Upper bound of the scratch memory the search takes for the counts of
// `mesh`: 4 bytes per node and 12 per volume.
std::uint64_t neighbour_search_scratch_bytes(const Mesh& mesh);

}  // namespace malha
