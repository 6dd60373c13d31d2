#include <cfloat>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

#include "faces/allocate_table.h"
#include "faces/faces.h"
#include "mesh/check_mesh_tables.h"
#include "system/fp_environment_kept.h"
#include "system/run_error.h"

namespace malha {
namespace {

constexpr const char* kFunction = "face_geometry";
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// The middle of two coordinates; halved before the sum where the sum would
// pass the largest double.
double middle(double a, double b) {
  const double sum = a + b;
  return std::fabs(sum) <= DBL_MAX ? sum / 2 : a / 2 + b / 2;
}

// Refuses faces that are not those of `mesh`: tables shorter than the
// counts, or a face naming a volume or node the mesh does not have.
void check_faces_of(const Mesh& mesh, const Faces& faces) {
  check_mesh_tables(mesh, kFunction, {.volume_nodes = false, .volume_neighbours = false});
  const std::int32_t n = faces.n_faces;
  if (n < 0 || faces.face_owners.rows() != n || faces.face_neighbours.rows() != n ||
      faces.face_nodes.rows() != n || faces.face_normals.rows() != n) {
    fail_argument(kFunction, "the faces' tables do not hold n_faces (" + std::to_string(n) +
                                 ") rows");
  }
  for (std::int32_t f = 1; f <= n; ++f) {
    const std::int32_t volumes[2] = {faces.face_owners(f, 1), faces.face_neighbours(f, 1)};
    const std::int32_t* nodes = faces.face_nodes.row(f);
    for (const std::int32_t v : volumes) {
      if (v < 1 || v > mesh.n_volumes) {
        fail_argument(kFunction, "face " + std::to_string(f) + " names volume " +
                                     std::to_string(v) + ", outside the mesh's 1 to " +
                                     std::to_string(mesh.n_volumes));
      }
    }
    for (int i = 0; i < 2; ++i) {
      if (nodes[i] < 1 || nodes[i] > mesh.n_nodes) {
        fail_argument(kFunction, "face " + std::to_string(f) + " names node " +
                                     std::to_string(nodes[i]) + ", outside the mesh's 1 to " +
                                     std::to_string(mesh.n_nodes));
      }
    }
  }
}

}  // namespace

std::uint64_t face_geometry_bytes(const Faces& faces) {
  return static_cast<std::uint64_t>(faces.n_faces > 0 ? faces.n_faces : 0) * (2 * 8 + 2 * 8 + 8 + 8);
}

FaceGeometry face_geometry(const Mesh& mesh, const Faces& faces) {
  check_faces_of(mesh, faces);
  const FpEnvironmentKept kept;
  const std::int32_t n = faces.n_faces;
  require_obtainable_memory(face_geometry_bytes(faces));
  FaceGeometry geometry;
  reporting_allocation([&] {
    allocate_table(geometry.face_midpoints, n);
    allocate_table(geometry.face_deltas, n);
    allocate_table(geometry.normal_distances, n);
    allocate_table(geometry.non_orthogonality, n);
  });
  for (std::int32_t f = 1; f <= n; ++f) {
    const double* p = mesh.node_coords.row(faces.face_nodes(f, 1));
    const double* q = mesh.node_coords.row(faces.face_nodes(f, 2));
    const double* o = mesh.barycentres.row(faces.face_owners(f, 1));
    const double* b = mesh.barycentres.row(faces.face_neighbours(f, 1));
    const double* normal = faces.face_normals.row(f);
    double* midpoint = geometry.face_midpoints.row(f);
    midpoint[0] = middle(p[0], q[0]);
    midpoint[1] = middle(p[1], q[1]);
    double* delta = geometry.face_deltas.row(f);
    delta[0] = b[0] - o[0];
    delta[1] = b[1] - o[1];
    const double along = delta[0] * normal[0] + delta[1] * normal[1];
    const double across = delta[0] * normal[1] - delta[1] * normal[0];
    geometry.normal_distances(f, 1) = along;
    geometry.non_orthogonality(f, 1) = std::atan2(std::fabs(across), along) * kDegreesPerRadian;
  }
  return geometry;
}

}  // namespace malha
