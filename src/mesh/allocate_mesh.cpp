#include "mesh/allocate_mesh.h"

#include <cstddef>
#include <new>

#include "system/platform.h"
#include "system/run_error.h"

namespace malha {
namespace {

// Every element of the arrays is written during construction, so their
// pages are asked for at once; a third of the construction was otherwise
// page faults, one per page.
template <typename T, int Cols>
void supply_pages(MeshTable<T, Cols>& table) {
  if (table.rows() <= 0) return;
  platform::supply_pages(table.row(1), static_cast<std::size_t>(table.rows()) * Cols * sizeof(T));
}

}  // namespace

std::uint64_t mesh_array_bytes(const Mesh& mesh) {
  const auto nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  return nodes * 2 * sizeof(double) + volumes * 3 * sizeof(std::int32_t) * 2 +
         volumes * 2 * sizeof(double);
}

void allocate_mesh(Mesh& mesh) {
  // Linux grants large requests it cannot back and kills the process when
  // the pages are touched; refuse such a request here instead.
  require_obtainable_memory(mesh_array_bytes(mesh));
  try {
    mesh.node_coords.allocate(mesh.n_nodes);
    mesh.volume_nodes.allocate(mesh.n_volumes);
    mesh.volume_neighbours.allocate(mesh.n_volumes);
    mesh.barycentres.allocate(mesh.n_volumes);
    supply_pages(mesh.node_coords);
    supply_pages(mesh.volume_nodes);
    supply_pages(mesh.volume_neighbours);
    supply_pages(mesh.barycentres);
  } catch (const std::bad_alloc&) {
    fail(RunError::allocate);
  }
}

}  // namespace malha
