#include "mesh/check_mesh_tables.h"

#include <cstdint>
#include <string>

#include "system/run_error.h"

namespace malha {
namespace {

std::string named(const char* name, std::int64_t value) {
  return std::string(name) + " (" + std::to_string(value) + ")";
}

}  // namespace

void check_mesh_tables(const Mesh& mesh, std::string_view function) {
  auto refuse = [function](const std::string& what) { fail_argument(function, what); };
  const struct {
    const char* name;
    std::int32_t count;
  } counts[] = {{"n_real_volumes", mesh.n_real_volumes}, {"n_fict_volumes", mesh.n_fict_volumes},
                {"n_volumes", mesh.n_volumes},           {"n_real_nodes", mesh.n_real_nodes},
                {"n_fict_nodes", mesh.n_fict_nodes},     {"n_nodes", mesh.n_nodes}};
  for (const auto& count : counts) {
    if (count.count < 0) refuse(named(count.name, count.count) + " is negative");
  }
  if (std::int64_t{mesh.n_real_volumes} + mesh.n_fict_volumes != mesh.n_volumes) {
    refuse(named("n_real_volumes", mesh.n_real_volumes) + " + " +
           named("n_fict_volumes", mesh.n_fict_volumes) + " is not " +
           named("n_volumes", mesh.n_volumes));
  }
  if (std::int64_t{mesh.n_real_nodes} + mesh.n_fict_nodes != mesh.n_nodes) {
    refuse(named("n_real_nodes", mesh.n_real_nodes) + " + " +
           named("n_fict_nodes", mesh.n_fict_nodes) + " is not " + named("n_nodes", mesh.n_nodes));
  }
  const struct {
    const char* name;
    std::int32_t rows;
    const char* count_name;
    std::int32_t count;
  } tables[] = {{"node_coords", mesh.node_coords.rows(), "n_nodes", mesh.n_nodes},
                {"volume_nodes", mesh.volume_nodes.rows(), "n_volumes", mesh.n_volumes},
                {"volume_neighbours", mesh.volume_neighbours.rows(), "n_volumes", mesh.n_volumes},
                {"barycentres", mesh.barycentres.rows(), "n_volumes", mesh.n_volumes}};
  for (const auto& table : tables) {
    if (table.rows != table.count) {
      refuse(std::string(table.name) + " holds " + std::to_string(table.rows) + " rows, not " +
             named(table.count_name, table.count));
    }
  }
}

}  // namespace malha
