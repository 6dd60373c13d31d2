#pragma once
// The other eight files of a run against the counts of "dados.ent", after
// read_mesh_files has read the three it needs: a folder whose files come
// from different runs, or where one was cut short (a run that failed on a
// full disk), is refused instead of read back as the mesh of one of them.
//
// In their opening order, each of the eight that the folder holds (an
// absent one is not checked) must be a regular file of exactly the size
// that its record layouts give for the counts n_nodes, n_volumes and
// n_real_volumes (output_file_bytes); "dados_malha.txt" and
// "dados_gerais.txt" must begin with the four labelled count records, whose
// real and fictitious volumes are those of "dados.ent", whose real and
// fictitious nodes are those of the shape read from it (and add up to its
// n_nodes), and which are the same in both.
// Throws: at the first file that disagrees, the READ report (F4007) naming
// it, with the line for a count record; OPEN or READ (F4004, F4005) when it
// cannot be opened or read, or is not a regular file.

#include <string>

#include "mesh/mesh.h"

namespace malha {

void check_file_set(const Mesh& mesh, const std::string& folder);

}  // namespace malha
