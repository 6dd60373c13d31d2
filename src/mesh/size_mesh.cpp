#include "mesh/size_mesh.h"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "mesh/mesh_kind.h"

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
      break;
    }
    case MeshKind::none:
      break;
  }
}

}  // namespace malha
