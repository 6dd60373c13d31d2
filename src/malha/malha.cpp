#include "malha/malha.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <type_traits>

#include "mesh/check_finite_values.h"
#include "mesh/check_lattice.h"
#include "mesh/check_mesh_tables.h"
#include "mesh/construct_mesh.h"
#include "mesh/lattice.h"
#include "mesh/size_mesh.h"
#include "output/output_files.h"
#include "output/write_output_files.h"
#include "readback/read_mesh_files.h"
#include "system/fp_environment_kept.h"
#include "system/run_error.h"

namespace malha {
namespace {

static_assert(std::is_nothrow_move_constructible_v<Mesh> && std::is_nothrow_move_assignable_v<Mesh>,
              "a Mesh is handed out by value");

constexpr const char* kWriteMeshFiles = "write_mesh_files";

// Refuses a time that the processing-time record cannot show as seconds.
void check_processing_time(double seconds) {
  if (std::isfinite(seconds) && seconds >= 0.0) return;
  char what[96];
  std::snprintf(what, sizeof(what),
                "the processing time %g is not a finite number of seconds, 0 or more", seconds);
  fail_argument(kWriteMeshFiles, what);
}

constexpr const char* kBuildLatticeMesh = "build_lattice_mesh";

// Refuses a lattice whose counts pass 32 bits, naming them.
void check_lattice_counts(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern) {
  auto refuse = [](const std::string& what) { fail_argument(kBuildLatticeMesh, what); };
  // n_volumes is the largest count of every lattice but the thinnest fans,
  // whose nodes outnumber their volumes; both must fit a 32-bit count.
  constexpr std::int64_t kLargest = INT32_MAX;
  const std::string shape = std::to_string(cells_x) + " x " + std::to_string(cells_y) + " cells";
  if (cells_x > kMaxLatticeCells || cells_y > kMaxLatticeCells) {
    refuse(shape + " have more than " + std::to_string(kLargest) +
           " fictitious volumes, the most a 32-bit count holds");
  }
  const LatticeCounts counts = lattice_counts(cells_x, cells_y, pattern);
  const struct {
    const char* name;
    std::int64_t count;
  } totals[] = {{"n_volumes", counts.n_volumes}, {"n_nodes", counts.n_nodes}};
  for (const auto& total : totals) {
    if (total.count <= kLargest) continue;
    refuse(shape + " give " + total.name + " = " + std::to_string(total.count) + ", more than " +
           std::to_string(kLargest) + ", the most a 32-bit count holds");
  }
}

// Fills in `mesh`, whose answers are set, with `construct` under the
// caller's floating-point environment kept, and refuses it if a value came
// out not finite.
Mesh constructed(Mesh mesh, void (*construct)(Mesh&)) {
  const FpEnvironmentKept kept;
  construct(mesh);
  check_finite_values(mesh);
  return mesh;
}

}  // namespace

Mesh build_mesh(std::int32_t level, double dim_x, double dim_y) {
  check_level(level);
  Mesh mesh;
  mesh.level = level;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  return constructed(std::move(mesh), construct_mesh);
}

Mesh build_lattice_mesh(std::int64_t cells_x, std::int64_t cells_y, double dim_x, double dim_y,
                        LatticePattern pattern) {
  check_lattice_shape(cells_x, cells_y, pattern, kBuildLatticeMesh);
  check_lattice_lengths(dim_x, dim_y, kBuildLatticeMesh);
  check_lattice_counts(cells_x, cells_y, pattern);
  Mesh mesh;
  mesh.cells_x = static_cast<std::int32_t>(cells_x);
  mesh.cells_y = static_cast<std::int32_t>(cells_y);
  mesh.pattern = pattern;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  return constructed(std::move(mesh), construct_lattice_mesh);
}

Mesh build_lattice_mesh(std::span<const double> xs, std::span<const double> ys,
                        LatticePattern pattern) {
  check_lattice_lines(xs, ys, pattern, kBuildLatticeMesh, check_lattice_counts);
  return reporting_allocation([&] {
    Mesh mesh;
    set_lattice_lines(mesh, xs, ys, pattern);
    return constructed(std::move(mesh), construct_lattice_mesh);
  });
}

void write_mesh_files(const Mesh& mesh, const std::filesystem::path& folder,
                      double processing_time) {
  reporting_allocation([&] {
    check_processing_time(processing_time);
    check_mesh_tables(mesh, kWriteMeshFiles);
    OutputFiles files;
    write_output_files(files, mesh, processing_time, folder.string());
  });
}

Mesh read_mesh_files(const std::filesystem::path& folder) {
  return reporting_allocation([&] {
    Mesh mesh;
    read_mesh_files(mesh, folder.string());
    return mesh;
  });
}

}  // namespace malha
