#pragma once
// Reads the mesh back from the three unlabelled files a run writes:
// "dados.ent" (the counts n_nodes, n_volumes, n_real_volumes and
// n_fict_volumes, then `node_coords` and `volume_nodes`), "conectividades.ent"
// (`volume_neighbours`) and "baricentros.ent" (`barycentres`), from `folder`
// (empty: the current working directory). Fills every field of `mesh` but
// `show_plots`, which stays as it was: the four arrays; the shape the counts
// and the first two volumes give (level 1, or the lattice whose 4 or 2 real
// volumes a cell and 2 (cells_x + cells_y) fictitious volumes they count,
// its level if it is a level's); every other count, the lattice figures and
// the spacings as size_mesh or size_lattice gives them for that shape and
// for the lengths `dim_x`, `dim_y` that the far corner node holds (node 4 at
// level 1, the lattice's last lattice node otherwise).
//
// Every record is checked against the layout the program writes: record
// lengths, CR LF, the field forms, n_volumes = n_real_volumes +
// n_fict_volumes, counts that some level or lattice has and volumes 1 and 2
// that are its first two,
// node numbers in 1 to n_nodes, neighbour numbers in 0 to n_volumes, and as
// many records as the counts call for. Then the other eight files of the
// folder against those counts (check_file_set), and every table against the
// mesh its shape and lengths define (check_mesh_content, whose barycentres
// are compared as they are read).
// Throws: OPEN or READ (files) when a file cannot be opened or read; the
// READ report naming the file, the line and what is wrong at the first
// record that fails a check; ALLOCATE when memory cannot be obtained.

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
