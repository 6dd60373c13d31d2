#include "malha/malha.h"

#include <string>
#include <type_traits>

#include "mesh/check_finite_values.h"
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
  OutputFiles files;
  write_output_files(files, mesh, processing_time, folder.string());
}

Mesh read_mesh_files(const std::filesystem::path& folder) {
  Mesh mesh;
  read_mesh_files(mesh, folder.string());
  return mesh;
}

}  // namespace malha
