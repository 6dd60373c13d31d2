// Solves the heat equation u_t = Laplace(u) on a malha mesh, the problem of
// examples/heat.py, and writes every step as a time series:
//
//   heat [--level L] [--lengths X Y] [--steps N] [--end T] [--folder DIR] [--every K]
//   (defaults: --level 12 --lengths 2 1 --steps 200 --end 0.1 --folder . --every 20)
//
// The rectangle [0, dim_x] x [0, dim_y] starts from its slowest mode
// sin(pi x / dim_x) sin(pi y / dim_y) with u = 0 on every side, so the exact
// solution is that mode times exp(-pi^2 (1/dim_x^2 + 1/dim_y^2) t). Each step
// is one implicit Euler step of the corrected scheme of diffusion.h (the
// balance's diagonal area / dt, factorised once):
//
//   area / dt (u_new - u_old) = sum over the faces of the flux of grad u_new.
//
// Every step goes to DIR/heat.pvd through malha::TimeSeries (one grid file
// per step, cell data "u"). The program prints the mode's amplitude, the
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
#include <stdexcept>
#include <string>
#include <vector>

#include "diffusion.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Options {
  int level = 12;
  double dim_x = 2.0;
  double dim_y = 1.0;
  int steps = 200;
  double end = 0.1;
  std::filesystem::path folder = ".";
  int every = 20;
};

[[noreturn]] void usage(const std::string& why) {
  throw std::invalid_argument(why + "\nusage: heat [--level L] [--lengths X Y] [--steps N] "
                                    "[--end T] [--folder DIR] [--every K]");
}

double number(const char* text) {
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0') usage(std::string("not a number: ") + text);
  return value;
}

int whole(const char* text, int least) {
  const double value = number(text);
  if (value != std::floor(value) || value < least || value > 1e9) {
    usage(std::string("not a whole number from ") + std::to_string(least) + ": " + text);
  }
  return static_cast<int>(value);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int a = 1; a < argc; ++a) {
    const std::string option = argv[a];
    const int count = option == "--lengths" ? 2 : 1;
    if (a + count >= argc) usage(option + " needs " + std::to_string(count) + " value(s)");
    char** values = argv + a + 1;
    a += count;
    if (option == "--level") {
      o.level = whole(values[0], 0);
    } else if (option == "--lengths") {
      o.dim_x = number(values[0]);
      o.dim_y = number(values[1]);
    } else if (option == "--steps") {
      o.steps = whole(values[0], 1);
    } else if (option == "--end") {
      o.end = number(values[0]);
    } else if (option == "--folder") {
      o.folder = values[0];
    } else if (option == "--every") {
      o.every = whole(values[0], 1);
    } else {
      usage("unknown option " + option);
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Options o = parse(argc, argv);
    const auto began = std::chrono::steady_clock::now();
    const malha::Mesh mesh = malha::build_mesh(o.level, o.dim_x, o.dim_y);
    const malha::Faces faces = malha::build_faces(mesh);
    const int n = mesh.n_real_volumes;
    const double dt = o.end / o.steps;
    std::vector<double> diagonal(static_cast<std::size_t>(n)), mode(diagonal.size());
    for (int v = 1; v <= n; ++v) {
      diagonal[v - 1] = faces.volume_areas(v, 1) / dt;
      mode[v - 1] = std::sin(kPi * mesh.barycentres(v, 1) / o.dim_x) *
                    std::sin(kPi * mesh.barycentres(v, 2) / o.dim_y);
    }
    const std::vector<char> dirichlet(static_cast<std::size_t>(faces.n_boundary_faces), 0);
    const std::vector<double> zero(dirichlet.size(), 0.0);
    const diffusion::Solver solver(mesh, faces, dirichlet, diagonal, diffusion::Scheme::corrected);
    const auto amplitude = [&](const Eigen::VectorXd& u) {
      double along = 0.0, square = 0.0;
      for (int v = 1; v <= n; ++v) {
        along += faces.volume_areas(v, 1) * u(v - 1) * mode[v - 1];
        square += faces.volume_areas(v, 1) * mode[v - 1] * mode[v - 1];
      }
      return along / square;
    };

    std::filesystem::create_directories(o.folder);
    malha::TimeSeries series(mesh, o.folder, "heat");
    std::printf("level %d, %g x %g, %d steps to t = %g, corrected flux\n"
                " step          t       decay       exact  difference\n",
                o.level, o.dim_x, o.dim_y, o.steps, o.end);
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
      series.write(t, {{"u", {u.data(), static_cast<std::size_t>(n)}}});
      if (step % o.every != 0 && step != o.steps) continue;
      decay = amplitude(u) / start;
      exact = std::exp(-kPi * kPi * (1 / (o.dim_x * o.dim_x) + 1 / (o.dim_y * o.dim_y)) * t);
      std::printf("%5d %10.3e %11.9f %11.9f %+9.3f%%\n", step, t, decay, exact,
                  100 * (decay / exact - 1));
      std::fflush(stdout);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("decay at t = %g: %.9f computed, %.9f exact, %+.3f%%; %d steps written to %s in "
                "%.1f s\n",
                t, decay, exact, 100 * (decay / exact - 1), o.steps + 1,
                series.collection_file().string().c_str(), seconds);
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "heat: %s\n", failure.what());
    return 1;
  }
}
