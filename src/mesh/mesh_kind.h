#pragma once
// The four shapes a mesh can have, decided in this one place; sizing, node
// placement, volume definition and the neighbour search each branch on it.
// Nothing here throws.

#include <cstdint>

#include "mesh/mesh.h"

namespace malha {

enum class MeshKind {
  none,          // levels below 1: no shape, nothing is sized or placed
  level_1,       // one cell cut by one diagonal
  level_2,       // one cell cut by both diagonals through a centre node
  odd_lattice,   // the fan pattern (odd levels from 3 on): blocks of 2 x 2 cells,
                 // 8 triangles each
  even_lattice,  // the crossed pattern (even levels from 4 on): cells with a
                 // centre node, 4 triangles each
};

constexpr MeshKind mesh_kind(std::int32_t level) {
  if (level == 1) return MeshKind::level_1;
  if (level == 2) return MeshKind::level_2;
  if (level >= 3) return level % 2 != 0 ? MeshKind::odd_lattice : MeshKind::even_lattice;
  return MeshKind::none;
}

// The shape of a mesh as sizing leaves it: levels 1 and 2 their own, a
// lattice (cells set, whatever its level) its pattern's, else none.
constexpr MeshKind mesh_kind(const Mesh& mesh) {
  if (mesh.level == 1 || mesh.level == 2) return mesh_kind(mesh.level);
  if (mesh.cells_x >= 1 && mesh.cells_y >= 1) {
    return mesh.pattern == LatticePattern::fan ? MeshKind::odd_lattice : MeshKind::even_lattice;
  }
  return MeshKind::none;
}

constexpr bool is_lattice(MeshKind kind) {
  return kind == MeshKind::odd_lattice || kind == MeshKind::even_lattice;
}

}  // namespace malha
