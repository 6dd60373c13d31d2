#include "malha/malha.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
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

// Refuses a mesh whose counts disagree with each other or with its tables
// (check_mesh_tables), or whose tables hold node or neighbour numbers
// outside them: its files would count records they do not hold, and a node
// number outside the node table would be looked up beyond it.
void check_mesh_to_write(const Mesh& mesh) {
  check_mesh_tables(mesh, kWriteMeshFiles);
  auto refuse = [](const std::string& what) { fail_argument(kWriteMeshFiles, what); };
  // The numbers each table may hold: nodes 1 to n_nodes, neighbours 0
  // (none) to n_volumes.
  const struct {
    const char* name;
    const MeshTable<std::int32_t, 3>& table;
    std::int32_t low;
    std::int32_t high;
  } numbers[] = {{"volume_nodes", mesh.volume_nodes, 1, mesh.n_nodes},
                 {"volume_neighbours", mesh.volume_neighbours, 0, mesh.n_volumes}};
  for (const auto& [name, table, low, high] : numbers) {
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      const std::int32_t* row = table.row(v);
      for (int c = 0; c < 3; ++c) {
        if (row[c] >= low && row[c] <= high) continue;
        refuse(std::string(name) + "(" + std::to_string(v) + ", " + std::to_string(c + 1) +
               ") = " + std::to_string(row[c]) + " is outside " + std::to_string(low) + " to " +
               std::to_string(high));
      }
    }
  }
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
    check_mesh_to_write(mesh);
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
