// Times one malha::build_lattice_part call in this fresh process, or the
// malha::build_lattice_mesh call of a lattice with as many volumes, and
// prints the seconds and the volumes built. Run the two as paired
// whole-process runs to set a part's time and peak memory against a whole
// mesh of its size:
//
//   lattice_part_bench part cells_x cells_y crossed|fan part parts
//   lattice_part_bench whole cells_x cells_y crossed|fan
//
// For example part 65536 65536 crossed 2080 4096 (an inner block of 1024 x
// 1024 cells of a lattice of 17.2 billion volumes) against whole 1024 1024
// crossed: both 4,198,400 volumes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "malha/malha.h"

int main(int argc, char** argv) {
  const bool part = argc == 7 && std::strcmp(argv[1], "part") == 0;
  const bool whole = argc == 5 && std::strcmp(argv[1], "whole") == 0;
  if (!part && !whole) {
    std::fprintf(stderr,
                 "usage: lattice_part_bench part cells_x cells_y crossed|fan part parts\n"
                 "       lattice_part_bench whole cells_x cells_y crossed|fan\n");
    return 2;
  }
  const auto pattern = std::strcmp(argv[4], "fan") == 0 ? malha::LatticePattern::fan
                                                        : malha::LatticePattern::crossed;
  const auto start = std::chrono::steady_clock::now();
  std::int32_t volumes = 0;
  if (part) {
    const malha::MeshPart built =
        malha::build_lattice_part(std::atoll(argv[2]), std::atoll(argv[3]), 2.0, 1.0, pattern,
                                  std::atoi(argv[5]), std::atoi(argv[6]));
    volumes = built.mesh.n_volumes;
  } else {
    volumes = malha::build_lattice_mesh(std::atoll(argv[2]), std::atoll(argv[3]), 2.0, 1.0, pattern)
                  .n_volumes;
  }
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %d\n", seconds.count(), volumes);
  return 0;
}
