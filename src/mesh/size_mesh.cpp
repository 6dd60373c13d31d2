#include "mesh/size_mesh.h"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "mesh/lattice_numbering.h"
#include "mesh/mesh_kind.h"
#include "system/run_error.h"

namespace malha {
namespace {

// 2 to the power `exponent` as an exact 32-bit integer; 0 for negative
// exponents.
std::int32_t pow2(std::int32_t exponent) {
  assert(exponent <= 30);
  if (exponent < 0) return 0;
  return std::int32_t{1} << exponent;
}

// floor and ceiling of level / 2, taken on the real quotient.
std::int32_t floor_half(std::int32_t level) {
  return static_cast<std::int32_t>(std::floor(static_cast<double>(level) / 2.0));
}
std::int32_t ceil_half(std::int32_t level) {
  return static_cast<std::int32_t>(std::ceil(static_cast<double>(level) / 2.0));
}

}  // namespace

void size_mesh(Mesh& mesh) {
  const std::int32_t level = mesh.level;
  mesh.n_real_volumes = pow2(level);
  mesh.n_fict_volumes = pow2(ceil_half(level) + 1);
  mesh.n_volumes = mesh.n_real_volumes + mesh.n_fict_volumes;

  switch (mesh_kind(level)) {
    case MeshKind::level_1:
      mesh.n_real_nodes = 4;
      mesh.n_fict_nodes = 4;
      mesh.n_nodes = 8;
      mesh.dx = mesh.dim_x;
      mesh.dy = mesh.dim_y;
      break;
    case MeshKind::level_2:
      mesh.n_real_nodes = 5;
      mesh.n_fict_nodes = 4;
      mesh.n_nodes = 9;
      mesh.dx = mesh.dim_x;
      mesh.dy = mesh.dim_y;
      mesh.half_dx = mesh.dx / 2;
      mesh.half_dy = mesh.dy / 2;
      mesh.cells_x = 1;
      mesh.cells_y = 1;
      mesh.pattern = LatticePattern::crossed;
      break;
    case MeshKind::odd_lattice: {
      const std::int32_t k = floor_half(level);
      mesh.nodes_per_side = pow2(k) + 1;
      mesh.n_real_nodes = mesh.nodes_per_side * mesh.nodes_per_side;
      mesh.n_fict_nodes = pow2(k + 1);
      mesh.fict_per_side = mesh.n_fict_nodes / 4;
      mesh.n_nodes = mesh.n_fict_nodes + mesh.n_real_nodes;
      mesh.dx = mesh.dim_x / static_cast<double>(mesh.nodes_per_side - 1);
      mesh.dy = mesh.dim_y / static_cast<double>(mesh.nodes_per_side - 1);
      mesh.two_dx = mesh.dx * 2;
      mesh.two_dy = mesh.dy * 2;
      mesh.cells_x = mesh.nodes_per_side - 1;
      mesh.cells_y = mesh.cells_x;
      mesh.pattern = LatticePattern::fan;
      break;
    }
    case MeshKind::even_lattice: {
      const std::int32_t k = floor_half(level);
      mesh.nodes_per_side = pow2(k - 1) + 1;
      mesh.centres_per_side = pow2(k - 1);
      mesh.n_real_nodes = mesh.centres_per_side * mesh.centres_per_side +
                          mesh.nodes_per_side * mesh.nodes_per_side;
      mesh.n_fict_nodes = pow2(k + 1);
      mesh.fict_per_side = mesh.n_fict_nodes / 4;
      mesh.n_nodes = mesh.n_fict_nodes + mesh.n_real_nodes;
      mesh.dx = mesh.dim_x / static_cast<double>(mesh.nodes_per_side - 1);
      mesh.dy = mesh.dim_y / static_cast<double>(mesh.nodes_per_side - 1);
      mesh.half_dx = mesh.dx / 2;
      mesh.half_dy = mesh.dy / 2;
      mesh.cells_x = mesh.centres_per_side;
      mesh.cells_y = mesh.cells_x;
      mesh.pattern = LatticePattern::crossed;
      break;
    }
    case MeshKind::none:
      break;
  }
}

std::int32_t lattice_level(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern) {
  // The levels' lattices are square, of 2^k cells a side: crossed from
  // 2^0 (level 2) to 2^14 (level 30), fan from 2^1 (level 3) to 2^14
  // (level 29).
  if (cells_x != cells_y || cells_x < 1 || (cells_x & (cells_x - 1)) != 0) return 0;
  std::int32_t k = 0;
  while ((std::int64_t{1} << k) < cells_x) ++k;
  const std::int32_t level = pattern == LatticePattern::crossed ? 2 * k + 2 : 2 * k + 1;
  return level >= 2 && level <= kMaxLevel ? level : 0;
}

void size_lattice(Mesh& mesh) {
  mesh.level = lattice_level(mesh.cells_x, mesh.cells_y, mesh.pattern);
  if (mesh.level == 2) {
    // The one cell of level 2: its own fields, and its own construction.
    size_mesh(mesh);
    return;
  }
  const std::int32_t cx = mesh.cells_x;
  const std::int32_t cy = mesh.cells_y;
  const bool fan = mesh.pattern == LatticePattern::fan;
  const LatticeCounts counts = lattice_counts(cx, cy, mesh.pattern);
  mesh.n_real_volumes = static_cast<std::int32_t>(counts.n_real_volumes);
  mesh.n_fict_volumes = static_cast<std::int32_t>(counts.n_fict_volumes);
  mesh.n_volumes = static_cast<std::int32_t>(counts.n_volumes);
  mesh.n_real_nodes = static_cast<std::int32_t>(counts.n_real_nodes);
  mesh.n_fict_nodes = static_cast<std::int32_t>(counts.n_fict_nodes);
  mesh.n_nodes = static_cast<std::int32_t>(counts.n_nodes);
  if (cx == cy) {
    mesh.nodes_per_side = cx + 1;
    mesh.centres_per_side = fan ? 0 : cx;
    mesh.fict_per_side = mesh.n_fict_nodes / 4;
  }
  mesh.dx = mesh.dim_x / static_cast<double>(cx);
  mesh.dy = mesh.dim_y / static_cast<double>(cy);
  if (fan) {
    mesh.two_dx = mesh.dx * 2;
    mesh.two_dy = mesh.dy * 2;
  } else {
    mesh.half_dx = mesh.dx / 2;
    mesh.half_dy = mesh.dy / 2;
  }
}

}  // namespace malha
