#pragma once
// Refuses a Mesh whose counts disagree with each other or with its tables,
// before a step that reads the tables by those counts: a count below 0,
// n_real_volumes + n_fict_volumes other than n_volumes, n_real_nodes +
// n_fict_nodes other than n_nodes, or a table whose rows are not its count
// (node_coords: n_nodes; volume_nodes, volume_neighbours, barycentres:
// n_volumes). The tables' contents are not read.
// Throws: the ARGUMENT report of `function`, naming the first disagreement.

#include <string_view>

#include "mesh/mesh.h"

namespace malha {

void check_mesh_tables(const Mesh& mesh, std::string_view function);

}  // namespace malha
