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
#include <numbers>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "malha/malha.h"

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

// The angle in degrees between the normal of face `f` and the step from its
// owner's barycentre to its neighbour's.
double non_orthogonality(const Mesh& mesh, const Faces& faces, std::int32_t f) {
  const Point o = barycentre(mesh, faces.face_owners(f, 1));
  const Point n = barycentre(mesh, faces.face_neighbours(f, 1));
  const double dx = n.x - o.x, dy = n.y - o.y;
  const double along = dx * faces.face_normals(f, 1) + dy * faces.face_normals(f, 2);
  const double across = dx * faces.face_normals(f, 2) - dy * faces.face_normals(f, 1);
  return std::atan2(std::fabs(across), along) * 180.0 / std::numbers::pi;
}

TEST(BuildFaces, VolumesCloseTileTheRectangleAndMeetTheirSides) {
  for (const PropertyCase& c : kProperties) {
    const Rectangle& r = c.rectangle;
    const double scale = std::max(std::fabs(r.dim_x), std::fabs(r.dim_y));
    for (int level = 1; level <= c.last_level; ++level) {
      SCOPED_TRACE(trace(r, level));
      const Mesh mesh = build_mesh(level, r.dim_x, r.dim_y);
      const Faces faces = build_faces(mesh);

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
        if (r.dim_x > 0 && r.dim_y > 0) {
          const Point o = barycentre(mesh, faces.face_owners(f, 1)), b = barycentre(mesh, w);
          ASSERT_GT((b.x - o.x) * n.x + (b.y - o.y) * n.y, 0.0) << "face " << f;
        }
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
    const Faces faces = build_faces(mesh);
    for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
      ASSERT_LT(non_orthogonality(mesh, faces, f), 1e-5) << "face " << f;
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
      const Faces faces = build_faces(mesh);
      double largest = 0.0;
      for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
        largest = std::max(largest, non_orthogonality(mesh, faces, f));
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

}  // namespace
}  // namespace malha
