#pragma once
// Reads the mesh back from the three unlabelled files a run writes:
// "dados.ent" (the counts n_nodes, n_volumes, n_real_volumes and
// n_fict_volumes, then `node_coords` and `volume_nodes`), "conectividades.ent"
// (`volume_neighbours`) and "baricentros.ent" (`barycentres`), from `folder`
// (empty: the current working directory). Fills those four counts and the
// four arrays of `mesh`; every other field stays as it was.
//
// Every record is checked against the layout the program writes: record
// lengths, CR LF, the field forms, n_volumes = n_real_volumes +
// n_fict_volumes, node numbers in 1 to n_nodes, neighbour numbers in 0 to
// n_volumes, and as many records as the counts call for. The first fault
// ends the run with a report naming the file, the line and what is wrong.

#include <string>

#include "formats/file_formats.h"
#include "mesh/mesh.h"

namespace malha {

inline constexpr const char* kDadosEnt = file_name(OutputFile::dados_ent);
inline constexpr const char* kConectividadesEnt = file_name(OutputFile::conectividades_ent);
inline constexpr const char* kBaricentrosEnt = file_name(OutputFile::baricentros_ent);

// `name` in `folder`: the bare name when the folder is empty.
std::string path_in(const std::string& folder, const std::string& name);

void read_mesh_files(Mesh& mesh, const std::string& folder);

}  // namespace malha
