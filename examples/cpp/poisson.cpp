// Solves -Laplace(u) = f on a malha mesh by cell-centred finite volumes, the
// problems and schemes of examples/poisson.py:
//
//   poisson [--level L | --cells NX NY [--pattern crossed|fan]
//            [--grading RX RY [--two-sided]]] [--lengths X Y]
//           [--scheme two-point|corrected] [--boundary dirichlet|mixed] [--grid FILE.vtu]
//   (defaults: --level 10 --lengths 2 1 --scheme corrected --boundary dirichlet)
//
// The mesh is the level's or the lattice of NX x NY cells (crossed unless
// --pattern fan), graded with --grading RX RY (options.h). One unknown per
// real volume. The exact solution is
// u = x^2 y + sin(pi x) sinh(pi y) / 10, so f = -2 y (at the barycentre,
// times the area). --boundary dirichlet imposes u on every side; mixed
// imposes u on x = 0 and x = dim_x and the outward derivative du/dn on
// y = 0 and y = dim_y, each taken from the exact solution where d meets the
// face (the middle of the two barycentres). The fluxes and the ghosts'
// values are those of diffusion.h. The program prints one line: the mesh
// (its level, or its cells and pattern),
// the scheme, the corrections taken, h = sqrt(mean area of a real volume)
// and, last, the area-weighted discrete L2 norm of u - exact at the
// barycentres ("error E"). With --grid it writes the fields "u" and "error"
// (u - exact) to that grid file.
#include <malha/faces.h>
#include <malha/malha.h>
#include <malha/vtu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "diffusion.h"
#include "options.h"
#include "poisson_problem.h"

namespace {

using poisson_problem::exact;

constexpr const char* kUsage =
    "usage: poisson [--level L | --cells NX NY [--pattern crossed|fan]\n"
    "                [--grading RX RY [--two-sided]]] [--lengths X Y]\n"
    "               [--scheme corrected|two-point] [--boundary dirichlet|mixed] [--grid FILE.vtu]\n"
    "(defaults: --level 10 --lengths 2 1 --scheme corrected --boundary dirichlet; no grid)\n";

struct Options {
  options::MeshChoice mesh;
  diffusion::Scheme scheme = diffusion::Scheme::corrected;
  bool mixed = false;
  std::string grid;
};

Options parse(const options::Reader& r) {
  Options o;
  o.mesh = options::mesh_choice(r, 10);
  o.scheme = r.choice("--scheme", {"corrected", "two-point"}) == "corrected"
                 ? diffusion::Scheme::corrected
                 : diffusion::Scheme::two_point;
  o.mixed = r.choice("--boundary", {"dirichlet", "mixed"}) == "mixed";
  o.grid = r.text("--grid");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const int ended =
      options::read_command_line(argc, argv, {{"--boundary", 1}, {"--grid", 1}}, "poisson", kUsage, parse, o);
  if (ended >= 0) return ended;
  try {
    const malha::Mesh mesh = options::build(o.mesh);
    const malha::Faces faces = malha::build_faces(mesh);
    const int n = mesh.n_real_volumes;
    const auto& bc = mesh.barycentres;

    const auto [neumann, data] = poisson_problem::boundary_data(mesh, faces, o.mixed);
    std::vector<double> b(static_cast<std::size_t>(n));
    for (int v = 1; v <= n; ++v) b[v - 1] = poisson_problem::source(mesh, faces, v);

    const diffusion::Solver solver(mesh, faces, neumann, {}, o.scheme);
    Eigen::VectorXd u;
    const int steps = solver.solve(b, data, u);

    std::vector<double> error(static_cast<std::size_t>(n));
    double sum = 0.0;
    double area = 0.0;
    for (int v = 1; v <= n; ++v) {
      const auto k = static_cast<std::size_t>(v - 1);
      error[k] = u(v - 1) - exact(bc(v, 1), bc(v, 2));
      sum += faces.volume_areas(v, 1) * error[k] * error[k];
      area += faces.volume_areas(v, 1);
    }
    if (!o.grid.empty()) {
      malha::write_vtu(mesh, o.grid,
                       {{"u", {u.data(), static_cast<std::size_t>(n)}}, {"error", error}});
    }
    const std::string shape = options::describe(o.mesh);
    std::printf("%s, lengths %g x %g, scheme %s, boundary %s, n_real_volumes %d, "
                "iterations %d, h %.17g, error %.17g\n",
                shape.c_str(), o.mesh.dim_x, o.mesh.dim_y,
                o.scheme == diffusion::Scheme::corrected ? "corrected" : "two-point",
                o.mixed ? "mixed" : "dirichlet", n, steps, std::sqrt(area / n), std::sqrt(sum));
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "poisson: %s\n", failure.what());
    return 1;
  }
}
