#include "mesh/size_mesh.h"

#include <cstdint>
#include <new>
#include <vector>

#include "mesh/lattice.h"
#include "mesh/lattice_lines.h"
#include "system/run_error.h"

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

namespace {

// One axis of a lattice: its lines as given (`lines` not empty: its step
// when they are equal steps, else 0), or else the equal steps of `length`
// over `cells`, whose lines it stores: line i is i x step, the last the
// length itself except on a level's mesh, where cells x step is the length
// already (but for lengths so small that the step is rounded).
double size_axis(std::vector<double>& lines, std::int32_t cells, double length,
                 bool level_mesh) {
  if (!lines.empty()) return equal_step(lines).value_or(0.0);
  const double step = length / static_cast<double>(cells);
  try {
    lines.resize(static_cast<std::size_t>(cells) + 1);
  } catch (const std::bad_alloc&) {
    fail(RunError::allocate);
  }
  for (std::int32_t i = 0; i < cells; ++i) lines[i] = lattice_offset(i + 1, step);
  lines[cells] = level_mesh ? lattice_offset(cells + 1, step) : length;
  return step;
}

}  // namespace

void size_lattice(Mesh& mesh) {
  const std::int32_t cx = mesh.cells_x;
  const std::int32_t cy = mesh.cells_y;
  // Given lines make a level's mesh only when they are its equal steps.
  const bool x_equal = mesh.x_lines.empty() || equal_step(mesh.x_lines).has_value();
  const bool y_equal = mesh.y_lines.empty() || equal_step(mesh.y_lines).has_value();
  mesh.level = x_equal && y_equal ? lattice_level(cx, cy, mesh.pattern) : 0;
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
  const bool level_mesh = mesh.level != 0;
  mesh.dx = size_axis(mesh.x_lines, cx, mesh.dim_x, level_mesh);
  mesh.dy = size_axis(mesh.y_lines, cy, mesh.dim_y, level_mesh);
  if (mesh.pattern == LatticePattern::fan) {
    mesh.two_dx = mesh.dx * 2;
    mesh.two_dy = mesh.dy * 2;
  } else {
    mesh.half_dx = mesh.dx / 2;
    mesh.half_dy = mesh.dy / 2;
  }
}

void set_lattice_lines(Mesh& mesh, std::span<const double> xs, std::span<const double> ys,
                       LatticePattern pattern) {
  mesh.cells_x = static_cast<std::int32_t>(xs.size() - 1);
  mesh.cells_y = static_cast<std::int32_t>(ys.size() - 1);
  mesh.pattern = pattern;
  mesh.dim_x = xs.back();
  mesh.dim_y = ys.back();
  try {
    mesh.x_lines.assign(xs.begin(), xs.end());
    mesh.y_lines.assign(ys.begin(), ys.end());
  } catch (const std::bad_alloc&) {
    fail(RunError::allocate);
  }
}

}  // namespace malha
