#include "support/test_mesh.h"

#include <bit>
#include <cassert>

#include <gtest/gtest.h>

#include "mesh/allocate_mesh.h"
#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/place_nodes.h"
#include "mesh/size_mesh.h"

namespace malha::testing {
namespace {

constexpr std::uint64_t kUnwrittenBits = 0x7ff8'0000'dead'beefULL;

template <typename T, int Cols>
void mark(MeshTable<T, Cols>& table, T marker) {
  for (std::int32_t r = 1; r <= table.rows(); ++r) {
    for (int c = 1; c <= Cols; ++c) table(r, c) = marker;
  }
}

}  // namespace

double unwritten_real() { return std::bit_cast<double>(kUnwrittenBits); }
bool is_unwritten(double value) { return std::bit_cast<std::uint64_t>(value) == kUnwrittenBits; }

Mesh counted_mesh(std::int32_t level, double dim_x, double dim_y) {
  Mesh mesh;
  mesh.level = level;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  size_mesh(mesh);
  return mesh;
}

Mesh sized_mesh(std::int32_t level, double dim_x, double dim_y) {
  Mesh mesh = counted_mesh(level, dim_x, dim_y);
  allocate_mesh(mesh);
  mark(mesh.node_coords, unwritten_real());
  mark(mesh.volume_nodes, kUnwrittenIndex);
  mark(mesh.volume_neighbours, kUnwrittenIndex);
  mark(mesh.barycentres, unwritten_real());
  return mesh;
}

Mesh built_mesh(std::int32_t level, double dim_x, double dim_y) {
  Mesh mesh = sized_mesh(level, dim_x, dim_y);
  place_nodes(mesh);
  define_volumes(mesh);
  find_volume_neighbours(mesh);
  compute_barycentres(mesh);
  return mesh;
}

Mesh mesh_with_volumes(const std::vector<std::int32_t>& triples, std::int32_t n_nodes) {
  assert(triples.size() % 3 == 0);
  Mesh mesh;
  mesh.n_nodes = n_nodes;
  mesh.n_volumes = static_cast<std::int32_t>(triples.size() / 3);
  mesh.volume_nodes.allocate(mesh.n_volumes);
  mesh.volume_neighbours.allocate(mesh.n_volumes);
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    for (int c = 1; c <= 3; ++c) mesh.volume_nodes(v, c) = triples[static_cast<std::size_t>(3 * (v - 1) + c - 1)];
  }
  mark(mesh.volume_neighbours, kUnwrittenIndex);
  return mesh;
}

Row row_of(const MeshTable<std::int32_t, 3>& table, std::int32_t row) {
  return {table(row, 1), table(row, 2), table(row, 3)};
}

void expect_rows(const MeshTable<std::int32_t, 3>& table, std::int32_t first,
                 const std::vector<Row>& rows) {
  ASSERT_LE(first - 1 + static_cast<std::int32_t>(rows.size()), table.rows());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::int32_t row = first + static_cast<std::int32_t>(k);
    EXPECT_EQ(row_of(table, row), rows[k]) << "row " << row;
  }
}

MeshTable<std::int32_t, 3> literal_neighbours(const Mesh& mesh) {
  MeshTable<std::int32_t, 3> table;
  table.allocate(mesh.n_volumes);
  for (std::int32_t i = 1; i <= mesh.n_volumes; ++i) {
    for (int c = 1; c <= 3; ++c) table(i, c) = 0;
  }
  for (std::int32_t i = 1; i <= mesh.n_volumes; ++i) {
    int next = 1;
    for (std::int32_t j = 1; j <= mesh.n_volumes; ++j) {
      if (j == i) continue;
      int count = 0;
      for (int a = 1; a <= 3; ++a) {
        for (int b = 1; b <= 3; ++b) {
          if (mesh.volume_nodes(i, a) == mesh.volume_nodes(j, b)) ++count;
        }
      }
      if (count == 2) table(i, next++) = j;
      if (next == 4) break;
    }
  }
  return table;
}

}  // namespace malha::testing
