// build_faces against a construction from the volume table alone (edges
// paired by their node sets), the finite-volume properties of the faces at
// every level, and the meshes it refuses.
#include "faces/faces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "malha/malha.h"
#include "support/dialogue.h"

namespace malha {
namespace {

static_assert(std::is_nothrow_move_constructible_v<Faces> && std::is_nothrow_move_assignable_v<Faces>,
              "a Faces record is handed out by value");

struct Rectangle {
  const char* name;
  double dim_x;
  double dim_y;
};

constexpr Rectangle kCompared[] = {
    {"1 x 1", 1.0, 1.0}, {"2 x 1", 2.0, 1.0}, {"0.3 x 7", 0.3, 7.0}, {"-2 x 1", -2.0, 1.0}};

std::string trace(const Rectangle& r, int level) {
  return std::string(r.name) + ", level " + std::to_string(level);
}

struct Point {
  double x;
  double y;
};

Point node(const Mesh& mesh, std::int32_t n) { return {mesh.node_coords(n, 1), mesh.node_coords(n, 2)}; }
Point barycentre(const Mesh& mesh, std::int32_t v) {
  return {mesh.barycentres(v, 1), mesh.barycentres(v, 2)};
}

// One face as the slow construction finds it.
struct Face {
  std::int32_t owner;
  std::int32_t neighbour;
  std::int32_t from;
  std::int32_t to;
  Point normal;
  double length;
  int side;
};

// The faces of `mesh` from `volume_nodes` and the node coordinates alone:
// every edge keyed by its two node numbers, paired with the other volume
// that has it; the normal turned away from the owner's third node; the side
// from the line both ends lie on.
struct SlowFaces {
  std::vector<Face> faces;
  std::vector<std::array<std::int32_t, 3>> volume_faces;  // by real volume, 0-based
};

SlowFaces slow_faces(const Mesh& mesh) {
  std::map<std::pair<std::int32_t, std::int32_t>, std::vector<std::int32_t>> volumes_of_edge;
  const auto key = [](std::int32_t a, std::int32_t b) { return std::pair(std::min(a, b), std::max(a, b)); };
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    for (int k = 1; k <= 3; ++k) {
      volumes_of_edge[key(mesh.volume_nodes(v, k), mesh.volume_nodes(v, k % 3 + 1))].push_back(v);
    }
  }
  const auto face_of = [&](std::int32_t owner, int k, std::int32_t neighbour) {
    const std::int32_t a = mesh.volume_nodes(owner, k);
    const std::int32_t b = mesh.volume_nodes(owner, k % 3 + 1);
    const std::int32_t c = mesh.volume_nodes(owner, (k + 1) % 3 + 1);
    const Point p = node(mesh, a), q = node(mesh, b), opposite = node(mesh, c);
    const double length = std::hypot(q.x - p.x, q.y - p.y);
    Point normal {(q.y - p.y) / length, -(q.x - p.x) / length};
    if (normal.x * (opposite.x - p.x) + normal.y * (opposite.y - p.y) > 0) {
      normal = {-normal.x, -normal.y};
    }
    int side = 0;
    if (neighbour > mesh.n_real_volumes) {
      if (p.y == 0 && q.y == 0) side = 1;
      if (p.x == mesh.dim_x && q.x == mesh.dim_x) side = 2;
      if (p.y == mesh.dim_y && q.y == mesh.dim_y) side = 3;
      if (p.x == 0 && q.x == 0) side = 4;
    }
    return Face {owner, neighbour, a, b, normal, length, side};
  };
  const auto other_volume = [&](std::int32_t v, int k) {
    // An edge of a real volume has one other volume; a fictitious volume's
    // edge away from the boundary may have none.
    const auto& volumes = volumes_of_edge.at(key(mesh.volume_nodes(v, k), mesh.volume_nodes(v, k % 3 + 1)));
    if (v <= mesh.n_real_volumes) {
      EXPECT_EQ(volumes.size(), 2u) << "edge " << k << " of volume " << v;
    }
    if (volumes.size() < 2) return std::int32_t {0};
    return volumes[0] == v ? volumes[1] : volumes[0];
  };
  SlowFaces slow;
  slow.volume_faces.assign(static_cast<std::size_t>(mesh.n_real_volumes), {0, 0, 0});
  for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
    for (int k = 1; k <= 3; ++k) {
      const std::int32_t w = other_volume(v, k);
      if (w <= mesh.n_real_volumes && w > v) slow.faces.push_back(face_of(v, k, w));
    }
  }
  for (std::int32_t w = mesh.n_real_volumes + 1; w <= mesh.n_volumes; ++w) {
    for (int k = 1; k <= 3; ++k) {
      const std::int32_t v = other_volume(w, k);
      if (v == 0 || v > mesh.n_real_volumes) continue;
      for (int kv = 1; kv <= 3; ++kv) {
        if (other_volume(v, kv) == w) slow.faces.push_back(face_of(v, kv, w));
      }
    }
  }
  for (std::size_t f = 0; f < slow.faces.size(); ++f) {
    const Face& face = slow.faces[f];
    for (const std::int32_t v : {face.owner, face.neighbour}) {
      if (v > mesh.n_real_volumes) continue;
      for (int k = 1; k <= 3; ++k) {
        if (key(mesh.volume_nodes(v, k), mesh.volume_nodes(v, k % 3 + 1)) == key(face.from, face.to)) {
          slow.volume_faces[static_cast<std::size_t>(v - 1)][static_cast<std::size_t>(k - 1)] =
              static_cast<std::int32_t>(f + 1);
        }
      }
    }
  }
  return slow;
}

double signed_area(const Mesh& mesh, std::int32_t v) {
  const Point a = node(mesh, mesh.volume_nodes(v, 1));
  const Point b = node(mesh, mesh.volume_nodes(v, 2));
  const Point c = node(mesh, mesh.volume_nodes(v, 3));
  return 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

bool near(double value, double expected, double relative) {
  return std::fabs(value - expected) <= relative * std::fabs(expected);
}

TEST(BuildFaces, AgreesWithFacesPairedByTheirNodeSets) {
  for (const Rectangle& r : kCompared) {
    for (int level = 1; level <= 14; ++level) {
      SCOPED_TRACE(trace(r, level));
      const Mesh mesh = build_mesh(level, r.dim_x, r.dim_y);
      const Faces faces = build_faces(mesh);
      const SlowFaces slow = slow_faces(mesh);
      ASSERT_EQ(faces.n_boundary_faces, mesh.n_fict_volumes);
      ASSERT_EQ(faces.n_interior_faces, (3 * mesh.n_real_volumes - mesh.n_fict_volumes) / 2);
      ASSERT_EQ(faces.n_faces, static_cast<std::int32_t>(slow.faces.size()));
      for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
        const Face& s = slow.faces[static_cast<std::size_t>(f - 1)];
        ASSERT_EQ(faces.face_owners(f, 1), s.owner) << "face " << f;
        ASSERT_EQ(faces.face_neighbours(f, 1), s.neighbour) << "face " << f;
        ASSERT_EQ(faces.face_nodes(f, 1), s.from) << "face " << f;
        ASSERT_EQ(faces.face_nodes(f, 2), s.to) << "face " << f;
        ASSERT_EQ(faces.face_sides(f, 1), s.side) << "face " << f;
        ASSERT_TRUE(near(faces.face_lengths(f, 1), s.length, 1e-14)) << "face " << f;
        ASSERT_NEAR(faces.face_normals(f, 1), s.normal.x, 1e-14) << "face " << f;
        ASSERT_NEAR(faces.face_normals(f, 2), s.normal.y, 1e-14) << "face " << f;
      }
      for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
        for (int k = 1; k <= 3; ++k) {
          ASSERT_EQ(faces.volume_faces(v, k),
                    slow.volume_faces[static_cast<std::size_t>(v - 1)][static_cast<std::size_t>(k - 1)])
              << "volume " << v << ", edge " << k;
        }
      }
      ASSERT_EQ(faces.volume_areas.rows(), mesh.n_volumes);
      for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
        ASSERT_TRUE(near(faces.volume_areas(v, 1), std::fabs(signed_area(mesh, v)), 1e-12)) << "volume " << v;
      }
    }
  }
}

// The rectangles of the properties: levels 1 to 14 on all, 15 and 16 on the
// first two.
struct PropertyCase {
  Rectangle rectangle;
  int last_level;
};
constexpr PropertyCase kProperties[] = {{{"1 x 1", 1.0, 1.0}, 16},
                                        {{"2 x 1", 2.0, 1.0}, 16},
                                        {{"1 x 3", 1.0, 3.0}, 14},
                                        {{"0.3 x 7", 0.3, 7.0}, 14},
                                        {{"-2 x 1", -2.0, 1.0}, 14},
                                        {{"1e-3 x 1e5", 1e-3, 1e5}, 14}};

TEST(BuildFaces, VolumesCloseTileTheRectangleAndMeetTheirSides) {
  for (const PropertyCase& c : kProperties) {
    const Rectangle& r = c.rectangle;
    const double scale = std::max(std::fabs(r.dim_x), std::fabs(r.dim_y));
    for (int level = 1; level <= c.last_level; ++level) {
      SCOPED_TRACE(trace(r, level));
      const Mesh mesh = build_mesh(level, r.dim_x, r.dim_y);
      const Faces faces = build_faces(mesh);
      const FaceGeometry geometry = face_geometry(mesh, faces);

      std::vector<Point> flux(static_cast<std::size_t>(mesh.n_real_volumes) + 1, Point {0, 0});
      std::vector<double> perimeter(flux.size(), 0.0);
      for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
        const double l = faces.face_lengths(f, 1);
        const Point n {faces.face_normals(f, 1), faces.face_normals(f, 2)};
        ASSERT_NEAR(std::hypot(n.x, n.y), 1.0, 1e-15) << "face " << f;
        const auto owner = static_cast<std::size_t>(faces.face_owners(f, 1));
        flux[owner] = {flux[owner].x + l * n.x, flux[owner].y + l * n.y};
        perimeter[owner] += l;
        const std::int32_t w = faces.face_neighbours(f, 1);
        if (w <= mesh.n_real_volumes) {
          const auto neighbour = static_cast<std::size_t>(w);
          flux[neighbour] = {flux[neighbour].x - l * n.x, flux[neighbour].y - l * n.y};
          perimeter[neighbour] += l;
        }
        ASSERT_GT(geometry.normal_distances(f, 1), 0.0) << "face " << f;
      }
      double area = 0.0;
      for (std::int32_t v = 1; v <= mesh.n_real_volumes; ++v) {
        const auto i = static_cast<std::size_t>(v);
        ASSERT_LE(std::hypot(flux[i].x, flux[i].y), 1e-12 * perimeter[i]) << "volume " << v;
        area += faces.volume_areas(v, 1);
      }
      EXPECT_TRUE(near(area, std::fabs(r.dim_x * r.dim_y), 1e-12)) << area;

      const double line[5] = {0.0, 0.0, r.dim_x, r.dim_y, 0.0};  // by side: y, x, y, x
      for (std::int32_t f = faces.n_interior_faces + 1; f <= faces.n_faces; ++f) {
        const int side = faces.face_sides(f, 1);
        ASSERT_GE(side, 1);
        ASSERT_LE(side, 4);
        const Point p = node(mesh, faces.face_nodes(f, 1)), q = node(mesh, faces.face_nodes(f, 2));
        const int axis = side % 2 == 1 ? 1 : 0;  // sides 1 and 3 lie on a line of y
        const double mid[2] = {(p.x + q.x) / 2, (p.y + q.y) / 2};
        ASSERT_NEAR(mid[axis], line[side], 1e-14 * scale) << "face " << f;
        // The two barycentres mirror each other in the face.
        const Point o = barycentre(mesh, faces.face_owners(f, 1));
        const Point g = barycentre(mesh, faces.face_neighbours(f, 1));
        const Point m {(o.x + g.x) / 2, (o.y + g.y) / 2};
        const double ex = q.x - p.x, ey = q.y - p.y, l = faces.face_lengths(f, 1);
        const double off_line = ((m.x - p.x) * ey - (m.y - p.y) * ex) / l;
        const double along = ((m.x - p.x) * ex + (m.y - p.y) * ey) / (l * l);
        ASSERT_NEAR(off_line, 0.0, 1e-12 * scale) << "face " << f;
        ASSERT_GE(along, 0.0) << "face " << f;
        ASSERT_LE(along, 1.0) << "face " << f;
      }
      for (std::int32_t f = 1; f <= faces.n_interior_faces; ++f) {
        ASSERT_EQ(faces.face_sides(f, 1), 0) << "face " << f;
      }
    }
  }
}

TEST(BuildFaces, SquareMeshesAreOrthogonal) {
  for (int level = 1; level <= 14; ++level) {
    SCOPED_TRACE("1 x 1, level " + std::to_string(level));
    const Mesh mesh = build_mesh(level, 1.0, 1.0);
    const FaceGeometry geometry = face_geometry(mesh, build_faces(mesh));
    for (std::int32_t f = 1; f <= geometry.non_orthogonality.rows(); ++f) {
      ASSERT_LT(geometry.non_orthogonality(f, 1), 1e-5) << "face " << f;
    }
  }
}

// Measured, not asserted: the largest angle between the normal and the step
// between barycentres on stretched rectangles (the two-point flux's error).
TEST(BuildFaces, StretchedMeshesNonOrthogonality) {
  for (const Rectangle& r : {Rectangle {"2 x 1", 2.0, 1.0}, Rectangle {"1 x 3", 1.0, 3.0}}) {
    double low = 180.0, high = 0.0;
    for (int level = 1; level <= 14; ++level) {
      const Mesh mesh = build_mesh(level, r.dim_x, r.dim_y);
      const FaceGeometry geometry = face_geometry(mesh, build_faces(mesh));
      double largest = 0.0;
      for (std::int32_t f = 1; f <= geometry.non_orthogonality.rows(); ++f) {
        largest = std::max(largest, geometry.non_orthogonality(f, 1));
      }
      low = std::min(low, largest);
      high = std::max(high, largest);
    }
    std::printf("largest non-orthogonality on %s, levels 1 to 14: %.4f to %.4f degrees\n", r.name,
                low, high);
    RecordProperty(std::string("largest_degrees_") + (r.dim_x == 2.0 ? "2x1" : "1x3"),
                   std::to_string(high));
    EXPECT_LT(high, 90.0) << r.name;
  }
}

TEST(BuildFaces, EmptyMeshHasNoFaces) {
  const Faces faces = build_faces(Mesh {});
  EXPECT_EQ(faces.n_faces, 0);
  EXPECT_EQ(faces.face_owners.rows(), 0);
  EXPECT_EQ(faces.volume_faces.rows(), 0);
}

// Gives volumes a and b each other's number: their rows trade places and
// every neighbour column follows. The tables stay those of a mesh.
void swap_volumes(Mesh& m, std::int32_t a, std::int32_t b) {
  for (std::int32_t v = 1; v <= m.n_volumes; ++v) {
    for (int c = 1; c <= 3; ++c) {
      std::int32_t& w = m.volume_neighbours(v, c);
      w = w == a ? b : w == b ? a : w;
    }
  }
  for (int c = 1; c <= 3; ++c) {
    std::swap(m.volume_nodes(a, c), m.volume_nodes(b, c));
    std::swap(m.volume_neighbours(a, c), m.volume_neighbours(b, c));
  }
  for (int c = 1; c <= 2; ++c) std::swap(m.barycentres(a, c), m.barycentres(b, c));
}

// Meshes the function cannot take, each a change to a level-3 mesh of 2 x 1
// (8 real volumes around node 5, fictitious volumes 9 to 16).
struct Refusal {
  const char* name;
  std::function<void(Mesh&)> damage;
  const char* operation;
};

TEST(BuildFaces, RefusesWhatIsNotAMeshAndKeepsTheFloatingPointEnvironment) {
  const Refusal refusals[] = {
      {"counts that do not add up", [](Mesh& m) { m.n_fict_volumes = 7; }, "ARGUMENT(build_faces)"},
      {"node table shorter than the count", [](Mesh& m) { m.n_nodes += 1; }, "ARGUMENT(build_faces)"},
      {"node number out of range", [](Mesh& m) { m.volume_nodes(2, 2) = 99; }, "ARGUMENT(build_faces)"},
      {"neighbour out of range", [](Mesh& m) { m.volume_neighbours(1, 1) = 17; }, "ARGUMENT(build_faces)"},
      {"missing neighbour", [](Mesh& m) { m.volume_neighbours(3, 3) = 0; }, "ARGUMENT(build_faces)"},
      {"neighbour sharing one node", [](Mesh& m) { m.volume_neighbours(1, 1) = 4; }, "ARGUMENT(build_faces)"},
      {"one neighbour listed twice", [](Mesh& m) { m.volume_neighbours(1, 3) = 2; },
       "ARGUMENT(build_faces)"},
      {"fictitious volumes renumbered across two sides", [](Mesh& m) { swap_volumes(m, 10, 11); },
       "ARGUMENT(build_faces)"},
      {"neighbours that do not list each other", [](Mesh& m) { m.volume_neighbours(9, 2) = 0; },
       "ARGUMENT(build_faces)"},
      {"zero length", [](Mesh& m) { m.node_coords(2, 1) = 0.0; }, "MATH"},
      {"area beyond the largest double",
       [](Mesh& m) {
         for (std::int32_t n = 1; n <= m.n_nodes; ++n) m.node_coords(n, 1) *= 1e300, m.node_coords(n, 2) *= 1e300;
       },
       "MATH"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    Mesh mesh = build_mesh(3, 2.0, 1.0);
    r.damage(mesh);
    std::fenv_t before {}, after {};
    std::feclearexcept(FE_ALL_EXCEPT);
    std::fegetenv(&before);
    try {
      build_faces(mesh);
      ADD_FAILURE() << "no error";
    } catch (const Error& error) {
      EXPECT_EQ(error.operation(), r.operation) << error.what();
    }
    std::fegetenv(&after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);
  }
}

// The face quantities by their definitions, on faces whose values are known:
// level 1 (volumes (1, 2, 3) and (2, 4, 3), fictitious volume 3 below the
// bottom edge).
TEST(FaceGeometry, MatchesItsDefinitions) {
  struct Row {
    const char* name;
    double dim_x, dim_y;
    std::int32_t face;
    Point midpoint, delta;
    double normal_distance, degrees;
  };
  const double root2 = std::sqrt(2.0), root5 = std::sqrt(5.0);
  const Row rows[] = {
      {"1 x 1, the diagonal", 1, 1, 1, {0.5, 0.5}, {1.0 / 3, 1.0 / 3}, root2 / 3, 0.0},
      {"1 x 1, bottom", 1, 1, 2, {0.5, 0.0}, {0.0, -2.0 / 3}, 2.0 / 3, 0.0},
      // The diagonal from (2, 0) to (0, 1), normal (1, 2) / sqrt 5:
      // cos = (4/3) / |delta| sqrt 5 and the angle atan(3/4).
      {"2 x 1, the diagonal", 2, 1, 1, {1.0, 0.5}, {2.0 / 3, 1.0 / 3}, 4 / (3 * root5),
       36.86989764584402},
      {"-2 x 1, the diagonal", -2, 1, 1, {-1.0, 0.5}, {-2.0 / 3, 1.0 / 3}, 4 / (3 * root5),
       36.86989764584402},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const Mesh mesh = build_mesh(1, r.dim_x, r.dim_y);
    const FaceGeometry g = face_geometry(mesh, build_faces(mesh));
    EXPECT_NEAR(g.face_midpoints(r.face, 1), r.midpoint.x, 1e-15);
    EXPECT_NEAR(g.face_midpoints(r.face, 2), r.midpoint.y, 1e-15);
    EXPECT_NEAR(g.face_deltas(r.face, 1), r.delta.x, 1e-15);
    EXPECT_NEAR(g.face_deltas(r.face, 2), r.delta.y, 1e-15);
    EXPECT_NEAR(g.normal_distances(r.face, 1), r.normal_distance, 1e-15);
    EXPECT_NEAR(g.non_orthogonality(r.face, 1), r.degrees, 1e-12);
  }
  // Faces of another mesh name volumes this one lacks.
  const Faces larger = build_faces(build_mesh(4, 1.0, 1.0));
  EXPECT_EQ(testing::thrown_code([&] { face_geometry(build_mesh(2, 1.0, 1.0), larger); }),
            "S5002");
}

// True when every area is positive and every normal points from its owner's
// barycentre to its neighbour's, the product taken in long double, whose
// range holds it for any double lengths.
bool is_outward(const Mesh& mesh, const Faces& faces) {
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    if (!(faces.volume_areas(v, 1) > 0.0)) return false;
  }
  for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
    const Point o = barycentre(mesh, faces.face_owners(f, 1));
    const Point n = barycentre(mesh, faces.face_neighbours(f, 1));
    const long double along =
        static_cast<long double>(faces.face_normals(f, 1)) * (static_cast<long double>(n.x) - o.x) +
        static_cast<long double>(faces.face_normals(f, 2)) * (static_cast<long double>(n.y) - o.y);
    if (!(along > 0)) return false;
  }
  return true;
}

// Lengths whose areas or products leave the normal doubles: each mesh's
// faces are right (positive areas, outward normals) or refused with MATH.
TEST(BuildFaces, TinyAndHugeLengthsGiveRightFacesOrMath) {
  struct Row {
    const char* name;
    int level;
    double dim_x, dim_y;
    const char* code;  // "" when the faces are built
  };
  const Row rows[] = {
      {"area below the smallest double", 6, 1e-200, -1e-160, "M3004"},
      {"area below the smallest double, both negative", 1, -1e-300, -1e-300, "M3004"},
      {"area below the normal doubles", 6, 1e-160, -1e-160, ""},
      {"area below the normal doubles, level 16", 16, 1e-154, 1e-154, ""},
      {"products below the normal doubles", 10, -1e-300, 1e-10, ""},
      {"far apart lengths", 8, 1e-300, -1e300, ""},
      {"area beyond the largest double", 4, 1e300, -1e10, "M3003"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const Mesh mesh = build_mesh(r.level, r.dim_x, r.dim_y);
    std::string code;
    try {
      EXPECT_TRUE(is_outward(mesh, build_faces(mesh)));
    } catch (const Error& error) {
      code = error.code();
    }
    EXPECT_EQ(code, r.code);
  }
  // Random lengths, log-uniform from 1e-300 to 1e300 of either sign.
  std::mt19937_64 random(29);
  std::uniform_real_distribution<double> exponent(-300.0, 300.0);
  for (int i = 0; i < 400; ++i) {
    const int level = 1 + static_cast<int>(random() % 12);
    const double dim_x = std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1);
    const double dim_y = std::pow(10.0, exponent(random)) * (random() % 2 ? 1 : -1);
    SCOPED_TRACE(std::to_string(level) + ", " + std::to_string(dim_x) + ", " + std::to_string(dim_y));
    try {
      const Mesh mesh = build_mesh(level, dim_x, dim_y);
      ASSERT_TRUE(is_outward(mesh, build_faces(mesh)));
    } catch (const Error& error) {
      ASSERT_EQ(error.operation(), "MATH") << error.what();
    }
  }
}

}  // namespace
}  // namespace malha
