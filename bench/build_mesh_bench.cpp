// Times one malha::build_mesh call in this fresh process and prints the
// seconds: the library's construction with its finiteness check, to set
// against the processing-time record of a run of the program.
//
//   build_mesh_bench level dim_x dim_y
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "malha/malha.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: build_mesh_bench level dim_x dim_y\n");
    return 2;
  }
  const auto level = static_cast<std::int32_t>(std::atoi(argv[1]));
  const double dim_x = std::atof(argv[2]);
  const double dim_y = std::atof(argv[3]);
  const auto start = std::chrono::steady_clock::now();
  const malha::Mesh mesh = malha::build_mesh(level, dim_x, dim_y);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %d\n", seconds.count(), mesh.n_volumes);
  return 0;
}
