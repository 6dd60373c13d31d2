// Times malha::write_vtu in this process and prints the seconds and the
// file's bytes: the mesh of `level` (lengths 2 x 1) with two scalar cell
// fields, written to `file`. With a step count, times a TimeSeries of that
// many steps into the folder of `file` instead (the bytes of one step).
//
//   vtu_bench level file [steps]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "malha/malha.h"
#include "vtk/vtu.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: vtu_bench level file [steps]\n");
    return 2;
  }
  const auto level = static_cast<std::int32_t>(std::atoi(argv[1]));
  const std::filesystem::path file = argv[2];
  const malha::Mesh mesh = malha::build_mesh(level, 2.0, 1.0);
  std::vector<double> u(static_cast<std::size_t>(mesh.n_real_volumes));
  std::vector<double> w(u.size());
  for (std::size_t v = 0; v < u.size(); ++v) {
    u[v] = std::sin(static_cast<double>(v));
    w[v] = std::cos(static_cast<double>(v));
  }
  const malha::CellField fields[] = {{"u", u}, {"w", w}};
  const auto start = std::chrono::steady_clock::now();
  std::uintmax_t bytes = 0;
  if (argc == 4) {
    malha::TimeSeries series(mesh, file.parent_path(), file.stem().string());
    const int steps = std::atoi(argv[3]);
    for (int step = 0; step < steps; ++step) series.write(step, fields);
    bytes = std::filesystem::file_size(series.step_file(0));
  } else {
    malha::write_vtu(mesh, file, fields);
    bytes = std::filesystem::file_size(file);
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %ju\n", seconds.count(), bytes);
  return 0;
}
