#include "mesh/define_volumes.h"

#include <cassert>
#include <cstddef>
#include <cstdint>

#include "mesh/lattice_numbering.h"
#include "mesh/mesh_kind.h"

namespace malha {
namespace {

void store(Mesh& mesh, std::int32_t v, const std::int32_t (&nodes)[3]) {
  std::int32_t* row = mesh.volume_nodes.row(v);
  row[0] = nodes[0];
  row[1] = nodes[1];
  row[2] = nodes[2];
}

// Levels 1 and 2: one cell, fixed tables.
constexpr std::int32_t kLevel1[6][3] = {{1, 2, 3}, {2, 4, 3}, {5, 2, 1},
                                        {6, 4, 2}, {7, 3, 4}, {8, 1, 3}};
constexpr std::int32_t kLevel2[8][3] = {{5, 1, 2}, {5, 2, 4}, {5, 4, 3}, {5, 3, 1},
                                        {6, 2, 1}, {7, 4, 2}, {8, 3, 4}, {9, 1, 3}};

template <std::size_t Rows>
void define_fixed(Mesh& mesh, const std::int32_t (&table)[Rows][3]) {
  assert(mesh.n_volumes == static_cast<std::int32_t>(Rows));
  for (std::size_t v = 0; v < Rows; ++v) store(mesh, static_cast<std::int32_t>(v + 1), table[v]);
}

void define_lattice(Mesh& mesh, MeshKind kind) {
  const Lattice lattice = lattice_of(mesh, kind);
  assert(mesh.n_volumes == lattice.n_real_volumes + boundary_edges(lattice));
  for_each_lattice_volume(lattice, [&mesh](std::int32_t v, const LatticeVolume& volume) {
    store(mesh, v, volume.nodes);
  });
}

}  // namespace

void define_volumes(Mesh& mesh) {
  const MeshKind kind = mesh_kind(mesh);
  switch (kind) {
    case MeshKind::level_1: define_fixed(mesh, kLevel1); break;
    case MeshKind::level_2: define_fixed(mesh, kLevel2); break;
    case MeshKind::odd_lattice:
    case MeshKind::even_lattice: define_lattice(mesh, kind); break;
    case MeshKind::none: break;
  }
}

}  // namespace malha
