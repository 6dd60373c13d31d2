// Times malha::build_faces against malha::build_mesh of the same mesh, and
// measures the peak memory the faces take beyond the mesh's.
//
//   build_faces_bench [repetitions] [level] [dim_x dim_y]   (defaults: 5, 22, 2 1)
//
// Each repetition runs in a fresh child process, as a program of a user
// would: build_mesh, then build_faces of that mesh, each timed, with the
// peak resident size read before the mesh, after it and after the faces.
// Prints each repetition (wall and processor times), then the medians
// against the two bounds: faces time at most twice the mesh's, and the
// faces' peak increase at most their tables' bytes plus 32 MiB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "faces/faces.h"
#include "malha/malha.h"
#include "timing.h"

namespace {

struct Sample {
  double mesh_s;
  double faces_s;
  double mesh_cpu_s;   // processor time, user and system: less moved by
  double faces_cpu_s;  // other processes on a shared machine than wall time
  double mesh_peak_mib;   // peak resident growth during build_mesh
  double faces_peak_mib;  // peak resident growth during build_faces
  double tables_mib;      // the face tables' own bytes
  std::int32_t n_faces;
};

double peak_resident_mib() {
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // reported in KiB
}

double processor_seconds() {
  rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Sample measure(std::int32_t level, double dim_x, double dim_y) {
  Sample sample {};
  const double start_peak = peak_resident_mib();
  double cpu = processor_seconds();
  Clock::time_point start = Clock::now();
  const malha::Mesh mesh = malha::build_mesh(level, dim_x, dim_y);
  sample.mesh_s = seconds_since(start);
  sample.mesh_cpu_s = processor_seconds() - cpu;
  const double mesh_peak = peak_resident_mib();
  cpu = processor_seconds();
  start = Clock::now();
  const malha::Faces faces = malha::build_faces(mesh);
  sample.faces_s = seconds_since(start);
  sample.faces_cpu_s = processor_seconds() - cpu;
  sample.mesh_peak_mib = mesh_peak - start_peak;
  sample.faces_peak_mib = peak_resident_mib() - mesh_peak;
  sample.tables_mib = static_cast<double>(malha::faces_table_bytes(mesh)) / 1048576.0;
  sample.n_faces = faces.n_faces;
  return sample;
}

// Runs `measure` in a child process and reads its sample through a pipe.
bool measure_in_child(std::int32_t level, double dim_x, double dim_y, Sample& sample) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    close(ends[0]);
    const Sample s = measure(level, dim_x, dim_y);
    const bool written = write(ends[1], &s, sizeof(s)) == static_cast<ssize_t>(sizeof(s));
    _exit(written ? 0 : 1);
  }
  close(ends[1]);
  const bool read_whole = read(ends[0], &sample, sizeof(sample)) == static_cast<ssize_t>(sizeof(sample));
  close(ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return read_whole && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const auto level = static_cast<std::int32_t>(argc > 2 ? std::atoi(argv[2]) : 22);
  const double dim_x = argc > 4 ? std::atof(argv[3]) : 2.0;
  const double dim_y = argc > 4 ? std::atof(argv[4]) : 1.0;
  std::printf("level %d, %g x %g, %d repetitions, each in a fresh process\n", level, dim_x, dim_y,
              repetitions);
  std::printf("  %10s %10s %7s %10s %10s %7s %14s %15s %10s\n", "mesh_s", "faces_s", "ratio",
              "mesh_cpu", "faces_cpu", "ratio", "mesh_peak_MiB", "faces_peak_MiB", "tables_MiB");
  std::vector<double> mesh_s, faces_s, ratio, cpu_ratio, mesh_peak, faces_peak;
  double tables_mib = 0.0;
  for (int r = 0; r < repetitions; ++r) {
    Sample s {};
    if (!measure_in_child(level, dim_x, dim_y, s)) {
      std::fprintf(stderr, "repetition %d failed\n", r + 1);
      return 1;
    }
    std::printf("  %10.4f %10.4f %7.3f %10.4f %10.4f %7.3f %14.1f %15.1f %10.1f\n", s.mesh_s,
                s.faces_s, s.faces_s / s.mesh_s, s.mesh_cpu_s, s.faces_cpu_s,
                s.faces_cpu_s / s.mesh_cpu_s, s.mesh_peak_mib, s.faces_peak_mib, s.tables_mib);
    mesh_s.push_back(s.mesh_s);
    faces_s.push_back(s.faces_s);
    ratio.push_back(s.faces_s / s.mesh_s);
    cpu_ratio.push_back(s.faces_cpu_s / s.mesh_cpu_s);
    mesh_peak.push_back(s.mesh_peak_mib);
    faces_peak.push_back(s.faces_peak_mib);
    tables_mib = s.tables_mib;
  }
  const double allowance = tables_mib + 32.0;
  std::printf("medians:\n");
  std::printf("  build_mesh  %.4f s, peak +%.1f MiB\n", median(mesh_s), median(mesh_peak));
  std::printf("  build_faces %.4f s, peak +%.1f MiB (tables %.1f MiB)\n", median(faces_s),
              median(faces_peak), tables_mib);
  std::printf("  time ratio faces / mesh %.3f (bound 2): %s\n", median(ratio),
              median(ratio) <= 2.0 ? "within" : "OVER");
  std::printf("  processor time ratio faces / mesh %.3f\n", median(cpu_ratio));
  std::printf("  faces peak beyond the tables %+.1f MiB (bound +32): %s\n",
              median(faces_peak) - tables_mib, median(faces_peak) <= allowance ? "within" : "OVER");
  return 0;
}
