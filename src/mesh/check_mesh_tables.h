#pragma once
// Refuses a Mesh that a step cannot read by its counts, before the step
// opens a file or allocates a table. Always: a count below 0, n_real_volumes
// + n_fict_volumes other than n_volumes, n_real_nodes + n_fict_nodes other
// than n_nodes. For each table the caller needs: rows other than its count
// (node_coords: n_nodes; the others: n_volumes); node numbers outside 1 to
// n_nodes (volume_nodes); neighbour numbers outside 0 to n_volumes
// (volume_neighbours). On request: a real volume naming a fictitious node,
// a neighbour that does not list the volume back.
// Throws: the ARGUMENT report of `function`, naming the first disagreement.

#include <string_view>

#include "mesh/mesh.h"

namespace malha {

struct TablesNeeded {
  bool node_coords = true;
  bool volume_nodes = true;
  bool volume_neighbours = true;
  bool barycentres = true;
  bool real_nodes_only = false;    // real volumes name nodes 1 to n_real_nodes
  bool mutual_neighbours = false;  // w in row v of volume_neighbours: v in row w
};

void check_mesh_tables(const Mesh& mesh, std::string_view function,
                       const TablesNeeded& needed = {});

}  // namespace malha
