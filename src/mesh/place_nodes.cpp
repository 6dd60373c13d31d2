#include "mesh/place_nodes.h"

#include <cassert>
#include <cstdint>

#include "mesh/mesh_kind.h"

namespace malha {
namespace {

// Stores nodes in ascending rows, starting at row 1.
class NodeWriter {
 public:
  explicit NodeWriter(Mesh& mesh) : coords_(mesh.node_coords) {}

  void add(double x, double y) {
    ++node_;
    double* row = coords_.row(node_);
    row[0] = x;
    row[1] = y;
  }

  std::int32_t last_node() const { return node_; }

 private:
  MeshTable<double, 2>& coords_;
  std::int32_t node_ = 0;
};

// (index - 1) times the spacing, rounded on its own.
double offset(std::int32_t index, double spacing) {
  return static_cast<double>(index - 1) * spacing;
}

// Levels 1 and 2: the four corners of the one cell, then the level's own
// nodes.
void place_one_cell(Mesh& mesh, MeshKind kind) {
  const double dx = mesh.dx;
  const double dy = mesh.dy;
  NodeWriter nodes(mesh);
  nodes.add(0.0, 0.0);
  nodes.add(dx, 0.0);
  nodes.add(0.0, dy);
  nodes.add(dx, dy);
  if (kind == MeshKind::level_1) {
    // Each fictitious node mirrors the corner opposite a boundary edge.
    nodes.add(0.0, -dy);
    nodes.add(2 * dx, dy);
    nodes.add(dx, 2 * dy);
    nodes.add(-dx, 0.0);
  } else {
    // The centre, then its mirror image in each side.
    const double half_dx = mesh.half_dx;
    const double half_dy = mesh.half_dy;
    nodes.add(half_dx, half_dy);
    nodes.add(half_dx, -half_dy);
    nodes.add(dx + half_dx, half_dy);
    nodes.add(half_dx, dy + half_dy);
    nodes.add(-half_dx, half_dy);
  }
  assert(nodes.last_node() == mesh.n_nodes);
}

// A level's spacing is its length over a power of 2, and its last column
// and row, cells x spacing, lie at the lengths themselves. Over other
// counts of cells that product can miss the length by a rounding, so a
// lattice that is no level's places its last column at `dim_x` and its
// last row at `dim_y`: the nodes cover the rectangle exactly, and its far
// corner gives the lengths back.
void place_lattice(Mesh& mesh, NodeWriter& nodes) {
  const std::int32_t nx = mesh.cells_x + 1;
  const std::int32_t ny = mesh.cells_y + 1;
  const bool far_sides_at_lengths = mesh.level == 0;
  for (std::int32_t j = 1; j <= ny; ++j) {
    const double y = far_sides_at_lengths && j == ny ? mesh.dim_y : offset(j, mesh.dy);
    for (std::int32_t i = 1; i < nx; ++i) nodes.add(offset(i, mesh.dx), y);
    nodes.add(far_sides_at_lengths ? mesh.dim_x : offset(nx, mesh.dx), y);
  }
}

// The four runs of fictitious nodes, anticlockwise: `along_x` along the
// bottom and the top, `along_y` along the right and the left side, at
// (i - 1) x `step` + `offset`, one `offset` outside the side.
void place_fictitious_runs(Mesh& mesh, NodeWriter& nodes, std::int32_t along_x,
                           std::int32_t along_y, double step_x, double step_y, double offset_x,
                           double offset_y) {
  for (std::int32_t i = 1; i <= along_x; ++i) {
    nodes.add(offset(i, step_x) + offset_x, -offset_y);
  }
  for (std::int32_t i = 1; i <= along_y; ++i) {
    nodes.add(mesh.dim_x + offset_x, offset(i, step_y) + offset_y);
  }
  for (std::int32_t i = along_x; i >= 1; --i) {
    nodes.add(offset(i, step_x) + offset_x, mesh.dim_y + offset_y);
  }
  for (std::int32_t i = along_y; i >= 1; --i) {
    nodes.add(-offset_x, offset(i, step_y) + offset_y);
  }
  assert(nodes.last_node() == mesh.n_nodes);
}

// The fan pattern: one fictitious node for each pair of boundary edges,
// opposite the lattice node at an odd position along the side.
void place_fan_lattice(Mesh& mesh) {
  NodeWriter nodes(mesh);
  place_lattice(mesh, nodes);
  place_fictitious_runs(mesh, nodes, mesh.cells_x / 2, mesh.cells_y / 2, mesh.two_dx,
                        mesh.two_dy, mesh.dx, mesh.dy);
}

// The crossed pattern: a centre node in every cell, and one fictitious node
// per boundary edge: the centre of the boundary cell mirrored in its side.
void place_crossed_lattice(Mesh& mesh) {
  NodeWriter nodes(mesh);
  place_lattice(mesh, nodes);
  for (std::int32_t j = 1; j <= mesh.cells_y; ++j) {
    const double y = offset(j, mesh.dy) + mesh.half_dy;
    for (std::int32_t i = 1; i <= mesh.cells_x; ++i) {
      nodes.add(offset(i, mesh.dx) + mesh.half_dx, y);
    }
  }
  // A sum of two doubles does not depend on the order of its terms, so the
  // right and top runs may add the half spacing to the length.
  place_fictitious_runs(mesh, nodes, mesh.cells_x, mesh.cells_y, mesh.dx, mesh.dy, mesh.half_dx,
                        mesh.half_dy);
}

}  // namespace

void place_nodes(Mesh& mesh) {
  const MeshKind kind = mesh_kind(mesh);
  switch (kind) {
    case MeshKind::level_1:
    case MeshKind::level_2: place_one_cell(mesh, kind); break;
    case MeshKind::odd_lattice: place_fan_lattice(mesh); break;
    case MeshKind::even_lattice: place_crossed_lattice(mesh); break;
    case MeshKind::none: break;
  }
}

}  // namespace malha
