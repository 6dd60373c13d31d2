#pragma once
// Folder faces/: the finite-volume geometry of a built mesh; it builds on
// mesh/ and system/ only. Installed as <malha/faces/faces.h>.
//
// Numbering: 1-based, as in the Mesh; faces 1 to n_faces.
// - Interior faces (real against real volume) first, by owner, then by the
//   owner's edge; then boundary face j (face n_interior_faces + j) against
//   fictitious volume n_real_volumes + j. n_boundary_faces = n_fict_volumes,
//   n_interior_faces = (3 n_real_volumes - n_fict_volumes) / 2.
// - Edge k (1, 2, 3) of a volume joins its nodes k and k + 1 as
//   `volume_nodes` lists them, edge 3 the third node and the first.
// - The owner is the lower-numbered volume of an interior face, the real one
//   of a boundary face; the face's nodes are the owner's edge in its order;
//   the unit normal points from the owner to the neighbour (outward at the
//   boundary) whatever the signs of the lengths.
// - Sides: 0 interior; 1 on y = 0, 2 on x = dim_x, 3 on y = dim_y, 4 on
//   x = 0; each side's boundary faces are one contiguous run, in that order.
// - A part of a lattice (mesh/lattice_part.h): the faces of its owned
//   volumes, 1 to n_real_volumes - n_halo_volumes, alone; a face between
//   two parts is in both, owned by the part's own volume; the sides' runs
//   are those of the owned block; volume_faces holds the owned volumes.

#include <cstdint>

#include "../mesh/mesh.h"
#include "../system/error.h"

namespace malha {

struct Faces {
  // n_faces = n_interior_faces + n_boundary_faces.
  std::int32_t n_faces = 0;
  std::int32_t n_interior_faces = 0;
  std::int32_t n_boundary_faces = 0;

  // n_faces rows each.
  MeshTable<std::int32_t, 1> face_owners;      // real volume
  MeshTable<std::int32_t, 1> face_neighbours;  // real or fictitious volume
  MeshTable<std::int32_t, 2> face_nodes;       // the owner's edge, in its order
  MeshTable<double, 2> face_normals;           // unit normal x, y, owner to neighbour
  MeshTable<double, 1> face_lengths;
  MeshTable<std::int8_t, 1> face_sides;        // 0 interior, 1 to 4 boundary side

  MeshTable<double, 1> volume_areas;        // n_volumes rows, positive; a fictitious
                                            // volume's is its owner's
  MeshTable<std::int32_t, 3> volume_faces;  // n_real_volumes rows: faces across edges 1, 2, 3
};

// The faces of `mesh`; reads its counts, dim_x, dim_y, `node_coords`,
// `volume_nodes` and `volume_neighbours`. 41 bytes a face, 8 a volume and
// 12 a real volume (faces_table_bytes).
// Throws malha::Error: ARGUMENT(build_faces) for tables that are not a
// mesh's (counts that disagree with them, numbers outside them, neighbours
// that do not list each other or share one edge, a boundary face off its
// side's line by more than 2^-32 of the length across); MATH "invalid" for
// an edge of zero length, "overflow" for a length or area beyond the largest
// double, "underflow" for an area below the smallest double; ALLOCATE. The
// caller's floating-point environment is kept.
Faces build_faces(const Mesh& mesh);
std::uint64_t faces_table_bytes(const Mesh& mesh);

// What fluxes need beyond the faces' tables, n_faces rows each: 48 bytes a
// face, on request.
struct FaceGeometry {
  MeshTable<double, 2> face_midpoints;     // the middle of the face's two nodes
  MeshTable<double, 2> face_deltas;        // neighbour's barycentre - owner's
  MeshTable<double, 1> normal_distances;   // delta . normal, > 0 on a mesh
  MeshTable<double, 1> non_orthogonality;  // degrees between delta and normal
};

// The geometry of `faces`, which build_faces gave for `mesh`; reads the
// mesh's `node_coords` and `barycentres`.
// Throws malha::Error: ARGUMENT(face_geometry) for faces naming volumes or
// nodes the mesh lacks; ALLOCATE.
FaceGeometry face_geometry(const Mesh& mesh, const Faces& faces);
std::uint64_t face_geometry_bytes(const Faces& faces);

}  // namespace malha
