#include "mesh/define_volumes.h"

#include <cassert>
#include <cstddef>
#include <cstdint>

namespace malha {
namespace {

// Stores volumes in ascending rows, starting at row 1; the fictitious
// volumes follow the real ones without a break in the numbering.
class VolumeWriter {
 public:
  explicit VolumeWriter(Mesh& mesh) : nodes_(mesh.volume_nodes) {}

  void add(std::int32_t a, std::int32_t b, std::int32_t c) {
    ++volume_;
    std::int32_t* row = nodes_.row(volume_);
    row[0] = a;
    row[1] = b;
    row[2] = c;
  }

  std::int32_t last_volume() const { return volume_; }

 private:
  MeshTable<std::int32_t, 3>& nodes_;
  std::int32_t volume_ = 0;
};

// Levels 1 and 2: one cell, fixed tables.
constexpr std::int32_t kLevel1[6][3] = {{1, 2, 3}, {2, 4, 3}, {5, 2, 1},
                                        {6, 4, 2}, {7, 3, 4}, {8, 1, 3}};
constexpr std::int32_t kLevel2[8][3] = {{5, 1, 2}, {5, 2, 4}, {5, 4, 3}, {5, 3, 1},
                                        {6, 2, 1}, {7, 4, 2}, {8, 3, 4}, {9, 1, 3}};

template <std::size_t Rows>
void define_fixed(Mesh& mesh, const std::int32_t (&table)[Rows][3]) {
  VolumeWriter volumes(mesh);
  for (const auto& row : table) volumes.add(row[0], row[1], row[2]);
  assert(volumes.last_volume() == mesh.n_volumes);
}

// Blocks of 2 x 2 cells, each a fan of eight triangles around the block's
// centre lattice node (even row and column); one fictitious node serves the
// two boundary edges of a block along a side.
void define_odd_level(Mesh& mesh) {
  const std::int32_t n = mesh.nodes_per_side;
  const std::int32_t q = mesh.fict_per_side;
  VolumeWriter volumes(mesh);

  for (std::int32_t r = 2; r <= n - 1; r += 2) {
    for (std::int32_t s = 2; s <= n - 1; s += 2) {
      const std::int32_t c = (r - 1) * n + s;
      // The block's boundary, anticlockwise from its bottom-left corner,
      // closed by repeating the first node.
      const std::int32_t ring[9] = {c - n - 1, c - n,     c - n + 1, c + 1, c + n + 1,
                                    c + n,     c + n - 1, c - 1,     c - n - 1};
      for (int k = 0; k < 8; ++k) volumes.add(c, ring[k], ring[k + 1]);
    }
  }

  const std::int32_t top_row_start = (n - 1) * n;  // the node before the top row
  const std::int32_t half_n = (n + 1) / 2;          // n / 2 rounded up
  std::int32_t f = mesh.n_real_nodes;
  for (std::int32_t j = 1; j <= q; ++j) {
    ++f;
    volumes.add(f, 2 * j, 2 * j - 1);
    volumes.add(f, 2 * j + 1, 2 * j);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    ++f;
    volumes.add(f, 2 * j * n, (2 * j - 1) * n);
    volumes.add(f, (2 * j + 1) * n, 2 * j * n);
  }
  // Along the top and the left side j counts the blocks from the far end;
  // t counts them from the left or from the bottom.
  for (std::int32_t j = 1; j <= q; ++j) {
    ++f;
    const std::int32_t t = half_n - j;
    volumes.add(f, top_row_start + 2 * t, top_row_start + 2 * t + 1);
    volumes.add(f, top_row_start + 2 * t - 1, top_row_start + 2 * t);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    ++f;
    const std::int32_t t = half_n - j;
    volumes.add(f, (2 * t - 1) * n + 1, 2 * t * n + 1);
    volumes.add(f, (2 * t - 2) * n + 1, (2 * t - 1) * n + 1);
  }
  assert(volumes.last_volume() == mesh.n_volumes);
}

// Every cell cut into four triangles around its centre node; one fictitious
// node per boundary edge.
void define_even_level(Mesh& mesh) {
  const std::int32_t n = mesh.nodes_per_side;
  const std::int32_t m = mesh.centres_per_side;
  const std::int32_t q = mesh.fict_per_side;
  VolumeWriter volumes(mesh);

  for (std::int32_t d = 1; d <= m; ++d) {
    for (std::int32_t e = 1; e <= m; ++e) {
      const std::int32_t c = n * n + (d - 1) * m + e;
      const std::int32_t bottom_left = (d - 1) * n + e;
      const std::int32_t bottom_right = bottom_left + 1;
      const std::int32_t top_right = d * n + e + 1;
      const std::int32_t top_left = d * n + e;
      volumes.add(c, bottom_left, bottom_right);
      volumes.add(c, bottom_right, top_right);
      volumes.add(c, top_right, top_left);
      volumes.add(c, top_left, bottom_left);
    }
  }

  const std::int32_t top_row_start = (n - 1) * n;
  const std::int32_t first = mesh.n_real_nodes;
  for (std::int32_t j = 1; j <= q; ++j) volumes.add(first + j, j + 1, j);
  for (std::int32_t j = 1; j <= q; ++j) volumes.add(first + q + j, (j + 1) * n, j * n);
  // Along the top and the left side j counts the cells from the far end;
  // t counts them from the left or from the bottom.
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t t = n - j;
    volumes.add(first + 2 * q + j, top_row_start + t, top_row_start + t + 1);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t t = n - j;
    volumes.add(first + 3 * q + j, (t - 1) * n + 1, t * n + 1);
  }
  assert(volumes.last_volume() == mesh.n_volumes);
}

}  // namespace

void define_volumes(Mesh& mesh) {
  if (mesh.level == 1) define_fixed(mesh, kLevel1);
  if (mesh.level == 2) define_fixed(mesh, kLevel2);
  if (mesh.level >= 3 && mesh.level % 2 != 0) define_odd_level(mesh);
  if (mesh.level >= 3 && mesh.level % 2 == 0) define_even_level(mesh);
}

}  // namespace malha
