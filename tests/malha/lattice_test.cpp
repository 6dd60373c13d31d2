// The lattice meshes: the level meshes are lattices, bit for bit; the
// refusals name their reason; and at random lattices of both patterns the
// counts, areas, orientation, neighbours and ghosts, faces, angles and the
// files read back hold what a solver relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "faces/faces.h"
#include "malha/malha.h"
#include "mesh/lattice.h"
#include "support/dialogue.h"
#include "support/run_malha.h"

namespace malha {
namespace {

using testing::TempDir;

template <typename T, int Cols>
std::string table_bytes(const MeshTable<T, Cols>& table) {
  if (table.rows() == 0) return {};
  return std::string(reinterpret_cast<const char*>(table.row(1)),
                     static_cast<std::size_t>(table.rows()) * Cols * sizeof(T));
}

std::string real_bits(double value) {
  return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// Every field of two meshes, the real ones and the real tables bit for bit
// unless `reals_within` is above 0 (files print 16 digits).
void expect_same_mesh(const Mesh& a, const Mesh& b, double reals_within = 0.0) {
  using M = Mesh;
  for (std::int32_t M::*field :
       {&M::level, &M::show_plots, &M::n_real_volumes, &M::n_fict_volumes, &M::n_volumes,
        &M::n_real_nodes, &M::n_fict_nodes, &M::n_nodes, &M::nodes_per_side,
        &M::centres_per_side, &M::fict_per_side, &M::cells_x, &M::cells_y}) {
    EXPECT_EQ(a.*field, b.*field);
  }
  EXPECT_EQ(a.pattern, b.pattern);
  for (double M::*field : {&M::dim_x, &M::dim_y, &M::dx, &M::dy, &M::half_dx, &M::half_dy,
                           &M::two_dx, &M::two_dy}) {
    EXPECT_EQ(real_bits(a.*field), real_bits(b.*field)) << a.*field;
  }
  ASSERT_EQ(a.volume_nodes.rows(), b.volume_nodes.rows());
  EXPECT_TRUE(table_bytes(a.volume_nodes) == table_bytes(b.volume_nodes));
  EXPECT_TRUE(table_bytes(a.volume_neighbours) == table_bytes(b.volume_neighbours));
  for (auto table : {&M::node_coords, &M::barycentres}) {
    ASSERT_EQ((a.*table).rows(), (b.*table).rows());
    if (reals_within == 0.0) {
      EXPECT_TRUE(table_bytes(a.*table) == table_bytes(b.*table));
      continue;
    }
    double worst = 0.0;
    for (std::int32_t r = 1; r <= (a.*table).rows(); ++r) {
      for (int c = 1; c <= 2; ++c) worst = std::max(worst, std::fabs((a.*table)(r, c) - (b.*table)(r, c)));
    }
    EXPECT_LE(worst, reals_within);
  }
}

TEST(LatticeMesh, TheLevelMeshesAreLattices) {
  const std::pair<double, double> lengths[] = {{1.0, 1.0}, {2.0, 1.0}, {-0.3, 7.0}};
  for (std::int32_t level = 2; level <= 16; ++level) {
    // Even level 2k: crossed, 2^(k-1) cells a side; odd level 2k + 1: fan, 2^k.
    const std::int32_t k = level / 2;
    const bool odd = level % 2 != 0;
    const std::int64_t cells = std::int64_t{1} << (odd ? k : k - 1);
    const LatticePattern pattern = odd ? LatticePattern::fan : LatticePattern::crossed;
    for (const auto& [dim_x, dim_y] : lengths) {
      SCOPED_TRACE("level " + std::to_string(level) + " on " + std::to_string(dim_x) + " x " +
                   std::to_string(dim_y));
      expect_same_mesh(build_lattice_mesh(cells, cells, dim_x, dim_y, pattern),
                       build_mesh(level, dim_x, dim_y));
    }
  }
  // Level 2 is built from its own tables; the lattice numbering of one
  // crossed cell gives the same volumes and neighbours.
  const Mesh level_2 = build_mesh(2, 1.0, 1.0);
  const Lattice one_cell{2, 2, 1, 1, 1, level_2.n_real_nodes, level_2.n_real_volumes};
  std::int32_t visited = 0;
  for_each_lattice_volume(one_cell, [&](std::int32_t v, const LatticeVolume& volume) {
    ++visited;
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(volume.nodes[c], level_2.volume_nodes(v, c + 1)) << v;
      EXPECT_EQ(volume.neighbours[c], level_2.volume_neighbours(v, c + 1)) << v;
    }
  });
  EXPECT_EQ(visited, level_2.n_volumes);
}

TEST(LatticeMesh, RefusalsNameTheirReason) {
  const double nan = std::nan("");
  const struct {
    std::int64_t cells_x, cells_y;
    double dim_x;
    LatticePattern pattern;
    const char* description;
  } cases[] = {
      {0, 4, 1.0, LatticePattern::crossed, "cells_x (0) is below 1"},
      {4, 3, 1.0, LatticePattern::fan,
       "cells_y (3) is odd: the fan pattern takes blocks of 2 x 2 cells"},
      {2, 2, nan, LatticePattern::crossed, "dim_x (nan) is not a finite length"},
      {2, 2, 1.0, static_cast<LatticePattern>(7), "the pattern (7) is neither crossed nor fan"},
      {23171, 23171, 1.0, LatticePattern::crossed,
       "23171 x 23171 cells give n_volumes = 2147673648, more than 2147483647, the most a "
       "32-bit count holds"},
      {2, std::int64_t{1} << 31, 1.0, LatticePattern::fan,
       "2 x 2147483648 cells have more than 2147483647 fictitious volumes, the most a 32-bit "
       "count holds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(testing::thrown_report(
                  [&] { build_lattice_mesh(c.cells_x, c.cells_y, c.dim_x, 1.0, c.pattern); }),
              testing::error_report("S5002", "ARGUMENT(build_lattice_mesh)", c.description));
  }
}

double signed_area(const Mesh& mesh, std::int32_t v) {
  const double* a = mesh.node_coords.row(mesh.volume_nodes(v, 1));
  const double* b = mesh.node_coords.row(mesh.volume_nodes(v, 2));
  const double* c = mesh.node_coords.row(mesh.volume_nodes(v, 3));
  return 0.5 * ((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]));
}

// The properties of one lattice; `square_cells` when dx = dy.
void check_lattice(const Mesh& mesh, bool square_cells) {
  const std::int64_t cx = mesh.cells_x;
  const std::int64_t cy = mesh.cells_y;
  const bool fan = mesh.pattern == LatticePattern::fan;
  // Counts by formula.
  EXPECT_EQ(mesh.n_real_volumes, (fan ? 2 : 4) * cx * cy);
  EXPECT_EQ(mesh.n_fict_volumes, 2 * (cx + cy));
  EXPECT_EQ(mesh.n_real_nodes, (cx + 1) * (cy + 1) + (fan ? 0 : cx * cy));
  EXPECT_EQ(mesh.n_fict_nodes, fan ? cx + cy : 2 * (cx + cy));
  const double scale = std::fabs(mesh.dim_x) + std::fabs(mesh.dim_y);

  // Areas add up, every triangle turns the way the lengths' signs say.
  const double orientation = mesh.dim_x * mesh.dim_y > 0 ? 1.0 : -1.0;
  double total = 0.0;
  std::int32_t wrong_turns = 0;
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    const double area = signed_area(mesh, v);
    wrong_turns += !(area * orientation > 0.0);
    if (v <= mesh.n_real_volumes) total += std::fabs(area);
  }
  EXPECT_EQ(wrong_turns, 0);
  // A missing or doubled triangle is at least 1 / (4 cells) of the whole.
  EXPECT_NEAR(total, std::fabs(mesh.dim_x * mesh.dim_y), 1e-9 * std::fabs(mesh.dim_x * mesh.dim_y));

  // Neighbours symmetric (build_faces below refuses a ghost without
  // exactly one real neighbour sharing its edge).
  std::int32_t asymmetric = 0;
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    for (int c = 1; c <= 3; ++c) {
      const std::int32_t w = mesh.volume_neighbours(v, c);
      if (w == 0) continue;
      bool listed = false;
      for (int d = 1; d <= 3; ++d) listed |= mesh.volume_neighbours(w, d) == v;
      asymmetric += !listed;
    }
  }
  EXPECT_EQ(asymmetric, 0);

  // Faces: each real volume closed, each side one run of its own edges,
  // and at square cells no angle between a face and the line of centres.
  const Faces faces = build_faces(mesh);
  double worst_sum = 0.0;
  for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
    double sum[2] = {0.0, 0.0};
    for (int k = 1; k <= 3; ++k) {
      const std::int32_t face = faces.volume_faces(v, k);
      const double sign = faces.face_owners(face, 1) == v ? 1.0 : -1.0;
      for (int c = 0; c < 2; ++c) {
        sum[c] += sign * faces.face_normals(face, c + 1) * faces.face_lengths(face, 1);
      }
    }
    worst_sum = std::max({worst_sum, std::fabs(sum[0]), std::fabs(sum[1])});
  }
  EXPECT_LE(worst_sum, 1e-12 * scale);
  const std::int64_t runs[4] = {cx, cy, cx, cy};
  std::int32_t face = faces.n_interior_faces;
  std::int32_t off_side = 0;
  for (int side = 1; side <= 4; ++side) {
    for (std::int64_t j = 0; j < runs[side - 1]; ++j) {
      ++face;
      off_side += faces.face_sides(face, 1) != side;
      for (int end = 1; end <= 2; ++end) {
        const double* node = mesh.node_coords.row(faces.face_nodes(face, end));
        const double on[4] = {node[1], node[0] - mesh.dim_x, node[1] - mesh.dim_y, node[0]};
        off_side += on[side - 1] != 0.0;
      }
    }
  }
  EXPECT_EQ(face, faces.n_faces);
  EXPECT_EQ(off_side, 0);
  // Each ghost the mirror image of its real volume across the face: so are
  // their barycentres.
  double worst_mirror = 0.0;
  for (std::int32_t f = faces.n_interior_faces + 1; f <= faces.n_faces; ++f) {
    const double* o = mesh.barycentres.row(faces.face_owners(f, 1));
    const double* g = mesh.barycentres.row(faces.face_neighbours(f, 1));
    const double* p = mesh.node_coords.row(faces.face_nodes(f, 1));
    const double n[2] = {faces.face_normals(f, 1), faces.face_normals(f, 2)};
    const double twice = 2 * ((p[0] - o[0]) * n[0] + (p[1] - o[1]) * n[1]);
    worst_mirror = std::max({worst_mirror, std::fabs(o[0] + twice * n[0] - g[0]),
                             std::fabs(o[1] + twice * n[1] - g[1])});
  }
  EXPECT_LE(worst_mirror, 1e-12 * scale);
  if (square_cells) {
    double worst_angle = 0.0;
    for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
      const double* o = mesh.barycentres.row(faces.face_owners(f, 1));
      const double* n = mesh.barycentres.row(faces.face_neighbours(f, 1));
      const double d[2] = {n[0] - o[0], n[1] - o[1]};
      const double along = d[0] * faces.face_normals(f, 1) + d[1] * faces.face_normals(f, 2);
      const double cosine = std::min(1.0, std::fabs(along) / std::hypot(d[0], d[1]));
      worst_angle = std::max(worst_angle, std::acos(cosine) * 180.0 / M_PI);
    }
    EXPECT_LT(worst_angle, 1e-5);
  }

  // The files give the same mesh back.
  TempDir dir;
  write_mesh_files(mesh, dir.path());
  expect_same_mesh(read_mesh_files(dir.path()), mesh, 1e-15 * 4 * scale);
}

TEST(LatticeMesh, RandomLatticesHoldWhatASolverReliesOn) {
  std::mt19937_64 random(20261209);
  std::uniform_int_distribution<std::int64_t> cells(1, 300);
  // Lengths of up to four digits, which the files print exactly.
  std::uniform_int_distribution<int> digits(1, 9999);
  for (const LatticePattern pattern : {LatticePattern::crossed, LatticePattern::fan}) {
    for (int i = 0; i < 30; ++i) {
      std::int64_t cx = cells(random);
      std::int64_t cy = cells(random);
      if (pattern == LatticePattern::fan) {
        cx += cx % 2;
        cy += cy % 2;
      }
      // A third with square cells (a spacing of m / 8, exact), a sixth
      // with a negative length.
      const bool square_cells = i % 3 == 0;
      const double eighths = digits(random) / 8.0;
      double dim_x = square_cells ? static_cast<double>(cx) * eighths : digits(random) / 1000.0;
      const double dim_y = square_cells ? static_cast<double>(cy) * eighths : digits(random) / 100.0;
      if (i % 6 == 1) dim_x = -dim_x;
      SCOPED_TRACE(std::to_string(cx) + " x " + std::to_string(cy) + " cells of " +
                   std::to_string(dim_x) + " x " + std::to_string(dim_y) +
                   (pattern == LatticePattern::fan ? ", fan" : ", crossed"));
      check_lattice(build_lattice_mesh(cx, cy, dim_x, dim_y, pattern), square_cells);
    }
  }
}

}  // namespace
}  // namespace malha
