#pragma once
// Output files held in memory, and the level 1 mesh built by hand, for the
// tests of the file writers.

#include <cstdint>
#include <memory>
#include <string>

#include "mesh/mesh.h"
#include "output/byte_sink.h"
#include "output/output_files.h"

namespace malha::testing {

// All eleven files attached to memory sinks named after the files.
inline void attach_memory_sinks(OutputFiles& files) {
  for (const OutputFileEntry& entry : kOutputFiles) {
    files.attach(entry.file, std::make_unique<MemorySink>(entry.name));
  }
}

inline std::string bytes_of(OutputFiles& files, OutputFile file) {
  return static_cast<MemorySink&>(files.sink(file)).bytes();
}

// Level 1 with lengths dim_x and dim_y: four corner nodes, one diagonal,
// four fictitious volumes; neighbours and barycentres as the construction
// steps give them.
inline void fill_level_1(Mesh& mesh, double dim_x, double dim_y) {
  mesh.level = 1;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  mesh.n_real_volumes = 2;
  mesh.n_fict_volumes = 4;
  mesh.n_volumes = 6;
  mesh.n_real_nodes = 4;
  mesh.n_fict_nodes = 4;
  mesh.n_nodes = 8;
  mesh.dx = dim_x;
  mesh.dy = dim_y;
  mesh.node_coords.allocate(8);
  mesh.volume_nodes.allocate(6);
  mesh.volume_neighbours.allocate(6);
  mesh.barycentres.allocate(6);
  const double xy[8][2] = {{0, 0},         {dim_x, 0},     {0, dim_y},     {dim_x, dim_y},
                           {0, -dim_y},    {2 * dim_x, dim_y}, {dim_x, 2 * dim_y}, {-dim_x, 0}};
  for (int n = 1; n <= 8; ++n) {
    mesh.node_coords(n, 1) = xy[n - 1][0];
    mesh.node_coords(n, 2) = xy[n - 1][1];
  }
  const std::int32_t abc[6][3] = {{1, 2, 3}, {2, 4, 3}, {5, 2, 1}, {6, 4, 2}, {7, 3, 4}, {8, 1, 3}};
  const std::int32_t neighbours[6][3] = {{2, 3, 6}, {1, 4, 5}, {1, 0, 0},
                                         {2, 0, 0}, {2, 0, 0}, {1, 0, 0}};
  for (int v = 1; v <= 6; ++v) {
    for (int c = 1; c <= 3; ++c) {
      mesh.volume_nodes(v, c) = abc[v - 1][c - 1];
      mesh.volume_neighbours(v, c) = neighbours[v - 1][c - 1];
    }
    const std::int32_t a = abc[v - 1][0];
    const std::int32_t b = abc[v - 1][1];
    const std::int32_t c = abc[v - 1][2];
    mesh.barycentres(v, 1) =
        ((mesh.node_coords(c, 1) + mesh.node_coords(b, 1)) + mesh.node_coords(a, 1)) / 3.0;
    mesh.barycentres(v, 2) =
        ((mesh.node_coords(a, 2) + mesh.node_coords(b, 2)) + mesh.node_coords(c, 2)) / 3.0;
  }
}

// A level 1 mesh with its eleven output files in memory.
struct Level1Output {
  explicit Level1Output(double dim_x = 1.0, double dim_y = 1.0) {
    fill_level_1(mesh, dim_x, dim_y);
    attach_memory_sinks(files);
  }
  std::string bytes(OutputFile file) { return bytes_of(files, file); }

  Mesh mesh;
  OutputFiles files;
};

}  // namespace malha::testing
