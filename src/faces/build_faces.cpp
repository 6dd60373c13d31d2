#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "faces/allocate_table.h"
#include "faces/faces.h"
#include "mesh/check_mesh_tables.h"
#include "mesh/lattice.h"
#include "system/fp_environment_kept.h"
#include "system/run_error.h"

namespace malha {
namespace {

[[noreturn]] void fail_mesh(const char* what) { fail_argument("build_faces", what); }

// The real volumes whose faces are built: all but a part's halo.
std::int32_t owned_volumes(const Mesh& mesh) { return mesh.n_real_volumes - mesh.n_halo_volumes; }

// Twice the interior faces: each owned volume has three faces, each
// fictitious volume one of them, each halo volume one (a part's block is a
// rectangle of cells, so no halo volume meets two owned ones), and a face
// between two owned volumes is counted from both.
std::int64_t interior_faces_twice(const Mesh& mesh) {
  return 3 * static_cast<std::int64_t>(owned_volumes(mesh)) - mesh.n_fict_volumes +
         mesh.n_halo_volumes;
}

// The boundary faces of each side, bottom, right, top, left: a lattice's
// run of boundary edges on it (those of a part's block on the sides it
// reaches), else a quarter of them each.
void side_runs(const Mesh& mesh, std::int32_t (&runs)[4]) {
  for (int side = 0; side < 4; ++side) {
    runs[side] = is_lattice(mesh) ? boundary_run(mesh.cells_x, mesh.cells_y, side).count
                                  : mesh.n_fict_volumes / 4;
  }
  if (mesh.part_cells_x > 0) {
    const std::int64_t x_end = std::int64_t{mesh.part_first_x} + mesh.part_cells_x;
    const std::int64_t y_end = std::int64_t{mesh.part_first_y} + mesh.part_cells_y;
    runs[0] = mesh.part_first_y == 0 ? mesh.part_cells_x : 0;
    runs[1] = x_end == mesh.cells_x ? mesh.part_cells_y : 0;
    runs[2] = y_end == mesh.cells_y ? mesh.part_cells_x : 0;
    runs[3] = mesh.part_first_x == 0 ? mesh.part_cells_y : 0;
  }
}

// The tables a mesh must hold before any of them is read (check_mesh_tables),
// then the counts of a rectangle's mesh.
void check_counts(const Mesh& mesh) {
  check_mesh_tables(mesh, "build_faces",
                    {.barycentres = false, .mutual_neighbours = true});
  if (mesh.n_halo_volumes < 0 || mesh.n_halo_volumes > mesh.n_real_volumes) {
    fail_mesh("the halo volumes are not some of the real volumes");
  }
  const std::int64_t twice_interior = interior_faces_twice(mesh);
  if (twice_interior < 0 || twice_interior % 2 != 0 ||
      twice_interior / 2 + mesh.n_fict_volumes > INT32_MAX) {
    fail_mesh("the volume counts are not those of a mesh of a rectangle");
  }
  std::int32_t runs[4];
  side_runs(mesh, runs);
  if (is_lattice(mesh) ? mesh.n_fict_volumes != std::int64_t{runs[0]} + runs[1] + runs[2] + runs[3]
                       : mesh.n_fict_volumes % 4 != 0) {
    fail_mesh("the fictitious volumes are not one for each boundary edge of the lattice");
  }
}

// The exponent e of 2^e <= |value| < 2^(e+1), for a finite value not 0.
int binary_exponent(double value) { return std::ilogb(value); }

// The signed area of the triangle of the edges (ux, uy) and (vx, vy) from
// its first node. Where the plain cross product leaves the normal doubles,
// each axis is scaled by a power of 2 to its edges' size first, so that the
// sign is right and the area is as near as a double can hold: 0 where the
// triangle has none (`is_flat`) or where even the smallest double is too
// large.
double area_of(double ux, double uy, double vx, double vy, bool& is_flat) {
  const double plain = 0.5 * (ux * vy - vx * uy);
  if (std::fabs(plain) >= DBL_MIN && std::fabs(plain) <= DBL_MAX) return plain;
  const double x_size = std::max(std::fabs(ux), std::fabs(vx));
  const double y_size = std::max(std::fabs(uy), std::fabs(vy));
  if (x_size == 0.0 || y_size == 0.0 || !(x_size <= DBL_MAX && y_size <= DBL_MAX)) {
    is_flat = plain == 0.0;
    return plain;
  }
  const int ex = binary_exponent(x_size);
  const int ey = binary_exponent(y_size);
  const double scaled = 0.5 * (std::ldexp(ux, -ex) * std::ldexp(vy, -ey) -
                               std::ldexp(vx, -ex) * std::ldexp(uy, -ey));
  is_flat = scaled == 0.0;
  return std::ldexp(scaled, ex + ey);
}

// The position (0, 1, 2) of the one node of `nodes` that `other` lacks.
int lacking_node(const std::int32_t* nodes, const std::int32_t* other) {
  int position = -1;
  int lacking = 0;
  for (int i = 0; i < 3; ++i) {
    if (nodes[i] != other[0] && nodes[i] != other[1] && nodes[i] != other[2]) {
      position = i;
      ++lacking;
    }
  }
  if (lacking != 1) fail_mesh("two neighbours do not share exactly one edge");
  return position;
}

// Edge k (0-based) joins nodes k and k + 1, so the edge opposite node i is
// edge i + 1.
int edge_opposite(int node_position) { return node_position == 2 ? 0 : node_position + 1; }

class FaceBuilder {
 public:
  FaceBuilder(const Mesh& mesh, Faces& faces) : mesh_(mesh), faces_(faces) {
    side_runs(mesh, side_runs_);
  }

  void build() {
    // The sides follow from the face numbers alone: interior faces are on
    // none, and the boundary faces run round the rectangle side by side.
    if (faces_.n_interior_faces > 0) {
      std::memset(faces_.face_sides.row(1), 0, static_cast<std::size_t>(faces_.n_interior_faces));
    }
    // Boundary faces are filled in the order of their owners, not their
    // own; a zero owner marks one not filled yet.
    std::int32_t face = faces_.n_interior_faces;
    for (int side = 0; side < 4; ++side) {
      for (std::int32_t j = 1; j <= side_runs_[side]; ++j) {
        ++face;
        faces_.face_owners(face, 1) = 0;
        faces_.face_sides(face, 1) = static_cast<std::int8_t>(1 + side);
      }
    }
    const std::int32_t owned = owned_volumes(mesh_);
    for (std::int32_t v = 1; v <= owned; ++v) add_volume(v);
    for (std::int32_t v = owned + 1; v <= mesh_.n_real_volumes; ++v) add_area(v);
    if (next_interior_ != faces_.n_interior_faces) {
      fail_mesh("the interior faces do not number (3 real - fictitious) / 2");
    }
    for (std::int32_t j = 1; j <= faces_.n_boundary_faces; ++j) {
      if (faces_.face_owners(faces_.n_interior_faces + j, 1) == 0) {
        fail_mesh("a fictitious volume has no real neighbour");
      }
    }
    if (has_zero_length_) fail(RunError::math_invalid);
    if (has_overflow_) fail(RunError::math_overflow);
    if (has_underflow_) fail(RunError::math_underflow);
    if (off_side_) {
      fail_mesh("a boundary face is not on the side its fictitious volume's number gives");
    }
  }

 private:
  // Real volume `v`: its area and its three faces by edge. A face whose
  // owner is `v` is written here; a face owned by a lower real volume was
  // written with that volume and is looked up in its row of volume_faces.
  void add_volume(std::int32_t v) {
    const std::int32_t* nodes = mesh_.volume_nodes.row(v);
    const double signed_area = add_area(v);
    const double area = std::fabs(signed_area);
    // The outward normal of an anticlockwise volume is the edge turned
    // clockwise; a clockwise volume (a negative length) turns it the other
    // way.
    const double turn = signed_area < 0.0 ? -1.0 : 1.0;

    // The neighbour columns are sorted by volume number: each is placed
    // against its edge, the one opposite the node it lacks.
    std::int32_t across[3] = {0, 0, 0};
    for (int col = 0; col < 3; ++col) {
      const std::int32_t w = mesh_.volume_neighbours(v, col + 1);
      if (w == 0 || w == v) fail_mesh("a real volume does not have three neighbours");
      const int edge = edge_opposite(lacking_node(nodes, mesh_.volume_nodes.row(w)));
      if (across[edge] != 0) fail_mesh("two neighbours share one edge");
      across[edge] = w;
    }

    std::int32_t* volume_faces = faces_.volume_faces.row(v);
    for (int edge = 0; edge < 3; ++edge) {
      const std::int32_t w = across[edge];
      std::int32_t face = 0;
      if (w > mesh_.n_real_volumes) {
        const std::int32_t j = w - mesh_.n_real_volumes;
        face = faces_.n_interior_faces + j;
        if (faces_.face_owners(face, 1) != 0) {
          fail_mesh("a fictitious volume has two real neighbours");
        }
        write_face(face, v, w, nodes[edge], nodes[edge == 2 ? 0 : edge + 1], turn);
        check_side(face, faces_.face_sides(face, 1));
        faces_.volume_areas(w, 1) = area;  // the mirror image's
      } else if (w > v) {
        if (next_interior_ == faces_.n_interior_faces) {
          fail_mesh("the interior faces do not number (3 real - fictitious) / 2");
        }
        face = ++next_interior_;
        write_face(face, v, w, nodes[edge], nodes[edge == 2 ? 0 : edge + 1], turn);
      } else {
        const std::int32_t* other = mesh_.volume_nodes.row(w);
        face = faces_.volume_faces(w, edge_opposite(lacking_node(other, nodes)) + 1);
        if (faces_.face_owners(face, 1) != w || faces_.face_neighbours(face, 1) != v) {
          fail_mesh("two real volumes do not list each other as neighbours");
        }
      }
      volume_faces[edge] = face;
    }
  }

  // Volume `v`'s area, kept; the signed one returned.
  double add_area(std::int32_t v) {
    const std::int32_t* nodes = mesh_.volume_nodes.row(v);
    const double* a = mesh_.node_coords.row(nodes[0]);
    const double* b = mesh_.node_coords.row(nodes[1]);
    const double* c = mesh_.node_coords.row(nodes[2]);
    bool is_flat = false;
    const double signed_area =
        area_of(b[0] - a[0], b[1] - a[1], c[0] - a[0], c[1] - a[1], is_flat);
    const double area = std::fabs(signed_area);
    has_overflow_ |= !(area <= DBL_MAX);
    has_zero_length_ |= is_flat;
    has_underflow_ |= area == 0.0 && !is_flat;
    faces_.volume_areas(v, 1) = area;
    return signed_area;
  }

  void write_face(std::int32_t face, std::int32_t owner, std::int32_t neighbour,
                  std::int32_t from, std::int32_t to, double turn) {
    const double* p = mesh_.node_coords.row(from);
    const double* q = mesh_.node_coords.row(to);
    double ex = q[0] - p[0];
    double ey = q[1] - p[1];
    const double square = ex * ex + ey * ey;
    double length = std::sqrt(square);
    double unit = length;  // what the edge is divided by to make the normal
    if (!(square >= DBL_MIN && square <= DBL_MAX) && (ex != 0.0 || ey != 0.0)) {
      // Outside the normal doubles the edge is first scaled by a power of 2
      // to its size, so that the normal is a unit vector to the last digit
      // and the length as near as a double can hold.
      const int scale = binary_exponent(std::max(std::fabs(ex), std::fabs(ey)));
      ex = std::ldexp(ex, -scale);
      ey = std::ldexp(ey, -scale);
      unit = std::sqrt(ex * ex + ey * ey);
      length = std::ldexp(unit, scale);
    }
    has_zero_length_ |= length == 0.0;
    has_overflow_ |= !(length <= DBL_MAX);
    faces_.face_owners(face, 1) = owner;
    faces_.face_neighbours(face, 1) = neighbour;
    std::int32_t* face_nodes = faces_.face_nodes.row(face);
    face_nodes[0] = from;
    face_nodes[1] = to;
    double* normal = faces_.face_normals.row(face);
    normal[0] = turn * ey / unit;
    normal[1] = -turn * ex / unit;
    faces_.face_lengths(face, 1) = length;
  }

  // Refuses boundary face `face` unless both its nodes lie on the line of
  // `side`, within 2^-32 of the rectangle's length across that line: a
  // mesh whose fictitious volumes do not run round the sides in order.
  void check_side(std::int32_t face, int side) {
    const bool is_horizontal = side == 1 || side == 3;
    const double line = side == 2 ? mesh_.dim_x : side == 3 ? mesh_.dim_y : 0.0;
    const double across = is_horizontal ? mesh_.dim_y : mesh_.dim_x;
    const double tolerance = std::ldexp(std::fabs(across), -32) +
                             4.0 * std::max(side_runs_[0], side_runs_[1]) * DBL_TRUE_MIN;
    for (int end = 1; end <= 2; ++end) {
      const double* at = mesh_.node_coords.row(faces_.face_nodes(face, end));
      if (!(std::fabs(at[is_horizontal ? 1 : 0] - line) <= tolerance)) off_side_ = true;
    }
  }

  const Mesh& mesh_;
  Faces& faces_;
  std::int32_t side_runs_[4] = {};
  std::int32_t next_interior_ = 0;
  bool has_zero_length_ = false;
  bool has_overflow_ = false;
  bool has_underflow_ = false;
  bool off_side_ = false;
};

}  // namespace

std::uint64_t faces_table_bytes(const Mesh& mesh) {
  const auto real = static_cast<std::uint64_t>(mesh.n_real_volumes);
  const auto fict = static_cast<std::uint64_t>(mesh.n_fict_volumes);
  const std::uint64_t faces = 3 * real >= fict ? (3 * real - fict) / 2 + fict : 0;
  const std::uint64_t per_face = 4 + 4 + 2 * 4 + 2 * 8 + 8 + 1;
  return faces * per_face + (real + fict) * 8 + real * 3 * 4;
}

Faces build_faces(const Mesh& mesh) {
  check_counts(mesh);
  const FpEnvironmentKept kept;
  Faces faces;
  faces.n_boundary_faces = mesh.n_fict_volumes;
  faces.n_interior_faces = static_cast<std::int32_t>(interior_faces_twice(mesh) / 2);
  faces.n_faces = faces.n_interior_faces + faces.n_boundary_faces;
  require_obtainable_memory(faces_table_bytes(mesh));
  reporting_allocation([&] {
    allocate_table(faces.face_owners, faces.n_faces);
    allocate_table(faces.face_neighbours, faces.n_faces);
    allocate_table(faces.face_nodes, faces.n_faces);
    allocate_table(faces.face_normals, faces.n_faces);
    allocate_table(faces.face_lengths, faces.n_faces);
    allocate_table(faces.face_sides, faces.n_faces);
    allocate_table(faces.volume_areas, mesh.n_volumes);
    allocate_table(faces.volume_faces, owned_volumes(mesh));
  });
  FaceBuilder(mesh, faces).build();
  return faces;
}

}  // namespace malha
