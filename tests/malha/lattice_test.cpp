// The lattice meshes: the level meshes are lattices, bit for bit, and so
// are lattices on equal lines; the refusals name their reason; and at
// random lattices of both patterns, of equal and of graded cells, the
// counts, areas, orientation, neighbours and ghosts, faces, angles and the
// files read back hold what a solver relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "faces/faces.h"
#include "formats/file_formats.h"
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
  for (auto lines : {&M::x_lines, &M::y_lines}) {
    ASSERT_EQ((a.*lines).size(), (b.*lines).size());
    for (std::size_t i = 0; i < (a.*lines).size(); ++i) {
      EXPECT_TRUE(reals_within == 0.0 ? real_bits((a.*lines)[i]) == real_bits((b.*lines)[i])
                                      : std::fabs((a.*lines)[i] - (b.*lines)[i]) <= reals_within)
          << "line " << i << ": " << (a.*lines)[i] << " " << (b.*lines)[i];
    }
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

// The properties of one lattice; `square_cells` when dx = dy;
// `rewrite_files` to write the mesh read back again.
void check_lattice(const Mesh& mesh, bool square_cells, bool rewrite_files = false) {
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

  // The files give the same mesh back, and that mesh the same files.
  TempDir dir;
  write_mesh_files(mesh, dir.path());
  const Mesh read = read_mesh_files(dir.path());
  expect_same_mesh(read, mesh, 1e-15 * 4 * scale);
  if (!rewrite_files) return;
  TempDir again;
  write_mesh_files(read, again.path());
  for (const auto& file : kOutputFiles) {
    EXPECT_TRUE(testing::read_file(dir.path() / file.name) ==
                testing::read_file(again.path() / file.name))
        << file.name;
  }
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

// Random lattices of both patterns: `cells` (1 to 120, even for fan) and
// lengths of random sign.
struct RandomLattice {
  std::int64_t cells_x, cells_y;
  double dim_x, dim_y;
  LatticePattern pattern;
  std::string name() const {
    return std::to_string(cells_x) + " x " + std::to_string(cells_y) + " cells of " +
           std::to_string(dim_x) + " x " + std::to_string(dim_y) +
           (pattern == LatticePattern::fan ? ", fan" : ", crossed");
  }
};

std::vector<RandomLattice> random_lattices(std::uint64_t seed, int per_pattern) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<std::int64_t> cells(1, 120);
  // Lengths of up to four digits, which the files print exactly.
  std::uniform_int_distribution<int> digits(1, 9999);
  const auto length = [&](std::mt19937_64& r) { return digits(r) / 200.0; };
  std::bernoulli_distribution negative(0.25);
  std::vector<RandomLattice> lattices;
  for (const LatticePattern pattern : {LatticePattern::crossed, LatticePattern::fan}) {
    for (int i = 0; i < per_pattern; ++i) {
      RandomLattice l{cells(random), cells(random), length(random), length(random), pattern};
      if (pattern == LatticePattern::fan) {
        l.cells_x += l.cells_x % 2;
        l.cells_y += l.cells_y % 2;
      }
      if (negative(random)) l.dim_x = -l.dim_x;
      if (negative(random)) l.dim_y = -l.dim_y;
      lattices.push_back(l);
    }
  }
  return lattices;
}

TEST(LatticeMesh, OnItsOwnLinesALatticeIsItselfBitForBit) {
  for (const RandomLattice& l : random_lattices(20261210, 20)) {
    SCOPED_TRACE(l.name());
    const Mesh mesh = build_lattice_mesh(l.cells_x, l.cells_y, l.dim_x, l.dim_y, l.pattern);
    expect_same_mesh(build_lattice_mesh(mesh.x_lines, mesh.y_lines, l.pattern), mesh);
    // Equal grading gives those lines too.
    EXPECT_TRUE(graded_lines(l.cells_x, l.dim_x, 1.0) == mesh.x_lines);
    EXPECT_TRUE(two_sided_lines(l.cells_y, l.dim_y, 1.0) == mesh.y_lines);
  }
}

TEST(LatticeMesh, RandomGradedLatticesHoldWhatASolverReliesOn) {
  std::mt19937_64 random(20261211);
  std::uniform_real_distribution<double> log_ratio(std::log(1.0 / 50), std::log(50.0));
  std::bernoulli_distribution two_sided(0.5);
  for (const RandomLattice& l : random_lattices(20261212, 20)) {
    const double ratio_x = std::exp(log_ratio(random));
    const double ratio_y = std::exp(log_ratio(random));
    const bool both_ends = two_sided(random);
    SCOPED_TRACE(l.name() + ", ratios " + std::to_string(ratio_x) + " and " +
                 std::to_string(ratio_y) + (both_ends ? ", two-sided" : ""));
    const auto lines = both_ends ? two_sided_lines : graded_lines;
    const std::vector<double> xs = lines(l.cells_x, l.dim_x, ratio_x);
    const std::vector<double> ys = lines(l.cells_y, l.dim_y, ratio_y);
    ASSERT_EQ(xs.back(), l.dim_x);
    ASSERT_EQ(ys.back(), l.dim_y);
    const Mesh mesh = build_lattice_mesh(xs, ys, l.pattern);
    EXPECT_TRUE(mesh.x_lines == xs && mesh.y_lines == ys);
    // The last step over the first: the ratio (two-sided: of the end steps
    // with 3 or more cells, 1).
    if (!both_ends && l.cells_x > 1) {
      EXPECT_NEAR((xs[l.cells_x] - xs[l.cells_x - 1]) / xs[1], ratio_x, 1e-9 * ratio_x);
    }
    check_lattice(mesh, false, true);
  }
}

TEST(LatticeMesh, RefusedLinesNameTheirReason) {
  const double nan = std::nan("");
  const std::vector<double> two = {0.0, 1.0};
  const struct {
    std::vector<double> xs;
    std::vector<double> ys;
    LatticePattern pattern;
    const char* description;
  } cases[] = {
      {{0.0}, two, LatticePattern::crossed, "xs holds 1 lines: a lattice takes 2 or more"},
      {two, {0.5, 1.0}, LatticePattern::crossed, "ys[0] (0.5) is not 0: the lines start at 0"},
      {{0.0, 1.0, 1.0}, two, LatticePattern::crossed,
       "xs[2] (1) after xs[1] (1): the lines are not strictly increasing or strictly "
       "decreasing"},
      {{0.0, -1.0, 2.0}, two, LatticePattern::crossed,
       "xs[2] (2) after xs[1] (-1): the lines are not strictly increasing or strictly "
       "decreasing"},
      {two, {0.0, nan}, LatticePattern::crossed, "ys[1] (nan) is not finite"},
      {{0.0, 1.0, 2.0, 3.0}, two, LatticePattern::fan,
       "cells_x (3 from xs) is odd: the fan pattern takes blocks of 2 x 2 cells"},
      {std::vector<double>(23172, 0.0), std::vector<double>(23172, 0.0), LatticePattern::crossed,
       "23171 x 23171 cells give n_volumes = 2147673648, more than 2147483647, the most a "
       "32-bit count holds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(testing::thrown_report([&] { build_lattice_mesh(c.xs, c.ys, c.pattern); }),
              testing::error_report("S5002", "ARGUMENT(build_lattice_mesh)", c.description));
  }
  const struct {
    bool both_ends;
    std::int64_t cells;
    double length, ratio;
    const char* description;
  } helpers[] = {
      {false, 0, 1.0, 2.0, "cells (0) is below 1"},
      {true, 4, 0.0, 2.0, "length (0) is not a finite length other than 0"},
      {false, 4, 1.0, -2.0, "ratio (-2) is not a finite number above 0"},
      {true, 4, 1.0, nan, "ratio (nan) is not a finite number above 0"},
  };
  for (const auto& c : helpers) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(testing::thrown_report([&] {
                (c.both_ends ? two_sided_lines : graded_lines)(c.cells, c.length, c.ratio);
              }),
              testing::error_report("S5002",
                                    c.both_ends ? "ARGUMENT(two_sided_lines)"
                                                : "ARGUMENT(graded_lines)",
                                    c.description));
  }
}

}  // namespace
}  // namespace malha
