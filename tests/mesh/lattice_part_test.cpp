// The parts of a lattice tile it: at random lattices of both patterns and
// at level meshes, every real volume is owned once, and every number,
// coordinate, neighbour, face and gradient of a part is the whole mesh's.
// The refusals name their reason and limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "faces/cell_gradients.h"
#include "faces/faces.h"
#include "malha/malha.h"

namespace malha {
namespace {

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct Lattice {
  std::int64_t cells_x;
  std::int64_t cells_y;
  LatticePattern pattern;
  std::int32_t parts;
  double ratio = 0.0;  // graded: x graded_lines, y two_sided_lines of this ratio
};

// Whether a grid of blocks can give each part at least one unit.
bool grid_fits(const Lattice& c) {
  const std::int64_t unit = c.pattern == LatticePattern::fan ? 2 : 1;
  for (std::int32_t a = 1; a <= c.parts; ++a) {
    if (c.parts % a == 0 && a <= c.cells_x / unit && c.parts / a <= c.cells_y / unit) return true;
  }
  return false;
}

// The volume's row of the whole mesh without the volumes the part lacks.
std::vector<std::int64_t> held_row(const Mesh& whole, std::int64_t g,
                                   const std::unordered_map<std::int64_t, std::int32_t>& local) {
  std::vector<std::int64_t> row;
  for (int c = 1; c <= 3; ++c) {
    const std::int64_t n = whole.volume_neighbours(static_cast<std::int32_t>(g), c);
    if (n != 0 && local.count(n) != 0) row.push_back(n);
  }
  return row;
}

void check_tiling(const Lattice& c) {
  const double dim_x = 0.7;
  const double dim_y = 1.3;
  const std::vector<double> xs = c.ratio != 0.0 ? graded_lines(c.cells_x, dim_x, c.ratio)
                                                : std::vector<double>{};
  const std::vector<double> ys = c.ratio != 0.0 ? two_sided_lines(c.cells_y, -dim_y, c.ratio)
                                                : std::vector<double>{};
  const auto part_of = [&](std::int32_t p) {
    return c.ratio != 0.0
               ? build_lattice_part(xs, ys, c.pattern, p, c.parts)
               : build_lattice_part(c.cells_x, c.cells_y, dim_x, dim_y, c.pattern, p, c.parts);
  };
  if (!grid_fits(c)) {
    EXPECT_THROW(part_of(0), Error);
    return;
  }
  const Mesh whole = c.ratio != 0.0
                         ? build_lattice_mesh(xs, ys, c.pattern)
                         : build_lattice_mesh(c.cells_x, c.cells_y, dim_x, dim_y, c.pattern);
  const Faces faces = build_faces(whole);
  const FaceGeometry geometry = face_geometry(whole, faces);
  std::unordered_map<std::int64_t, std::int32_t> whole_face;  // owner x n_volumes + neighbour
  for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
    whole_face[std::int64_t{faces.face_owners(f, 1)} * whole.n_volumes +
               faces.face_neighbours(f, 1)] = f;
  }
  std::vector<double> values(static_cast<std::size_t>(whole.n_volumes));
  for (std::int32_t v = 1; v <= whole.n_volumes; ++v) {
    values[static_cast<std::size_t>(v - 1)] =
        std::sin(3 * whole.barycentres(v, 1)) * whole.barycentres(v, 2);
  }
  const MeshTable<double, 2> gradients = cell_gradients(whole, faces, values);

  const LatticePartition partition = partition_lattice(c.cells_x, c.cells_y, c.pattern, c.parts);
  std::vector<std::int32_t> owner(static_cast<std::size_t>(whole.n_real_volumes), -1);
  std::vector<std::int32_t> owner_local(owner.size(), 0);
  std::vector<std::int32_t> faces_seen(static_cast<std::size_t>(faces.n_faces), 0);
  struct Halo {
    std::int64_t global;
    std::int32_t owner, local;
  };
  std::vector<Halo> halos;
  std::int64_t offset = 0;
  for (std::int32_t p = 0; p < c.parts; ++p) {
    SCOPED_TRACE("part " + std::to_string(p));
    const MeshPart part = part_of(p);
    const Mesh& mesh = part.mesh;
    ASSERT_EQ(owned_offset(partition, p), offset);
    offset += part.n_owned;
    ASSERT_EQ(part.global_volumes.size(), static_cast<std::size_t>(mesh.n_volumes));
    ASSERT_EQ(part.global_nodes.size(), static_cast<std::size_t>(mesh.n_nodes));
    ASSERT_EQ(mesh.n_real_volumes, part.n_owned + part.n_halo);
    std::unordered_map<std::int64_t, std::int32_t> local;
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v)
      local[part.global_volumes[static_cast<std::size_t>(v - 1)]] = v;
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      const std::int64_t g = part.global_volumes[static_cast<std::size_t>(v - 1)];
      const auto gv = static_cast<std::int32_t>(g);
      ASSERT_TRUE(g >= 1 && g <= whole.n_volumes);
      ASSERT_EQ(v <= mesh.n_real_volumes, g <= whole.n_real_volumes) << v;
      if (v <= part.n_owned) {
        ASSERT_EQ(owner[static_cast<std::size_t>(g - 1)], -1) << "volume " << g << " owned twice";
        owner[static_cast<std::size_t>(g - 1)] = p;
        owner_local[static_cast<std::size_t>(g - 1)] = v;
      } else if (v <= mesh.n_real_volumes) {
        const auto h = static_cast<std::size_t>(v - part.n_owned - 1);
        halos.push_back({g, part.halo_owners[h], part.halo_owner_locals[h]});
      }
      for (int k = 1; k <= 3; ++k) {
        const std::int32_t n = mesh.volume_nodes(v, k);
        ASSERT_EQ(part.global_nodes[static_cast<std::size_t>(n - 1)], whole.volume_nodes(gv, k));
        for (int xy = 1; xy <= 2; ++xy) {
          ASSERT_TRUE(
              same_bits(mesh.node_coords(n, xy), whole.node_coords(whole.volume_nodes(gv, k), xy)));
        }
      }
      ASSERT_TRUE(same_bits(mesh.barycentres(v, 1), whole.barycentres(gv, 1)));
      ASSERT_TRUE(same_bits(mesh.barycentres(v, 2), whole.barycentres(gv, 2)));
      // Neighbours: the whole mesh's that the part holds, in its order;
      // all of them for owned and fictitious volumes.
      const std::vector<std::int64_t> expected = held_row(whole, g, local);
      if (v <= part.n_owned || v > mesh.n_real_volumes) {
        std::int32_t in_whole = 0;
        for (int k = 1; k <= 3; ++k) in_whole += whole.volume_neighbours(gv, k) != 0;
        ASSERT_EQ(static_cast<std::int32_t>(expected.size()), in_whole) << v;
      }
      for (int k = 1; k <= 3; ++k) {
        const std::int32_t n = mesh.volume_neighbours(v, k);
        const std::int64_t mapped =
            n == 0 ? 0 : part.global_volumes[static_cast<std::size_t>(n - 1)];
        ASSERT_EQ(mapped, static_cast<std::size_t>(k) <= expected.size()
                              ? expected[static_cast<std::size_t>(k - 1)]
                              : 0)
            << v;
      }
    }

    // Faces: each whole face once, from the part whose volume owns it in the
    // whole mesh, every quantity bit for bit.
    const Faces part_faces = build_faces(mesh);
    const FaceGeometry part_geometry = face_geometry(mesh, part_faces);
    for (std::int32_t f = 1; f <= part_faces.n_faces; ++f) {
      const std::int32_t o = part_faces.face_owners(f, 1);
      ASSERT_LE(o, part.n_owned);
      const std::int64_t go = part.global_volumes[static_cast<std::size_t>(o - 1)];
      const std::int64_t gn =
          part.global_volumes[static_cast<std::size_t>(part_faces.face_neighbours(f, 1) - 1)];
      if (gn < go) continue;  // the whole mesh's owner is the other part's volume
      const auto found = whole_face.find(go * whole.n_volumes + gn);
      ASSERT_NE(found, whole_face.end());
      const std::int32_t wf = found->second;
      ++faces_seen[static_cast<std::size_t>(wf - 1)];
      for (int k = 1; k <= 2; ++k) {
        ASSERT_EQ(part.global_nodes[static_cast<std::size_t>(part_faces.face_nodes(f, k) - 1)],
                  faces.face_nodes(wf, k));
        ASSERT_TRUE(same_bits(part_faces.face_normals(f, k), faces.face_normals(wf, k)));
        ASSERT_TRUE(same_bits(part_geometry.face_midpoints(f, k), geometry.face_midpoints(wf, k)));
        ASSERT_TRUE(same_bits(part_geometry.face_deltas(f, k), geometry.face_deltas(wf, k)));
      }
      ASSERT_TRUE(same_bits(part_faces.face_lengths(f, 1), faces.face_lengths(wf, 1)));
      ASSERT_EQ(part_faces.face_sides(f, 1), faces.face_sides(wf, 1));
      ASSERT_TRUE(
          same_bits(part_geometry.normal_distances(f, 1), geometry.normal_distances(wf, 1)));
      ASSERT_TRUE(
          same_bits(part_geometry.non_orthogonality(f, 1), geometry.non_orthogonality(wf, 1)));
      ASSERT_TRUE(same_bits(part_faces.volume_areas(o, 1),
                            faces.volume_areas(static_cast<std::int32_t>(go), 1)));
    }

    // Gradients of the owned volumes from the values of the part's volumes.
    std::vector<double> part_values(static_cast<std::size_t>(mesh.n_volumes));
    for (std::size_t i = 0; i < part_values.size(); ++i) {
      part_values[i] = values[static_cast<std::size_t>(part.global_volumes[i] - 1)];
    }
    const MeshTable<double, 2> part_gradients = cell_gradients(mesh, part_faces, part_values);
    ASSERT_EQ(part_gradients.rows(), part.n_owned);
    for (std::int32_t v = 1; v <= part.n_owned; ++v) {
      const auto g =
          static_cast<std::int32_t>(part.global_volumes[static_cast<std::size_t>(v - 1)]);
      ASSERT_TRUE(same_bits(part_gradients(v, 1), gradients(g, 1)));
      ASSERT_TRUE(same_bits(part_gradients(v, 2), gradients(g, 2)));
    }
  }
  EXPECT_EQ(offset, whole.n_real_volumes);
  for (std::size_t g = 0; g < owner.size(); ++g)
    ASSERT_NE(owner[g], -1) << "volume " << g + 1 << " owned by none";
  for (const Halo& halo : halos) {
    ASSERT_EQ(owner[static_cast<std::size_t>(halo.global - 1)], halo.owner) << halo.global;
    ASSERT_EQ(owner_local[static_cast<std::size_t>(halo.global - 1)], halo.local) << halo.global;
  }
  for (std::size_t f = 0; f < faces_seen.size(); ++f)
    ASSERT_EQ(faces_seen[f], 1) << "face " << f + 1;
}

TEST(LatticePart, PartsTileTheLattice) {
  std::vector<Lattice> cases;
  // Level meshes from 2 on, named by their lattice.
  for (std::int32_t level = 2; level <= 12; ++level) {
    const LevelLattice lattice = lattice_of_level(level);
    const std::int64_t unit = lattice.pattern == LatticePattern::fan ? 2 : 1;
    const std::int64_t units = std::min<std::int64_t>(8, lattice.cells_x / unit);
    cases.push_back({lattice.cells_x, lattice.cells_y, lattice.pattern,
                     static_cast<std::int32_t>((1 + level % units) * (1 + level / 2 % units))});
  }
  std::mt19937 random(38);
  std::uniform_int_distribution<std::int64_t> cells(1, 300);
  std::uniform_int_distribution<std::int32_t> parts(1, 64);
  for (int i = 0; i < 16; ++i) {
    const LatticePattern pattern = i % 2 == 0 ? LatticePattern::crossed : LatticePattern::fan;
    const std::int64_t unit = pattern == LatticePattern::fan ? 2 : 1;
    // Small and thin lattices often, where the parts meet most sides.
    const std::int64_t cx = (i % 4 < 2 ? cells(random) : cells(random) % 12 + 1);
    const std::int64_t cy = (i % 3 == 0 ? cells(random) % 12 + 1 : cells(random));
    cases.push_back(
        {(cx + unit - 1) / unit * unit, (cy + unit - 1) / unit * unit, pattern, parts(random)});
  }
  // Graded lattices: fine at x = 0 and at both ends of a negative y.
  cases.push_back({40, 18, LatticePattern::crossed, 6, 30.0});
  cases.push_back({24, 36, LatticePattern::fan, 5, 1.0 / 20});
  for (const Lattice& c : cases) {
    SCOPED_TRACE(std::to_string(c.cells_x) + " x " + std::to_string(c.cells_y) +
                 (c.pattern == LatticePattern::fan ? " fan, " : " crossed, ") +
                 std::to_string(c.parts) + " parts" +
                 (c.ratio != 0.0 ? ", graded " + std::to_string(c.ratio) : ""));
    check_tiling(c);
    if (testing::Test::HasFatalFailure()) return;
  }
}

TEST(LatticePart, Refusals) {
  const struct {
    const char* name;
    std::int64_t cells_x, cells_y;
    LatticePattern pattern;
    std::int32_t part, parts;
    const char* says;
  } cases[] = {
      {"no parts", 4, 4, LatticePattern::crossed, 0, 0, "parts (0) is below 1"},
      {"part below 0", 4, 4, LatticePattern::crossed, -1, 4, "part (-1) is outside 0 to 3"},
      {"part past the last", 4, 4, LatticePattern::crossed, 4, 4, "part (4) is outside 0 to 3"},
      {"more parts than cells", 2, 3, LatticePattern::crossed, 0, 7,
       "parts (7) is more than the 6 cells of 2 x 3 cells"},
      {"more parts than fan blocks", 4, 6, LatticePattern::fan, 0, 7,
       "parts (7) is more than the 6 blocks of 2 x 2 cells"},
      {"no grid of blocks", 5, 5, LatticePattern::crossed, 0, 7,
       "parts must be a product a x b with a <= 5 and b <= 5"},
      {"odd fan", 3, 4, LatticePattern::fan, 0, 1, "cells_x (3) is odd"},
      {"part past 32 bits", 65536, 65536, LatticePattern::crossed, 0, 1,
       "17180131328 volumes (owned, halo and fictitious)"},
      {"cells past a lattice", std::int64_t{1} << 31, 2, LatticePattern::crossed, 0, 1,
       "pass 1073741824 cells a side"},
  };
  EXPECT_THROW(lattice_of_level(1), Error);  // one cell cut by one diagonal
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      build_lattice_part(c.cells_x, c.cells_y, 1.0, 1.0, c.pattern, c.part, c.parts);
      ADD_FAILURE() << "not refused";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.operation()), "ARGUMENT(build_lattice_part)");
      EXPECT_NE(std::string(error.description()).find(c.says), std::string::npos)
          << error.description();
    }
  }
}

}  // namespace
}  // namespace malha
