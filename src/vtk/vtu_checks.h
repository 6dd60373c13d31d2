#pragma once
// What the grid and collection writers check and turn into reports before
// anything is written (the mesh's tables that a grid reads, and the names
// they carry inside XML attribute values), and the grid written complete
// under its temporary name.

#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

#include "mesh/check_mesh_tables.h"
#include "vtk/temporary_file.h"
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

// write_vtu without the rename: the grid complete under its temporary name,
// which the caller renames (give_final_name) or lets go, removing it. With
// `removes_leftovers`, the temporary files that killed writes of `file` left
// go first (a series removes its own when it starts).
std::unique_ptr<TemporaryFile> write_complete_grid(const Mesh& mesh,
                                                   const std::filesystem::path& file,
                                                   std::span<const CellField> fields,
                                                   const VtuOptions& options,
                                                   bool removes_leftovers);

// What a grid holds of a mesh checked already: its first `cells` volumes
// over its first `points` nodes, and with `global_volumes` the cell data
// `global_volume` (Int64) in place of `volume` (a part's piece).
struct GridSelection {
  std::int32_t cells = 0;
  std::int32_t points = 0;
  const GlobalNumbers* global_volumes = nullptr;
};
std::unique_ptr<TemporaryFile> write_complete_grid(const Mesh& mesh,
                                                   const std::filesystem::path& file,
                                                   std::span<const CellField> fields,
                                                   const VtuOptions& options,
                                                   bool removes_leftovers,
                                                   const GridSelection& selection);

}  // namespace malha
