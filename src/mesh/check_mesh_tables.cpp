#include "mesh/check_mesh_tables.h"

#include <cstdint>
#include <string>

#include "system/run_error.h"

namespace malha {
namespace {

std::string named(const char* name, std::int64_t value) {
  return std::string(name) + " (" + std::to_string(value) + ")";
}

std::string entry(const char* table, std::int32_t row, int col, std::int32_t value) {
  return std::string(table) + "(" + std::to_string(row) + ", " + std::to_string(col + 1) +
         ") = " + std::to_string(value);
}

}  // namespace

void check_mesh_tables(const Mesh& mesh, std::string_view function, const TablesNeeded& needed) {
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
    bool needed;
    const char* name;
    std::int32_t rows;
    const char* count_name;
    std::int32_t count;
  } tables[] = {
      {needed.node_coords, "node_coords", mesh.node_coords.rows(), "n_nodes", mesh.n_nodes},
      {needed.volume_nodes, "volume_nodes", mesh.volume_nodes.rows(), "n_volumes", mesh.n_volumes},
      {needed.volume_neighbours, "volume_neighbours", mesh.volume_neighbours.rows(), "n_volumes",
       mesh.n_volumes},
      {needed.barycentres, "barycentres", mesh.barycentres.rows(), "n_volumes", mesh.n_volumes}};
  for (const auto& table : tables) {
    if (table.needed && table.rows != table.count) {
      refuse(std::string(table.name) + " holds " + std::to_string(table.rows) + " rows, not " +
             named(table.count_name, table.count));
    }
  }
  if (needed.volume_nodes) {
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      const std::int32_t* row = mesh.volume_nodes.row(v);
      const bool is_real = v <= mesh.n_real_volumes;
      for (int c = 0; c < 3; ++c) {
        if (row[c] < 1 || row[c] > mesh.n_nodes) {
          refuse(entry("volume_nodes", v, c, row[c]) + " is outside 1 to " +
                 std::to_string(mesh.n_nodes));
        }
        if (needed.real_nodes_only && is_real && row[c] > mesh.n_real_nodes) {
          refuse("real volume " + std::to_string(v) + " names node " + std::to_string(row[c]) +
                 ", outside the real nodes 1 to " + std::to_string(mesh.n_real_nodes));
        }
      }
    }
  }
  if (needed.volume_neighbours) {
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      const std::int32_t* row = mesh.volume_neighbours.row(v);
      for (int c = 0; c < 3; ++c) {
        if (row[c] < 0 || row[c] > mesh.n_volumes) {
          refuse(entry("volume_neighbours", v, c, row[c]) + " is outside 0 to " +
                 std::to_string(mesh.n_volumes));
        }
      }
    }
  }
  if (needed.volume_neighbours && needed.mutual_neighbours) {
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      const std::int32_t* row = mesh.volume_neighbours.row(v);
      for (int c = 0; c < 3; ++c) {
        if (row[c] == 0) continue;
        const std::int32_t* back = mesh.volume_neighbours.row(row[c]);
        if (back[0] != v && back[1] != v && back[2] != v) {
          refuse(entry("volume_neighbours", v, c, row[c]) + ", but volume " +
                 std::to_string(row[c]) + " does not list volume " + std::to_string(v));
        }
      }
    }
  }
}

}  // namespace malha
