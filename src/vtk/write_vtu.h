#pragma once
// Folder vtk/: the mesh as a VTK XML unstructured grid for mesh viewers; it
// builds on readback/, formats/, mesh/ and system/.
//
// Writes "malha.vtu" in `folder` (empty: the current working directory) from
// the counts and the four arrays that read_mesh_files fills: every node as a
// point (z = 0) in node order, every volume as a triangle in volume order
// with its corners in `volume_nodes` order; cell data `volume` (Int32, the
// 1-based number), `fictitious` (UInt8, 1 beyond n_real_volumes), `neighbours`
// (Int32 x 3, 0 = none) and `barycentre` (Float64 x 3, z = 0); point data
// `node` (Int32); field data the four counts. The arrays are appended raw,
// little-endian, each after its UInt64 byte count.
//
// The file is written as "malha.vtu.tmp" and renamed to "malha.vtu" only when
// complete; on a failure the temporary file is removed and the run ends with
// the WRITE report, leaving any earlier "malha.vtu" as it was.

#include <string>

#include "mesh/mesh.h"

namespace malha {

inline constexpr const char* kVtuFile = "malha.vtu";
inline constexpr const char* kVtuTemporaryFile = "malha.vtu.tmp";

void write_vtu(const Mesh& mesh, const std::string& folder);

}  // namespace malha
