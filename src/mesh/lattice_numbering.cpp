#include "mesh/lattice_numbering.h"

#include <cassert>
#include <cstdint>

namespace malha {
namespace {

std::int32_t side_edges_of(MeshKind kind) { return kind == MeshKind::odd_lattice ? 2 : 1; }

// The lattice node at place i (0 .. 4 (n - 1)) of the boundary, counted
// anticlockwise from the lower-left corner, which is place 0 and 4 (n - 1).
std::int32_t boundary_node(const Lattice& lattice, std::int32_t i) {
  const std::int32_t n = lattice.n;
  const std::int32_t side = n - 1;
  const std::int32_t u = i % side;
  switch ((i / side) % 4) {
    case 0: return 1 + u;                // bottom, left to right
    case 1: return (u + 1) * n;          // right side, upward
    case 2: return n * n - u;            // top, right to left
    default: return (side - u) * n + 1;  // left side, downward
  }
}

}  // namespace

Lattice lattice_of(const Mesh& mesh, MeshKind kind) {
  assert(is_lattice(kind));
  Lattice lattice;
  lattice.n = mesh.nodes_per_side;
  lattice.side_edges = side_edges_of(kind);
  lattice.fans = (lattice.n - 1) / lattice.side_edges;
  lattice.n_real_nodes = mesh.n_real_nodes;
  lattice.n_real_volumes = 4 * lattice.side_edges * lattice.fans * lattice.fans;
  return lattice;
}

bool lattice_counts_fit(const Mesh& mesh, MeshKind kind) {
  if (!is_lattice(kind)) return false;
  const std::int64_t w = side_edges_of(kind);
  const std::int64_t n = mesh.nodes_per_side;
  // A bound well above the 2^14 + 1 nodes per side of levels 29 and 30
  // keeps every product below within 64 bits.
  if (n < 3 || n > (1 << 15) + 1 || (n - 1) % w != 0) return false;
  const std::int64_t fans = (n - 1) / w;
  const std::int64_t centres = w == 1 ? fans * fans : 0;
  const std::int64_t real_nodes = n * n + centres;
  const std::int64_t volumes = 4 * w * fans * fans + 4 * (n - 1);
  return mesh.n_real_nodes == real_nodes && mesh.n_nodes == real_nodes + 4 * fans &&
         mesh.n_volumes == volumes;
}

LatticeVolume fictitious_volume(const Lattice& lattice, std::int32_t e) {
  const std::int32_t w = lattice.side_edges;
  const std::int32_t fans = lattice.fans;
  const std::int32_t side = lattice.n - 1;
  const std::int32_t fict_node = lattice.n_real_nodes + (e - 1) / w + 1;

  // The real triangle across the edge: on the fan at that place of the
  // side, on the fan's side that lies on the boundary.
  const std::int32_t boundary_side = (e - 1) / side;
  const std::int32_t along = (e - 1) % side;
  const std::int32_t fan_along = along / w;
  const std::int32_t place = along % w;
  std::int32_t r = 0;
  std::int32_t s = 0;
  switch (boundary_side) {
    case 0: r = 1; s = fan_along + 1; break;
    case 1: r = fan_along + 1; s = fans; break;
    case 2: r = fans; s = fans - fan_along; break;
    default: r = fans - fan_along; s = 1; break;
  }
  const std::int32_t real = 4 * w * ((r - 1) * fans + s - 1) + boundary_side * w + place + 1;

  LatticeVolume volume{{fict_node, boundary_node(lattice, e), boundary_node(lattice, e - 1)},
                       {real, 0, 0}};
  // At odd levels the two volumes of one fictitious node meet each other.
  if (w == 2) {
    volume.neighbours[1] = lattice.n_real_volumes + (place == 0 ? e + 1 : e - 1);
  }
  return volume;
}

}  // namespace malha
