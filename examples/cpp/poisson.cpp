// Solves -Laplace(u) = f on a malha mesh by cell-centred finite volumes with
// the two-point flux, the problem and scheme of examples/poisson.py with
// --scheme two-point and u given on every side:
//
//   poisson [level [dim_x dim_y [grid.vtu]]]     (default: 10 1 1 poisson.vtu)
//
// One unknown per real volume. The exact solution is
// u = x^2 y + sin(pi x) sinh(pi y) / 10, so f = -2 y. Through the face e from
// volume i to its neighbour j the flux is |e| (u_j - u_i) / (d . n), d from
// i's barycentre to j's and n the unit normal from i to j; the ghost volume
// across a boundary face takes 2 g - u_i, g the exact value where d meets
// the face (the middle of the two barycentres). The sparse symmetric system
// is solved by Eigen's sparse Cholesky factorisation. The program prints
// the level, the lengths, h = sqrt(mean area of a real volume) and the
// area-weighted discrete L2 norm of u - exact at the barycentres, and writes
// the fields "u" and "error" (u - exact) to the grid file.
#include <malha/faces.h>
#include <malha/malha.h>
#include <malha/vtu.h>

#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <numbers>
#include <string>
#include <vector>

namespace {

double exact(double x, double y) {
  return x * x * y + std::sin(std::numbers::pi * x) * std::sinh(std::numbers::pi * y) / 10;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const int level = argc > 1 ? std::atoi(argv[1]) : 10;
    const double dim_x = argc > 3 ? std::atof(argv[2]) : 1.0;
    const double dim_y = argc > 3 ? std::atof(argv[3]) : 1.0;
    const std::string grid = argc > 4 ? argv[4] : "poisson.vtu";

    const malha::Mesh mesh = malha::build_mesh(level, dim_x, dim_y);
    const malha::Faces faces = malha::build_faces(mesh);
    const int n = mesh.n_real_volumes;
    const auto& bc = mesh.barycentres;

    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(static_cast<std::size_t>(n) + 4 * static_cast<std::size_t>(faces.n_faces));
    Eigen::VectorXd rhs(n);
    for (int v = 1; v <= n; ++v) rhs(v - 1) = -2.0 * bc(v, 2) * faces.volume_areas(v, 1);
    for (int f = 1; f <= faces.n_faces; ++f) {
      const int i = faces.face_owners(f, 1);
      const int j = faces.face_neighbours(f, 1);
      const double dn = (bc(j, 1) - bc(i, 1)) * faces.face_normals(f, 1) +
                        (bc(j, 2) - bc(i, 2)) * faces.face_normals(f, 2);
      const double t = faces.face_lengths(f, 1) / dn;
      if (f <= faces.n_interior_faces) {
        entries.emplace_back(i - 1, i - 1, t);
        entries.emplace_back(j - 1, j - 1, t);
        entries.emplace_back(i - 1, j - 1, -t);
        entries.emplace_back(j - 1, i - 1, -t);
      } else {  // ghost j = 2 g - u_i: t (u_i - u_j) = 2 t u_i - 2 t g
        const double g = exact((bc(i, 1) + bc(j, 1)) / 2, (bc(i, 2) + bc(j, 2)) / 2);
        entries.emplace_back(i - 1, i - 1, 2 * t);
        rhs(i - 1) += 2 * t * g;
      }
    }
    Eigen::SparseMatrix<double> matrix(n, n);
    matrix.setFromTriplets(entries.begin(), entries.end());
    const Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> solver(matrix);
    if (solver.info() != Eigen::Success) {
      std::fprintf(stderr, "poisson: the matrix could not be factorised\n");
      return 1;
    }
    const Eigen::VectorXd u = solver.solve(rhs);

    std::vector<double> error(static_cast<std::size_t>(n));
    double sum = 0.0;
    double area = 0.0;
    for (int v = 1; v <= n; ++v) {
      const auto k = static_cast<std::size_t>(v - 1);
      error[k] = u(v - 1) - exact(bc(v, 1), bc(v, 2));
      sum += faces.volume_areas(v, 1) * error[k] * error[k];
      area += faces.volume_areas(v, 1);
    }
    malha::write_vtu(mesh, grid,
                     {{"u", {u.data(), static_cast<std::size_t>(n)}}, {"error", error}});
    std::printf("level %d, lengths %g x %g, n_real_volumes %d, h %.17g, error %.17g\n", level,
                dim_x, dim_y, n, std::sqrt(area / n), std::sqrt(sum));
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "poisson: %s\n", failure.what());
    return 1;
  }
}
