#include "mesh/size_mesh.h"

#include <cstdint>

#include "mesh/lattice.h"

namespace malha {

void size_mesh(Mesh& mesh) {
  if (mesh.level == 1) {
    // One cell cut by one diagonal: 2 triangles on the 4 corners, and a
    // fictitious volume and node beyond each side. No lattice.
    mesh.n_real_volumes = 2;
    mesh.n_fict_volumes = 4;
    mesh.n_volumes = 6;
    mesh.n_real_nodes = 4;
    mesh.n_fict_nodes = 4;
    mesh.n_nodes = 8;
    mesh.dx = mesh.dim_x;
    mesh.dy = mesh.dim_y;
    return;
  }
  const LatticeShape shape = level_lattice(mesh.level);
  if (shape.cells_x == 0) return;
  mesh.cells_x = shape.cells_x;
  mesh.cells_y = shape.cells_y;
  mesh.pattern = shape.pattern;
  size_lattice(mesh);
}

void size_lattice(Mesh& mesh) {
  const std::int32_t cx = mesh.cells_x;
  const std::int32_t cy = mesh.cells_y;
  mesh.level = lattice_level(cx, cy, mesh.pattern);
  const LatticeCounts counts = lattice_counts(cx, cy, mesh.pattern);
  mesh.n_real_volumes = static_cast<std::int32_t>(counts.n_real_volumes);
  mesh.n_fict_volumes = static_cast<std::int32_t>(counts.n_fict_volumes);
  mesh.n_volumes = static_cast<std::int32_t>(counts.n_volumes);
  mesh.n_real_nodes = static_cast<std::int32_t>(counts.n_real_nodes);
  mesh.n_fict_nodes = static_cast<std::int32_t>(counts.n_fict_nodes);
  mesh.n_nodes = static_cast<std::int32_t>(counts.n_nodes);
  const LatticeSideFigures figures = lattice_side_figures(cx, cy, mesh.pattern);
  mesh.nodes_per_side = figures.nodes_per_side;
  mesh.centres_per_side = figures.centres_per_side;
  mesh.fict_per_side = figures.fict_per_side;
  mesh.dx = mesh.dim_x / static_cast<double>(cx);
  mesh.dy = mesh.dim_y / static_cast<double>(cy);
  if (mesh.pattern == LatticePattern::fan) {
    mesh.two_dx = mesh.dx * 2;
    mesh.two_dy = mesh.dy * 2;
  } else {
    mesh.half_dx = mesh.dx / 2;
    mesh.half_dy = mesh.dy / 2;
  }
}

}  // namespace malha
