// Solves the heat equation u_t = Laplace(u) on a malha mesh, the problem of
// examples/heat.py, and writes every step as a time series:
//
//   heat [--level L | --cells NX NY [--pattern crossed|fan]] [--lengths X Y]
//        [--scheme corrected|two-point] [--steps N] [--end T] [--every K] [--folder DIR]
//   (defaults: --level 12 --lengths 2 1 --scheme corrected --steps 200 --end 0.1
//    --every 20; no series without --folder)
//
// The rectangle [0, dim_x] x [0, dim_y] starts from its slowest mode
// sin(pi x / dim_x) sin(pi y / dim_y) with u = 0 on every side, so the exact
// solution is that mode times exp(-pi^2 (1/dim_x^2 + 1/dim_y^2) t). Each step
// is one implicit Euler step of the scheme of diffusion.h (the balance's
// diagonal area / dt, factorised once):
//
//   area / dt (u_new - u_old) = sum over the faces of the flux of grad u_new.
//
// With --folder DIR every step goes to DIR/heat.pvd through malha::TimeSeries
// (one grid file per step, cell data "u"). The program prints the mode's amplitude, the
// area-weighted projection of u on the mode, as a decay from t = 0 against
// the exact one, every K steps and at the last.
#include <malha/faces.h>
#include <malha/malha.h>
#include <malha/vtu.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "diffusion.h"
#include "options.h"

namespace {

constexpr double kPi = std::numbers::pi;

constexpr const char* kUsage =
    "usage: heat [--level L | --cells NX NY [--pattern crossed|fan]\n"
    "             [--grading RX RY [--two-sided]]] [--lengths X Y]\n"
    "            [--scheme corrected|two-point] [--steps N] [--end T] [--every K] [--folder DIR]\n"
    "(defaults: --level 12 --lengths 2 1 --scheme corrected --steps 200 --end 0.1 --every 20;\n"
    " the series of every step goes to DIR/heat.pvd, and without --folder nowhere)\n";

struct Options {
  options::MeshChoice mesh;
  diffusion::Scheme scheme = diffusion::Scheme::corrected;
  int steps = 200;
  double end = 0.1;
  std::string folder;  // empty: no series
  int every = 20;
};

Options parse(const options::Reader& r) {
  Options o;
  o.mesh = options::mesh_choice(r, 12);
  o.scheme = r.choice("--scheme", {"corrected", "two-point"}) == "corrected"
                 ? diffusion::Scheme::corrected
                 : diffusion::Scheme::two_point;
  o.steps = static_cast<int>(std::min(r.whole("--steps", 200, 1), 1000000000LL));
  o.end = r.number("--end", 0.1);
  o.folder = r.text("--folder");
  o.every = static_cast<int>(std::min(r.whole("--every", 20, 1), 1000000000LL));
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  const int ended =
      options::read_command_line(argc, argv, {{"--steps", 1}, {"--end", 1}, {"--every", 1}, {"--folder", 1}}, "heat", kUsage, parse, o);
  if (ended >= 0) return ended;
  try {
    const auto began = std::chrono::steady_clock::now();
    const malha::Mesh mesh = options::build(o.mesh);
    const malha::Faces faces = malha::build_faces(mesh);
    const int n = mesh.n_real_volumes;
    const double dt = o.end / o.steps;
    std::vector<double> diagonal(static_cast<std::size_t>(n)), mode(diagonal.size());
    for (int v = 1; v <= n; ++v) {
      diagonal[v - 1] = faces.volume_areas(v, 1) / dt;
      mode[v - 1] = std::sin(kPi * mesh.barycentres(v, 1) / o.mesh.dim_x) *
                    std::sin(kPi * mesh.barycentres(v, 2) / o.mesh.dim_y);
    }
    const std::vector<char> dirichlet(static_cast<std::size_t>(faces.n_boundary_faces), 0);
    const std::vector<double> zero(dirichlet.size(), 0.0);
    const diffusion::Solver solver(mesh, faces, dirichlet, diagonal, o.scheme);
    const auto amplitude = [&](const Eigen::VectorXd& u) {
      double along = 0.0, square = 0.0;
      for (int v = 1; v <= n; ++v) {
        along += faces.volume_areas(v, 1) * u(v - 1) * mode[v - 1];
        square += faces.volume_areas(v, 1) * mode[v - 1] * mode[v - 1];
      }
      return along / square;
    };

    std::optional<malha::TimeSeries> series;
    if (!o.folder.empty()) {
      std::filesystem::create_directories(o.folder);
      series.emplace(mesh, o.folder, "heat");
    }
    std::printf("%s, %g x %g, %d steps to t = %g, %s flux\n"
                " step          t       decay       exact  difference\n",
                options::describe(o.mesh).c_str(), o.mesh.dim_x, o.mesh.dim_y, o.steps, o.end,
                o.scheme == diffusion::Scheme::corrected ? "corrected" : "two-point");
    Eigen::VectorXd u = Eigen::Map<const Eigen::VectorXd>(mode.data(), n);
    const double start = amplitude(u);
    double decay = 1.0, exact = 1.0, t = 0.0;
    std::vector<double> b(static_cast<std::size_t>(n));
    for (int step = 0; step <= o.steps; ++step) {
      if (step > 0) {
        for (int v = 0; v < n; ++v) b[v] = diagonal[v] * u(v);
        solver.solve(b, zero, u);
      }
      t = step * dt;
      if (series) series->write(t, {{"u", {u.data(), static_cast<std::size_t>(n)}}});
      if (step % o.every != 0 && step != o.steps) continue;
      decay = amplitude(u) / start;
      exact = std::exp(-kPi * kPi * (1 / (o.mesh.dim_x * o.mesh.dim_x) + 1 / (o.mesh.dim_y * o.mesh.dim_y)) * t);
      std::printf("%5d %10.3e %11.9f %11.9f %+9.3f%%\n", step, t, decay, exact,
                  100 * (decay / exact - 1));
      std::fflush(stdout);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const std::string written =
        series ? std::to_string(o.steps + 1) + " steps written to " +
                     series->collection_file().string()
               : std::to_string(o.steps + 1) + " steps, none written (--folder DIR writes them)";
    std::printf("decay at t = %g: %.9f computed, %.9f exact, %+.3f%%; %s in %.1f s\n", t, decay,
                exact, 100 * (decay / exact - 1), written.c_str(), seconds);
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "heat: %s\n", failure.what());
    return 1;
  }
}
