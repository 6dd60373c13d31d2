#pragma once
// write_node_files: the node tables of "dados_malha.txt", "nos_malha.txt"
// and the head of "dados.ent".
//
// Reads `n_nodes` and `node_coords`. Writes to "dados_malha.txt" the node
// position header (an empty record, " Posi\xE7\xE3o dos n\xF3s", an empty record) and
// then one numbered pair per node (number, x, y: 58 characters), and to
// "nos_malha.txt" one pair per node (x, y: 50 characters), for nodes 1 to
// `n_nodes` in order; and to "dados.ent" its four counts n_nodes, n_volumes,
// n_real_volumes, n_fict_volumes (one int_field_8 each) and then the same
// pairs as "nos_malha.txt".
// Throws: the WRITE report when a write fails.

#include "mesh/mesh.h"
#include "output/output_files.h"

namespace malha {

void write_node_files(OutputFiles& files, const Mesh& mesh);

}  // namespace malha
