#pragma once
// Meshes for the construction tests: sized and allocated like a run's, with
// every array element set to a marker value first, so that a test can tell
// which elements a step left unwritten.

#include <array>
#include <cstdint>
#include <vector>

#include "mesh/mesh.h"

namespace malha::testing {

inline constexpr std::int32_t kUnwrittenIndex = -7;
// Compared bit for bit: a quiet NaN with a payload no step produces.
double unwritten_real();
bool is_unwritten(double value);

// size_mesh alone for the inputs: counts and spacings, no arrays.
Mesh counted_mesh(std::int32_t level, double dim_x, double dim_y);

// size_mesh and allocate_mesh for the inputs, then markers everywhere.
Mesh sized_mesh(std::int32_t level, double dim_x, double dim_y);

// A sized mesh with all four construction steps done.
Mesh built_mesh(std::int32_t level, double dim_x, double dim_y);

// A mesh holding only the given volume table (node numbers as given,
// `n_nodes` as given), with `volume_neighbours` allocated and marked.
Mesh mesh_with_volumes(const std::vector<std::int32_t>& triples, std::int32_t n_nodes);

// One row of a three-column table: node numbers or neighbour numbers.
using Row = std::array<std::int32_t, 3>;
Row row_of(const MeshTable<std::int32_t, 3>& table, std::int32_t row);

// Checks rows `first`, `first` + 1, ... of a three-column table against
// `rows`; the table must hold them all.
void expect_rows(const MeshTable<std::int32_t, 3>& table, std::int32_t first,
                 const std::vector<Row>& rows);

// The neighbour rule taken literally: every ordered pair of volumes, the
// nine comparisons each, the first three matches kept.
MeshTable<std::int32_t, 3> literal_neighbours(const Mesh& mesh);

}  // namespace malha::testing
