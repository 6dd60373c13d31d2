// Builds a level-10 mesh of a 2 x 1 rectangle, checks two of its properties,
// writes its files, and shows how a failure arrives: as malha::Error.
#include <malha/malha.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
  const malha::Mesh mesh = malha::build_mesh(10, 2.0, 1.0);

  // The real volumes (1 to n_real_volumes) tile the rectangle.
  double area = 0.0;
  for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
    const auto x = [&](int corner) { return mesh.node_coords(mesh.volume_nodes(v, corner), 1); };
    const auto y = [&](int corner) { return mesh.node_coords(mesh.volume_nodes(v, corner), 2); };
    area += 0.5 * ((x(2) - x(1)) * (y(3) - y(1)) - (x(3) - x(1)) * (y(2) - y(1)));
  }
  // Each neighbour lists the volume back (0 means no neighbour).
  bool is_symmetric = true;
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    for (int col = 1; col <= 3; ++col) {
      const std::int32_t w = mesh.volume_neighbours(v, col);
      if (w == 0) continue;
      const bool lists_back = mesh.volume_neighbours(w, 1) == v ||
                              mesh.volume_neighbours(w, 2) == v || mesh.volume_neighbours(w, 3) == v;
      is_symmetric = is_symmetric && lists_back;
    }
  }
  std::printf("%d real and %d fictitious volumes, area %.15g, neighbours %s\n",
              mesh.n_real_volumes, mesh.n_fict_volumes, area,
              is_symmetric ? "symmetric" : "NOT symmetric");

  if (argc > 1) {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    malha::write_mesh_files(mesh, folder);
    std::printf("files written to %s\n", folder.string().c_str());
  } else {
    std::printf("no folder given: no files written\n");
  }

  try {
    malha::build_mesh(31, 2.0, 1.0);
  } catch (const malha::Error& error) {
    std::printf("level 31 refused (%s):%s", error.code().c_str(), error.what());
  }
  return std::fabs(area - 2.0) < 1e-12 && is_symmetric ? 0 : 1;
}
