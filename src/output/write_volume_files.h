#pragma once
// write_volume_files: the eight volume files.
//
// Reads `n_nodes`, `n_volumes`, `n_real_volumes`, `n_fict_volumes`,
// `node_coords`, `volume_nodes` (A, B, C), `volume_neighbours` and
// `barycentres`; changes nothing. For volumes 1 to `n_volumes` in order:
// "malha.txt" the outline group (pairs of A, B, C, A, then the one-blank
// record), "nos_conectividade.txt" i A B C, "vol_conectividades.txt" i and
// the three neighbours, "conectividades.ent" the three neighbours,
// "baricentros.txt" and "baricentros.ent" the barycentre pair;
// "malha_real.txt" the outline groups of the real volumes only; "dados.ent"
// A B C per volume, after the counts and node pairs that write_node_files
// gave it. Node numbers must lie in 1..`n_nodes`.
// Throws: the WRITE report when a write fails; std::bad_alloc when the node
// pair texts cannot be obtained.

#include "mesh/mesh.h"
#include "output/output_files.h"

namespace malha {

void write_volume_files(OutputFiles& files, const Mesh& mesh);

}  // namespace malha
