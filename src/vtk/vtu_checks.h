#pragma once
// What the grid and collection writers check and turn into reports before
// anything is written: the mesh's tables that a grid reads, and the names
// they carry inside XML attribute values.

#include <string_view>

#include "mesh/check_mesh_tables.h"
#include "vtk/vtu.h"

namespace malha {

// Refuses, as `function`, a mesh whose grid `options` cannot write: the
// counts, node_coords and volume_nodes, real volumes naming real nodes unless
// the fictitious volumes go too, and with the tables volume_neighbours and
// barycentres.
inline void check_grid_mesh(const Mesh& mesh, std::string_view function,
                            const VtuOptions& options) {
  check_mesh_tables(mesh, function,
                    {.volume_neighbours = options.include_tables,
                     .barycentres = options.include_tables,
                     .real_nodes_only = !options.include_fictitious});
}

// True when `name` is printable ASCII (0x20 to 0x7E) without the characters
// that XML would need as entities: < > & " '.
inline bool is_xml_name(std::string_view name) {
  for (const char c : name) {
    if (c < 0x20 || c > 0x7E || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'') {
      return false;
    }
  }
  return true;
}

}  // namespace malha
