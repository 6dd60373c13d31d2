#pragma once
// The test problem of the Poisson examples (poisson.cpp, ../mpi/poisson_mpi.cpp):
// -Laplace(u) = f with the exact solution u = x^2 y + sin(pi x) sinh(pi y) / 10,
// so f = -2 y. Dirichlet conditions give u on every side; mixed ones give u
// on x = 0 and x = dim_x and the outward derivative du/dn on y = 0 and
// y = dim_y, each taken from the exact solution where d meets the face (the
// middle of the two barycentres).
#include <malha/faces.h>
#include <malha/malha.h>

#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace poisson_problem {

inline double exact(double x, double y) {
  return x * x * y + std::sin(std::numbers::pi * x) * std::sinh(std::numbers::pi * y) / 10;
}

inline double exact_dx(double x, double y) {
  constexpr double pi = std::numbers::pi;
  return 2 * x * y + pi * std::cos(pi * x) * std::sinh(pi * y) / 10;
}

inline double exact_dy(double x, double y) {
  constexpr double pi = std::numbers::pi;
  return x * x + pi * std::sin(pi * x) * std::cosh(pi * y) / 10;
}

// Each boundary face's condition (`neumann`: 1 for du/dn) and datum, in the
// order of the boundary faces of `faces`; sides 1 and 3 are y = 0 and y = dim_y.
struct BoundaryData {
  std::vector<char> neumann;
  std::vector<double> data;
};

inline BoundaryData boundary_data(const malha::Mesh& mesh, const malha::Faces& faces, bool mixed) {
  const auto& bc = mesh.barycentres;
  BoundaryData out{std::vector<char>(static_cast<std::size_t>(faces.n_boundary_faces)), {}};
  out.data.resize(out.neumann.size());
  for (int k = 0; k < faces.n_boundary_faces; ++k) {
    const int f = faces.n_interior_faces + k + 1;
    const int i = faces.face_owners(f, 1);
    const int j = faces.face_neighbours(f, 1);
    const double x = (bc(i, 1) + bc(j, 1)) / 2;
    const double y = (bc(i, 2) + bc(j, 2)) / 2;
    const int side = faces.face_sides(f, 1);
    out.neumann[k] = mixed && (side == 1 || side == 3);
    out.data[k] = out.neumann[k] ? exact_dx(x, y) * faces.face_normals(f, 1) +
                                       exact_dy(x, y) * faces.face_normals(f, 2)
                                 : exact(x, y);
  }
  return out;
}

// The source f = -2 y at real volume v's barycentre, times its area.
inline double source(const malha::Mesh& mesh, const malha::Faces& faces, int v) {
  return -2 * mesh.barycentres(v, 2) * faces.volume_areas(v, 1);
}

}  // namespace poisson_problem
