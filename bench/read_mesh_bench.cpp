// Reads a run's files back with malha::read_mesh_files in this fresh
// process and prints the seconds and the volumes: the read-back with all
// its checks, timed from outside in paired runs against another build.
//
//   read_mesh_bench folder
#include <chrono>
#include <cstdio>

#include "malha/malha.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_mesh_bench folder\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const malha::Mesh mesh = malha::read_mesh_files(argv[1]);
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %d\n", seconds.count(), mesh.n_volumes);
  return 0;
}
