#include "malha/malha.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <type_traits>

#include "mesh/check_finite_values.h"
#include "mesh/check_mesh_tables.h"
#include "mesh/construct_mesh.h"
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

}  // namespace

Mesh build_mesh(std::int32_t level, double dim_x, double dim_y) {
  check_level(level);
  const FpEnvironmentKept kept;
  Mesh mesh;
  mesh.level = level;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  construct_mesh(mesh);
  check_finite_values(mesh);
  return mesh;
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
