#pragma once
// Folder faces/: the finite-volume geometry of a built mesh; it builds on
// mesh/ and system/ only. Installed as <malha/faces.h>.
//
// build_faces(mesh) gives what a cell-centred solver computes before its
// first flux: every face (an edge that a real volume shares with another
// volume), its two volumes, nodes, unit normal, length and side of the
// rectangle, and the area of every volume. It reads only `node_coords`,
// `volume_nodes`, `volume_neighbours`, `barycentres` and the volume and node
// counts of the Mesh; the program does not call it.
//
// Numbering: 1-based throughout, as in the Mesh; face numbers 1..n_faces.
// - Interior faces (a real volume against a real volume) come first,
//   ordered by owner, then by the owner's edge number; boundary faces (a
//   real volume against a fictitious one) follow, boundary face j (face
//   n_interior_faces + j) belonging to fictitious volume n_real_volumes + j.
//   Edges between two fictitious volumes are not faces.
//   n_boundary_faces = n_fict_volumes;
//   n_interior_faces = (3 n_real_volumes - n_fict_volumes) / 2.
// - Edge k of a volume (k = 1, 2, 3) joins its k-th and (k+1)-th nodes as
//   `volume_nodes` lists them, edge 3 joining the third node to the first.
// - The owner is a real volume: the lower-numbered one of an interior face,
//   the real one of a boundary face; the neighbour is the other volume.
//   The face's nodes are the owner's edge, in the owner's order.
// - The normal is a unit vector pointing from the owner's side of the edge
//   to the neighbour's (outward at the boundary), for either orientation of
//   the volumes (negative lengths list them clockwise).
// - Sides: 0 interior; 1 the side y = 0, 2 x = dim_x, 3 y = dim_y, 4 x = 0.
//   Each side's boundary faces are one contiguous run, in that order.
// - Lengths are in the units of `node_coords`, areas in their square.
//
// Throws malha::Error: ALLOCATE when the tables do not fit in memory; MATH
// ("invalid") when an edge has zero length, so that it has no normal (a
// rectangle with a zero length), or ("overflow") when a length or an area is
// beyond the largest double; ARGUMENT(build_faces) when the Mesh's tables
// are not those of a mesh (counts that disagree with the tables, node or
// volume numbers out of range, neighbours that do not share an edge or do
// not list each other). The caller's floating-point environment is kept;
// the function ends no process and keeps no state.

#include <cstdint>

#include "mesh/mesh.h"
#include "system/error.h"

namespace malha {

struct Faces {
  // Counts: n_faces = n_interior_faces + n_boundary_faces.
  std::int32_t n_faces = 0;
  std::int32_t n_interior_faces = 0;
  std::int32_t n_boundary_faces = 0;

  // n_faces rows each.
  MeshTable<std::int32_t, 1> face_owners;      // real volume number
  MeshTable<std::int32_t, 1> face_neighbours;  // real or fictitious volume number
  MeshTable<std::int32_t, 2> face_nodes;       // the owner's edge, in its order
  MeshTable<double, 2> face_normals;           // unit normal x, y, owner to neighbour
  MeshTable<double, 1> face_lengths;           // edge length
  MeshTable<std::int8_t, 1> face_sides;        // 0 interior, 1 to 4 boundary side

  // Per volume.
  MeshTable<double, 1> volume_areas;          // n_volumes rows: area, positive;
                                              // a fictitious volume's is its
                                              // mirror image's (its owner's)
  MeshTable<std::int32_t, 3> volume_faces;    // n_real_volumes rows: the face
                                              // across edge 1, 2, 3
};

// The faces of `mesh`, as described above. Every table is written in full.
Faces build_faces(const Mesh& mesh);

// Bytes the tables of build_faces take for the counts of `mesh`: 41 per
// face, 8 per volume and 12 per real volume.
std::uint64_t faces_table_bytes(const Mesh& mesh);

}  // namespace malha
