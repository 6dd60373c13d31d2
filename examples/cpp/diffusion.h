#pragma once
// The diffusion balance of the real volumes of a malha mesh, shared by the
// Poisson and heat examples: the C++ form of diffusion_solver of
// examples/diffusion.py, whose docstring states the balance, the two-point
// and corrected fluxes and the deferred correction. Here the two-point
// matrix is factorised once with Eigen's sparse LDL^T. The ghost of boundary
// face k takes the Dirichlet value data_k where neumann[k] is false, the
// outward derivative data_k where it is true, by the rule of
// <malha/faces/faces.h>.
#include <malha/cell_gradients.h>
#include <malha/faces.h>
#include <malha/malha.h>

#include <Eigen/Sparse>
#include <Eigen/SparseCholesky>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace diffusion {

enum class Scheme { two_point, corrected };

class Solver {
 public:
  // `neumann`: one flag a boundary face; `diagonal`: one value a real volume,
  // or empty for none. The solver copies what it needs of `mesh` and
  // `faces`, which may go once it is built. Throws std::runtime_error when
  // the matrix cannot be factorised (no Dirichlet face and no diagonal).
  Solver(const malha::Mesh& mesh, const malha::Faces& faces, std::vector<char> neumann,
         std::span<const double> diagonal, Scheme scheme, double tol = 1e-12,
         int max_iterations = 200)
      : n_(mesh.n_real_volumes), n_interior_(faces.n_interior_faces),
        n_boundary_(faces.n_boundary_faces), neumann_(std::move(neumann)), scheme_(scheme),
        tol_(tol), max_iterations_(max_iterations) {
    const auto n_faces = static_cast<std::size_t>(faces.n_faces);
    owner_.resize(n_faces);
    neighbour_.resize(n_faces);
    t_.resize(n_faces);
    dn_.resize(n_faces);
    skew_.resize(2 * n_faces);
    const malha::FaceGeometry geometry = malha::face_geometry(mesh, faces);
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(static_cast<std::size_t>(n_) + 4 * n_faces);
    for (std::int32_t v = 1; v <= n_; ++v) {
      entries.emplace_back(v - 1, v - 1, diagonal.empty() ? 0.0 : diagonal[v - 1]);
    }
    for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
      const auto k = static_cast<std::size_t>(f - 1);
      const int i = owner_[k] = faces.face_owners(f, 1);
      const int j = neighbour_[k] = faces.face_neighbours(f, 1);
      const double nx = faces.face_normals(f, 1);
      const double ny = faces.face_normals(f, 2);
      const double dx = geometry.face_deltas(f, 1);
      const double dy = geometry.face_deltas(f, 2);
      const double length = faces.face_lengths(f, 1);
      dn_[k] = geometry.normal_distances(f, 1);
      t_[k] = length / dn_[k];
      skew_[2 * k] = length * (nx - dx / dn_[k]);
      skew_[2 * k + 1] = length * (ny - dy / dn_[k]);
      if (f <= faces.n_interior_faces) {
        entries.emplace_back(i - 1, i - 1, t_[k]);
        entries.emplace_back(j - 1, j - 1, t_[k]);
        entries.emplace_back(i - 1, j - 1, -t_[k]);
        entries.emplace_back(j - 1, i - 1, -t_[k]);
      } else if (!neumann_[k - static_cast<std::size_t>(faces.n_interior_faces)]) {
        entries.emplace_back(i - 1, i - 1, 2 * t_[k]);  // t (u_i - (2 g - u_i))
      }
    }
    Eigen::SparseMatrix<double> matrix(n_, n_);
    matrix.setFromTriplets(entries.begin(), entries.end());
    ldlt_.compute(matrix);
    if (ldlt_.info() != Eigen::Success) throw std::runtime_error("the matrix cannot be factorised");
    if (scheme_ == Scheme::corrected) weights_ = malha::gradient_weights(mesh, faces);
  }

  // Solves for `u` (one value a real volume) from `b` (one a real volume)
  // and `data` (one a boundary face); returns the corrections taken (0 for
  // the two-point scheme). Throws std::runtime_error when the correction
  // does not settle within max_iterations.
  int solve(std::span<const double> b, std::span<const double> data, Eigen::VectorXd& u) const {
    const std::int32_t first = n_interior_;
    std::vector<double> offset(static_cast<std::size_t>(n_boundary_));
    Eigen::VectorXd rhs = Eigen::Map<const Eigen::VectorXd>(b.data(), n_);
    for (std::int32_t k = 0; k < n_boundary_; ++k) {
      const auto f = static_cast<std::size_t>(first + k);
      offset[k] = neumann_[k] ? dn_[f] * data[k] : 2 * data[k];  // ghost: offset -+ u_i
      rhs(owner_[f] - 1) += t_[f] * offset[k];
    }
    u = ldlt_.solve(rhs);
    if (scheme_ == Scheme::two_point) return 0;
    std::vector<double> values(static_cast<std::size_t>(n_ + n_boundary_));
    std::vector<double> grad(2 * static_cast<std::size_t>(n_));
    for (int step = 1; step <= max_iterations_; ++step) {
      for (std::int32_t v = 0; v < n_; ++v) values[v] = u(v);
      for (std::int32_t k = 0; k < n_boundary_; ++k) {
        const double own = u(owner_[static_cast<std::size_t>(first + k)] - 1);
        values[n_ + k] = (neumann_[k] ? own : -own) + offset[k];
      }
      malha::cell_gradients(weights_, values, grad);
      Eigen::VectorXd corrected = rhs;
      for (std::size_t k = 0; k < owner_.size(); ++k) {
        const auto i = static_cast<std::size_t>(owner_[k] - 1);
        if (k < static_cast<std::size_t>(first)) {  // the mean of the two volumes' gradients
          const auto j = static_cast<std::size_t>(neighbour_[k] - 1);
          const double flux = skew_[2 * k] * ((grad[2 * i] + grad[2 * j]) / 2) +
                              skew_[2 * k + 1] * ((grad[2 * i + 1] + grad[2 * j + 1]) / 2);
          corrected(static_cast<Eigen::Index>(i)) += flux;
          corrected(static_cast<Eigen::Index>(j)) -= flux;
        } else {  // the ghost takes its volume's gradient
          corrected(static_cast<Eigen::Index>(i)) +=
              skew_[2 * k] * grad[2 * i] + skew_[2 * k + 1] * grad[2 * i + 1];
        }
      }
      const Eigen::VectorXd next = ldlt_.solve(corrected);
      const bool settled = (next - u).norm() <= tol_ * next.norm();
      u = next;
      if (settled) return step;
    }
    throw std::runtime_error("no convergence in " + std::to_string(max_iterations_) + " steps");
  }

 private:
  std::int32_t n_, n_interior_, n_boundary_;  // real volumes, interior and boundary faces
  std::vector<std::int32_t> owner_, neighbour_;  // by face, 1-based volume numbers
  std::vector<char> neumann_;
  Scheme scheme_;
  double tol_;
  int max_iterations_;
  std::vector<double> t_, dn_, skew_;  // by face: |e| / (d . n), d . n, |e| (n - d / (d . n))
  malha::GradientWeights weights_;
  Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> ldlt_;
};

}  // namespace diffusion
