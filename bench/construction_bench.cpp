// Times the construction of the mesh, step by step, and measures the extra
// memory of the neighbour search against the four mesh arrays.
//
//   construction_bench [repetitions] [level...]     (defaults: 5, levels 20 22)
//
// Each measurement runs in a fresh child process, as a run of the program
// does. The memory one touches the four arrays in full, then reads the peak
// resident size before and after the neighbour search (which frees its
// scratch when it returns). The timing one constructs the mesh repeatedly and
// reports, per step, the first construction (fresh memory, like a run) and
// the best. "total" is sizing to barycentres, the span the run's processing
// time covers.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mesh/allocate_mesh.h"
#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/mesh.h"
#include "mesh/place_nodes.h"
#include "mesh/size_mesh.h"
#include "timing.h"

namespace {

using malha::Mesh;

constexpr int kSteps = 5;
constexpr const char* kStepNames[kSteps] = {"size+allocate", "place_nodes", "define_volumes",
                                            "find_volume_neighbours", "compute_barycentres"};

void size_and_allocate(Mesh& mesh) {
  malha::size_mesh(mesh);
  malha::allocate_mesh(mesh);
}

using Step = void (*)(Mesh&);
constexpr Step kStepFunctions[kSteps] = {size_and_allocate, malha::place_nodes,
                                         malha::define_volumes, malha::find_volume_neighbours,
                                         malha::compute_barycentres};

std::uint64_t peak_resident_bytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // reported in KiB
}

void measure_memory(int level) {
  Mesh mesh;
  mesh.level = level;
  mesh.dim_x = 1.0;
  mesh.dim_y = 1.0;
  size_and_allocate(mesh);
  malha::place_nodes(mesh);
  malha::define_volumes(mesh);
  std::memset(mesh.volume_neighbours.row(1), 0,
              static_cast<std::size_t>(mesh.n_volumes) * 3 * sizeof(std::int32_t));
  std::memset(mesh.barycentres.row(1), 0,
              static_cast<std::size_t>(mesh.n_volumes) * 2 * sizeof(double));
  const std::uint64_t before = peak_resident_bytes();
  malha::find_volume_neighbours(mesh);
  const std::uint64_t after = peak_resident_bytes();
  const double arrays = static_cast<double>(malha::mesh_array_bytes(mesh));
  const double scratch = static_cast<double>(malha::neighbour_search_scratch_bytes(mesh));
  const double measured = static_cast<double>(after - before);
  std::printf("level %d: %d volumes, %d nodes\n", level, mesh.n_volumes, mesh.n_nodes);
  std::printf("  four arrays            %10.1f MiB\n", arrays / 1048576);
  std::printf("  search scratch (bound) %10.1f MiB  %.3f of the arrays\n", scratch / 1048576,
              scratch / arrays);
  std::printf("  peak resident increase %10.1f MiB  %.3f of the arrays\n", measured / 1048576,
              measured / arrays);
}

void measure_time(int level, int repetitions) {
  std::vector<double> first(kSteps + 1, 0.0);
  std::vector<double> best(kSteps + 1, 1e300);
  for (int r = 0; r < repetitions; ++r) {
    double step[kSteps] = {};
    const Clock::time_point start = Clock::now();
    Mesh mesh;
    mesh.level = level;
    mesh.dim_x = 1.0;
    mesh.dim_y = 1.0;
    for (int s = 0; s < kSteps; ++s) {
      const Clock::time_point t = Clock::now();
      kStepFunctions[s](mesh);
      step[s] = seconds_since(t);
    }
    const double total = seconds_since(start);
    for (std::size_t s = 0; s <= kSteps; ++s) {
      const double seconds = s < kSteps ? step[s] : total;
      if (r == 0) first[s] = seconds;
      best[s] = std::min(best[s], seconds);
    }
  }
  std::printf("  %-24s %8s   %8s (of %d)\n", "step", "first", "best", repetitions);
  for (std::size_t s = 0; s <= kSteps; ++s) {
    std::printf("  %-24s %8.4f s %8.4f s\n", s < kSteps ? kStepNames[s] : "total", first[s],
                best[s]);
  }
}

template <typename Work>
void in_child(Work work) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    work();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::atoi(argv[1]) : 5;
  std::vector<int> levels;
  for (int a = 2; a < argc; ++a) levels.push_back(std::atoi(argv[a]));
  if (levels.empty()) levels = {20, 22};
  for (int level : levels) {
    in_child([level] { measure_memory(level); });
    in_child([level, repetitions] { measure_time(level, repetitions); });
  }
  return 0;
}
