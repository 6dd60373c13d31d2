// Builds a level-12 mesh of a 2 x 1 rectangle and its faces, then checks
// what a finite-volume solver relies on: every real volume is closed (the
// sum over its faces of length x outward normal is zero), the real volumes'
// areas add up to the rectangle's, and every normal distance is positive.
// Last it writes a field to a grid and a short time series into the folder
// given (nothing without one).
#include <malha/malha.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

int main(int argc, char** argv) {
  const malha::Mesh mesh = malha::build_mesh(12, 2.0, 1.0);
  const malha::Faces faces = malha::build_faces(mesh);
  const malha::FaceGeometry geometry = malha::face_geometry(mesh, faces);

  // Each face adds length x normal to its owner and takes it from its
  // neighbour, where the neighbour is a real volume.
  std::vector<double> sum_x(static_cast<std::size_t>(mesh.n_real_volumes) + 1, 0.0);
  std::vector<double> sum_y(sum_x.size(), 0.0);
  double shortest = geometry.normal_distances(1, 1);
  for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
    const double lx = faces.face_lengths(f, 1) * faces.face_normals(f, 1);
    const double ly = faces.face_lengths(f, 1) * faces.face_normals(f, 2);
    const auto owner = static_cast<std::size_t>(faces.face_owners(f, 1));
    sum_x[owner] += lx;
    sum_y[owner] += ly;
    if (faces.face_sides(f, 1) == 0) {
      const auto neighbour = static_cast<std::size_t>(faces.face_neighbours(f, 1));
      sum_x[neighbour] -= lx;
      sum_y[neighbour] -= ly;
    }
    shortest = std::min(shortest, geometry.normal_distances(f, 1));
  }
  double worst = 0.0;  // the largest open sum against the volume's perimeter
  double area = 0.0;
  for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
    double perimeter = 0.0;
    for (int k = 1; k <= 3; ++k) perimeter += faces.face_lengths(faces.volume_faces(v, k), 1);
    const auto i = static_cast<std::size_t>(v);
    worst = std::max(worst, std::hypot(sum_x[i], sum_y[i]) / perimeter);
    area += faces.volume_areas(v, 1);
  }
  const bool is_closed = worst < 1e-12;
  const bool is_tiled = std::fabs(area - 2.0) < 1e-12;
  std::printf("%d faces (%d interior, %d boundary), normal distances from %.3g, volumes %s, area %.15g\n",
              faces.n_faces, faces.n_interior_faces, faces.n_boundary_faces, shortest,
              is_closed ? "closed" : "NOT closed", area);

  // x at each real volume's barycentre, as a grid and as two steps in time.
  const bool holds = is_closed && is_tiled && shortest > 0.0;
  if (argc < 2) {
    std::printf("no folder given: no grid written\n");
    return holds ? 0 : 1;
  }
  const std::filesystem::path folder = argv[1];
  std::vector<double> u(static_cast<std::size_t>(mesh.n_real_volumes));
  for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
    u[static_cast<std::size_t>(v - 1)] = mesh.barycentres(v, 1);
  }
  malha::write_vtu(mesh, folder / "x.vtu", {{"u", u}});
  malha::TimeSeries series(mesh, folder, "x");
  series.write(0.0, {{"u", u}});
  series.write(1.0, {{"u", u}});
  std::printf("wrote %s and %zu steps of %s\n", (folder / "x.vtu").string().c_str(), series.steps(),
              series.collection_file().string().c_str());
  return holds ? 0 : 1;
}
