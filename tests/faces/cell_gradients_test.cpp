// cell_gradients: exact for linear fields on level and lattice meshes, with
// the ghosts carrying the field's own values, and the lengths it refuses.
#include "faces/cell_gradients.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "faces/faces.h"
#include "malha/malha.h"

namespace malha {
namespace {

struct Linear {
  double a, b, c;  // a s + b x + c y, s the rectangle's size |dim_x| + |dim_y|
};

// Every gradient of `values` (the field at every barycentre) against (b, c),
// to 1e-10 of the field's gradient's size.
void expect_exact(const Mesh& mesh, const Linear& f) {
  const Faces faces = build_faces(mesh);
  std::vector<double> values(static_cast<std::size_t>(mesh.n_volumes));
  const double size = std::fabs(mesh.dim_x) + std::fabs(mesh.dim_y);
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    values[v - 1] = f.a * size + f.b * mesh.barycentres(v, 1) + f.c * mesh.barycentres(v, 2);
  }
  const MeshTable<double, 2> g = cell_gradients(mesh, faces, values);
  ASSERT_EQ(g.rows(), mesh.n_real_volumes);
  const double tolerance = 1e-10 * std::hypot(f.b, f.c);
  for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
    ASSERT_NEAR(g(v, 1), f.b, tolerance) << "volume " << v;
    ASSERT_NEAR(g(v, 2), f.c, tolerance) << "volume " << v;
  }
}

// Level meshes 1 to 14 of five rectangles (among them a negative length and
// lengths near the smallest normal doubles), then 20 random lattices of each
// pattern.
TEST(CellGradients, ExactForLinearFieldsOnEveryMesh) {
  struct Rectangle {
    double dim_x, dim_y;
  };
  const Rectangle rectangles[] = {{1.0, 1.0}, {2.0, 1.0}, {1.0, 3.0}, {-0.3, 7.0}, {1e-150, 3e-150}};
  const Linear fields[] = {{0.5, 1.0, -2.0}, {-3.0, 1e6, 1e-3}};
  for (const Rectangle& r : rectangles) {
    for (std::int32_t level = 1; level <= 14; ++level) {
      SCOPED_TRACE(std::to_string(r.dim_x) + " x " + std::to_string(r.dim_y) + ", level " +
                   std::to_string(level));
      const Mesh mesh = build_mesh(level, r.dim_x, r.dim_y);
      for (const Linear& f : fields) expect_exact(mesh, f);
    }
  }
  std::mt19937 random(31);
  std::uniform_int_distribution<int> cells(1, 60);
  std::uniform_real_distribution<double> length(0.05, 20.0);
  for (const LatticePattern pattern : {LatticePattern::crossed, LatticePattern::fan}) {
    for (int i = 0; i < 20; ++i) {
      const int step = pattern == LatticePattern::fan ? 2 : 1;
      const int cells_x = step * cells(random), cells_y = step * cells(random);
      const double dim_x = (i % 3 == 0 ? -1 : 1) * length(random), dim_y = length(random);
      SCOPED_TRACE(std::to_string(cells_x) + " x " + std::to_string(cells_y) + " cells of " +
                   std::to_string(dim_x) + " x " + std::to_string(dim_y) +
                   (pattern == LatticePattern::fan ? ", fan" : ", crossed"));
      expect_exact(build_lattice_mesh(cells_x, cells_y, dim_x, dim_y, pattern), fields[i % 2]);
    }
  }
}

TEST(CellGradients, RefusesValuesOrGradientsOfTheWrongLength) {
  const Mesh mesh = build_mesh(4, 2.0, 1.0);  // 16 real volumes, 24 in all
  const Faces faces = build_faces(mesh);
  const GradientWeights weights = gradient_weights(mesh, faces);
  EXPECT_EQ(gradient_weights_bytes(weights), 16u * 4u + 64u * static_cast<std::uint64_t>(weights.stencils.rows()));
  std::vector<double> values(24), gradients(32);
  struct Case {
    const char* name;
    std::size_t values, gradients;
    const char* description;
  };
  const Case cases[] = {
      {"values one short", 23, 32, "values has 23 entries, not n_volumes = 24"},
      {"values of the real volumes alone", 16, 32, "values has 16 entries, not n_volumes = 24"},
      {"gradients one short", 24, 31, "gradients has 31 entries, not 2 n_real_volumes = 32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      cell_gradients(weights, std::span<const double>(values.data(), c.values),
                     std::span<double>(gradients.data(), c.gradients));
      ADD_FAILURE() << "accepted";
    } catch (const Error& e) {
      EXPECT_EQ(e.operation(), "ARGUMENT(cell_gradients)");
      EXPECT_EQ(e.description(), c.description);
    }
  }
  EXPECT_THROW(cell_gradients(mesh, faces, std::span<const double>(values.data(), 25)), Error);
  EXPECT_THROW(gradient_weights(build_mesh(5, 2.0, 1.0), faces), Error);
}

}  // namespace
}  // namespace malha
