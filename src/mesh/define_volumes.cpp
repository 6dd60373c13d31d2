#include "mesh/define_volumes.h"

#include <cassert>
#include <cstdint>

#include "mesh/lattice.h"
#include "mesh/mesh_kind.h"

namespace malha {
namespace {

void store(Mesh& mesh, std::int32_t v, const std::int32_t (&nodes)[3]) {
  std::int32_t* row = mesh.volume_nodes.row(v);
  row[0] = nodes[0];
  row[1] = nodes[1];
  row[2] = nodes[2];
}

// Level 1, no lattice: one cell cut by one diagonal, a fixed table.
constexpr std::int32_t kLevel1[6][3] = {{1, 2, 3}, {2, 4, 3}, {5, 2, 1},
                                        {6, 4, 2}, {7, 3, 4}, {8, 1, 3}};

void define_level_1(Mesh& mesh) {
  assert(mesh.n_volumes == 6);
  for (std::int32_t v = 1; v <= 6; ++v) store(mesh, v, kLevel1[v - 1]);
}

void define_lattice(Mesh& mesh) {
  const Lattice lattice = lattice_of(mesh);
  assert(mesh.n_volumes == lattice.n_real_volumes + boundary_edges(lattice));
  for_each_lattice_volume(lattice, [&mesh](std::int32_t v, const LatticeVolume& volume) {
    store(mesh, v, volume.nodes);
  });
}

}  // namespace

void define_volumes(Mesh& mesh) {
  switch (mesh_kind(mesh)) {
    case MeshKind::level_1: define_level_1(mesh); break;
    case MeshKind::level_2:
    case MeshKind::fan:
    case MeshKind::crossed: define_lattice(mesh); break;
    case MeshKind::none: break;
  }
}

}  // namespace malha
