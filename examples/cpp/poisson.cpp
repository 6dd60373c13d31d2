// Solves -Laplace(u) = f on a malha mesh by cell-centred finite volumes, the
// problems and schemes of examples/poisson.py:
//
//   poisson [--level L | --cells NX NY [--pattern crossed|fan]] [--lengths X Y]
//           [--scheme two-point|corrected] [--boundary dirichlet|mixed] [--grid FILE.vtu]
//   (defaults: --level 10 --lengths 2 1 --scheme corrected --boundary dirichlet)
//
// The mesh is the level's or the lattice of NX x NY cells (crossed unless
// --pattern fan). One unknown per real volume. The exact solution is
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
#include "poisson_problem.h"

namespace {

using poisson_problem::exact;

struct Options {
  int level = 10;
  bool is_lattice = false;  // --cells given
  long long cells_x = 0;
  long long cells_y = 0;
  malha::LatticePattern pattern = malha::LatticePattern::crossed;
  bool has_pattern = false;
  double dim_x = 2.0;
  double dim_y = 1.0;
  diffusion::Scheme scheme = diffusion::Scheme::corrected;
  bool mixed = false;
  std::string grid;
};

[[noreturn]] void usage(const std::string& why) {
  throw std::invalid_argument(
      why + "\nusage: poisson [--level L | --cells NX NY [--pattern crossed|fan]] [--lengths X Y] "
            "[--scheme two-point|corrected] [--boundary dirichlet|mixed] [--grid FILE.vtu]");
}

double number(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0') usage(std::string("not a number: ") + text);
  return value;
}

long long whole(const char* text) {
  const double value = number(text);
  if (value != std::floor(value) || std::fabs(value) > 1e15) {
    usage(std::string("not a whole number: ") + text);
  }
  return static_cast<long long>(value);
}

Options parse(int argc, char** argv) {
  Options o;
  bool has_level = false;
  for (int a = 1; a < argc; ++a) {
    const std::string option = argv[a];
    const auto operand = [&](int count) {
      if (a + count >= argc) usage(option + " needs " + std::to_string(count) + " value(s)");
      a += count;
      return argv + a - count + 1;
    };
    if (option == "--level") {
      const long long level = whole(*operand(1));
      // Beyond int, a level build_mesh refuses as well.
      o.level = static_cast<int>(std::clamp(level, -1LL, 99LL));
      has_level = true;
    } else if (option == "--cells") {
      char** values = operand(2);
      o.cells_x = whole(values[0]);
      o.cells_y = whole(values[1]);
      o.is_lattice = true;
    } else if (option == "--pattern") {
      const std::string pattern = *operand(1);
      if (pattern != "crossed" && pattern != "fan") usage("unknown pattern " + pattern);
      o.pattern = pattern == "fan" ? malha::LatticePattern::fan : malha::LatticePattern::crossed;
      o.has_pattern = true;
    } else if (option == "--lengths") {
      char** values = operand(2);
      o.dim_x = number(values[0]);
      o.dim_y = number(values[1]);
    } else if (option == "--scheme") {
      const std::string scheme = *operand(1);
      if (scheme == "two-point") {
        o.scheme = diffusion::Scheme::two_point;
      } else if (scheme == "corrected") {
        o.scheme = diffusion::Scheme::corrected;
      } else {
        usage("unknown scheme " + scheme);
      }
    } else if (option == "--boundary") {
      const std::string boundary = *operand(1);
      if (boundary != "dirichlet" && boundary != "mixed") usage("unknown boundary " + boundary);
      o.mixed = boundary == "mixed";
    } else if (option == "--grid") {
      o.grid = *operand(1);
    } else {
      usage("unknown option " + option);
    }
  }
  if (has_level && o.is_lattice) usage("--level and --cells exclude each other");
  if (o.has_pattern && !o.is_lattice) usage("--pattern goes with --cells");
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = parse(argc, argv);
    const malha::Mesh mesh =
        o.is_lattice ? malha::build_lattice_mesh(o.cells_x, o.cells_y, o.dim_x, o.dim_y, o.pattern)
                       : malha::build_mesh(o.level, o.dim_x, o.dim_y);
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
    const std::string shape =
        o.is_lattice ? "cells " + std::to_string(o.cells_x) + " x " + std::to_string(o.cells_y) +
                             ", pattern " +
                             (o.pattern == malha::LatticePattern::fan ? "fan" : "crossed")
                       : "level " + std::to_string(o.level);
    std::printf("%s, lengths %g x %g, scheme %s, boundary %s, n_real_volumes %d, "
                "iterations %d, h %.17g, error %.17g\n",
                shape.c_str(), o.dim_x, o.dim_y,
                o.scheme == diffusion::Scheme::corrected ? "corrected" : "two-point",
                o.mixed ? "mixed" : "dirichlet", n, steps, std::sqrt(area / n), std::sqrt(sum));
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "poisson: %s\n", failure.what());
    return 1;
  }
}
