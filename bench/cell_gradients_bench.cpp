// Times the repeated gradient pass, malha::cell_gradients with its weights
// kept, against the least a face-based pass can cost: one loop over the
// faces that adds values[neighbour] - values[owner] into the owner's sum.
//
//   cell_gradients_bench [repetitions] [level] [dim_x dim_y]   (defaults: 11, 22, 2 1)
//
// One process builds the mesh, its faces and the weights once (the weights'
// time and bytes printed), then runs the two passes in turn, gradient then
// loop, `repetitions` times. Prints each pair, then the medians of the two
// times and of the pair by pair ratio against the bound 1.5. Compare figures
// within one run only; run it under `nice` on a shared machine.
//
// The weights' bytes, as measured when the shared stencils came in: at
// level 22 on 2 x 1, 4,932 distinct stencils for 4,194,304 real volumes,
// 4.08 bytes a volume in all.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "faces/cell_gradients.h"
#include "faces/faces.h"
#include "malha/malha.h"
#include "timing.h"

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
  const auto level = static_cast<std::int32_t>(argc > 2 ? std::atoi(argv[2]) : 22);
  const double dim_x = argc > 4 ? std::atof(argv[3]) : 2.0;
  const double dim_y = argc > 4 ? std::atof(argv[4]) : 1.0;

  const malha::Mesh mesh = malha::build_mesh(level, dim_x, dim_y);
  const malha::Faces faces = malha::build_faces(mesh);
  Clock::time_point start = Clock::now();
  const malha::GradientWeights weights = malha::gradient_weights(mesh, faces);
  const double weights_s = seconds_since(start);
  const auto n_real = static_cast<std::size_t>(mesh.n_real_volumes);
  std::printf("level %d, %g x %g: %d real volumes, %d faces, %d repetitions\n", level, dim_x,
              dim_y, mesh.n_real_volumes, faces.n_faces, repetitions);
  const auto bytes = malha::gradient_weights_bytes(weights);
  std::printf("weights: %.4f s once, %llu bytes (%.1f MiB; %.2f a real volume, %d distinct stencils)\n",
              weights_s, static_cast<unsigned long long>(bytes),
              static_cast<double>(bytes) / 1048576.0,
              static_cast<double>(bytes) / static_cast<double>(n_real), weights.stencils.rows());

  std::vector<double> values(static_cast<std::size_t>(mesh.n_volumes));
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    values[v - 1] = std::sin(mesh.barycentres(v, 1)) * std::cos(mesh.barycentres(v, 2));
  }
  std::vector<double> gradients(2 * n_real), sums(n_real, 0.0);
  const std::int32_t* owners = faces.face_owners.row(1);
  const std::int32_t* neighbours = faces.face_neighbours.row(1);

  std::printf("  %12s %12s %7s\n", "gradient_s", "face_loop_s", "ratio");
  std::vector<double> gradient_s, loop_s, ratio;
  double check = 0.0;
  for (int r = 0; r < repetitions; ++r) {
    start = Clock::now();
    malha::cell_gradients(weights, values, gradients);
    const double g = seconds_since(start);
    start = Clock::now();
    for (std::int32_t f = 0; f < faces.n_faces; ++f) {
      sums[owners[f] - 1] += values[neighbours[f] - 1] - values[owners[f] - 1];
    }
    const double l = seconds_since(start);
    check += gradients[2 * (n_real / 2)] + sums[n_real / 2];
    std::printf("  %12.4f %12.4f %7.3f\n", g, l, g / l);
    gradient_s.push_back(g);
    loop_s.push_back(l);
    ratio.push_back(g / l);
  }
  std::printf("medians: gradient %.4f s, face loop %.4f s, ratio %.3f (bound 1.5): %s\n",
              median(gradient_s), median(loop_s), median(ratio),
              median(ratio) <= 1.5 ? "within" : "OVER");
  std::printf("(check sum %g)\n", check);
  return 0;
}
