#include "mesh/allocate_mesh.h"

#include <new>

#include "system/platform.h"
#include "system/run_error.h"

namespace malha {

std::uint64_t mesh_array_bytes(const Mesh& mesh) {
  const auto nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  return nodes * 2 * sizeof(double) + volumes * 3 * sizeof(std::int32_t) * 2 +
         volumes * 2 * sizeof(double);
}

void allocate_mesh(Mesh& mesh) {
  // Linux grants large requests it cannot back and kills the process when
  // the pages are touched; refuse such a request here instead.
  if (mesh_array_bytes(mesh) > platform::obtainable_memory_bytes()) fail(RunError::allocate);
  try {
    mesh.node_coords.allocate(mesh.n_nodes);
    mesh.volume_nodes.allocate(mesh.n_volumes);
    mesh.volume_neighbours.allocate(mesh.n_volumes);
    mesh.barycentres.allocate(mesh.n_volumes);
  } catch (const std::bad_alloc&) {
    fail(RunError::allocate);
  }
}

}  // namespace malha
