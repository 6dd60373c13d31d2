#include "mesh/place_nodes.h"

#include <cassert>
#include <cstdint>

#include "mesh/lattice.h"
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

// Level 1, no lattice: the four corners of the one cell, then each
// fictitious node mirroring the corner opposite a boundary edge.
void place_level_1(Mesh& mesh) {
  const double dx = mesh.dx;
  const double dy = mesh.dy;
  NodeWriter nodes(mesh);
  nodes.add(0.0, 0.0);
  nodes.add(dx, 0.0);
  nodes.add(0.0, dy);
  nodes.add(dx, dy);
  nodes.add(0.0, -dy);
  nodes.add(2 * dx, dy);
  nodes.add(dx, 2 * dy);
  nodes.add(-dx, 0.0);
  assert(nodes.last_node() == mesh.n_nodes);
}

// A lattice: its nodes row by row, in the crossed pattern the cell centres
// in the same order, then the fictitious nodes, each where mesh/lattice.h
// places it.
void place_lattice(Mesh& mesh) {
  NodeWriter nodes(mesh);
  const LatticeSpacings at = lattice_spacings(mesh);
  // Lattice nodes in a row and in a column. The last column is apart, so
  // that the loop over the others carries no test of the far side.
  const std::int32_t nx = lattice_nodes_along(at.x.cells);
  const std::int32_t ny = lattice_nodes_along(at.y.cells);
  for (std::int32_t j = 1; j <= ny; ++j) {
    const double y = lattice_y(at, j);
    for (std::int32_t i = 1; i < nx; ++i) nodes.add(lattice_x(at, i), y);
    nodes.add(lattice_x(at, nx), y);
  }
  if (!at.fan) {
    for (std::int32_t j = 1; j <= at.y.cells; ++j) {
      const double y = centre_y(at, j);
      for (std::int32_t i = 1; i <= at.x.cells; ++i) nodes.add(centre_x(at, i), y);
    }
  }
  for (std::int32_t f = 1; f <= mesh.n_fict_nodes; ++f) {
    const NodeCoords node = fictitious_node_coords(at, f);
    nodes.add(node.x, node.y);
  }
  assert(nodes.last_node() == mesh.n_nodes);
}

// Level 2 is the crossed 1 x 1 lattice, but places its corners at 0 and the
// spacings themselves, where the lattice's (i - 1) x dx gives a 0 of the
// spacing's sign (-0 for a negative length).
void place_level_2(Mesh& mesh) {
  place_lattice(mesh);
  const double corners[4][2] = {{0.0, 0.0}, {mesh.dx, 0.0}, {0.0, mesh.dy}, {mesh.dx, mesh.dy}};
  for (std::int32_t n = 1; n <= 4; ++n) {
    mesh.node_coords(n, 1) = corners[n - 1][0];
    mesh.node_coords(n, 2) = corners[n - 1][1];
  }
}

}  // namespace

void place_nodes(Mesh& mesh) {
  switch (mesh_kind(mesh)) {
    case MeshKind::level_1: place_level_1(mesh); break;
    case MeshKind::level_2: place_level_2(mesh); break;
    case MeshKind::fan:
    case MeshKind::crossed: place_lattice(mesh); break;
    case MeshKind::none: break;
  }
}

}  // namespace malha
