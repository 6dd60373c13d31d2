// Builds a level-12 mesh of a 2 x 1 rectangle and its faces, then checks
// what a finite-volume solver relies on: every real volume is closed (the
// sum over its faces of length x outward normal is zero) and the real
// volumes' areas add up to the rectangle's.
#include <malha/faces.h>
#include <malha/malha.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

int main() {
  const malha::Mesh mesh = malha::build_mesh(12, 2.0, 1.0);
  const malha::Faces faces = malha::build_faces(mesh);

  // Each face adds length x normal to its owner and takes it from its
  // neighbour, where the neighbour is a real volume.
  std::vector<double> sum_x(static_cast<std::size_t>(mesh.n_real_volumes) + 1, 0.0);
  std::vector<double> sum_y(sum_x.size(), 0.0);
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
  std::printf("%d faces (%d interior, %d boundary), volumes %s, area %.15g\n", faces.n_faces,
              faces.n_interior_faces, faces.n_boundary_faces, is_closed ? "closed" : "NOT closed",
              area);
  return is_closed && is_tiled ? 0 : 1;
}
