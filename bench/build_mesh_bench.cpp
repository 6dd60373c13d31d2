// Times one malha::build_mesh or malha::build_lattice_mesh call in this
// fresh process and prints the seconds and the volumes: the library's
// construction with its finiteness check, to set against the
// processing-time record of a run of the program, or a lattice against
// the level of as many volumes, or a graded lattice (its lines made by
// graded_lines inside the time) against the lattice of equal cells.
//
//   build_mesh_bench level dim_x dim_y
//   build_mesh_bench --lattice cells_x cells_y dim_x dim_y crossed|fan
//   build_mesh_bench --graded cells_x cells_y dim_x dim_y crossed|fan ratio_x ratio_y
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "malha/malha.h"

int main(int argc, char** argv) {
  const bool graded = argc == 9 && std::strcmp(argv[1], "--graded") == 0;
  const bool lattice = (argc == 7 && std::strcmp(argv[1], "--lattice") == 0) || graded;
  const bool fan = lattice && std::strcmp(argv[6], "fan") == 0;
  if (!(argc == 4 || (lattice && (fan || std::strcmp(argv[6], "crossed") == 0)))) {
    std::fprintf(stderr,
                 "usage: build_mesh_bench level dim_x dim_y\n"
                 "       build_mesh_bench --lattice cells_x cells_y dim_x dim_y crossed|fan\n"
                 "       build_mesh_bench --graded cells_x cells_y dim_x dim_y crossed|fan "
                 "ratio_x ratio_y\n");
    return 2;
  }
  const auto pattern = fan ? malha::LatticePattern::fan : malha::LatticePattern::crossed;
  const auto start = std::chrono::steady_clock::now();
  const malha::Mesh mesh =
      graded ? malha::build_lattice_mesh(
                   malha::graded_lines(std::atoll(argv[2]), std::atof(argv[4]), std::atof(argv[7])),
                   malha::graded_lines(std::atoll(argv[3]), std::atof(argv[5]), std::atof(argv[8])),
                   pattern)
      : lattice ? malha::build_lattice_mesh(std::atoll(argv[2]), std::atoll(argv[3]),
                                            std::atof(argv[4]), std::atof(argv[5]), pattern)
                : malha::build_mesh(static_cast<std::int32_t>(std::atoi(argv[1])),
                                    std::atof(argv[2]), std::atof(argv[3]));
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  std::printf("%.6f %d\n", seconds.count(), mesh.n_volumes);
  return 0;
}
