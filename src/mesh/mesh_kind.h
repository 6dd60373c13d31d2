#pragma once
// The way each shape of mesh is built, decided in this one place; node
// placement, volume definition and the neighbour search each branch on it.
// Whether a mesh is a lattice, and which, is mesh/lattice.h's. Nothing here
// throws.

#include <cstdint>

#include "mesh/lattice.h"
#include "mesh/mesh.h"

namespace malha {

enum class MeshKind {
  none,     // levels below 1: no shape, nothing is sized or placed
  level_1,  // one cell cut by one diagonal: no lattice, its own fixed tables
  level_2,  // the crossed 1 x 1 lattice, built as one but for its four
            // corners, which it places at 0 and the spacings exactly
  fan,      // the fan pattern (odd levels from 3 on, fan lattices)
  crossed,  // the crossed pattern (even levels from 4 on, crossed lattices
            // of more than one cell)
};

constexpr MeshKind kind_of_lattice(LatticePattern pattern) {
  return pattern == LatticePattern::fan ? MeshKind::fan : MeshKind::crossed;
}

inline MeshKind mesh_kind(std::int32_t level) {
  if (level == 1) return MeshKind::level_1;
  if (level == 2) return MeshKind::level_2;
  const LatticeShape shape = level_lattice(level);
  return is_lattice(shape) ? kind_of_lattice(shape.pattern) : MeshKind::none;
}

// The kind of a mesh as sizing leaves it: levels 1 and 2 their own, any
// other lattice (cells set, whatever its level) its pattern's, else none.
constexpr MeshKind mesh_kind(const Mesh& mesh) {
  if (mesh.level == 1) return MeshKind::level_1;
  if (mesh.level == 2) return MeshKind::level_2;
  return is_lattice(mesh) ? kind_of_lattice(mesh.pattern) : MeshKind::none;
}

}  // namespace malha
