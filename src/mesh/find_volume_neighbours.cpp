#include "mesh/find_volume_neighbours.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "mesh/allocate_mesh.h"
#include "system/platform.h"
#include "system/run_error.h"

namespace malha {
namespace {

// For each node, the volumes that contain it, in ascending volume order,
// stored in compressed rows: the volumes of node a are
// volumes[start[a - 1]] up to, not including, volumes[start[a]]. A volume is
// listed once per distinct node number it holds; node numbers outside
// 1..n_nodes are left out.
struct NodeVolumes {
  std::unique_ptr<std::uint32_t[]> start;  // n_nodes + 1 entries
  std::unique_ptr<std::int32_t[]> volumes;
  // Every row holds three different node numbers, all in 1..n_nodes, as in
  // every mesh the program builds.
  bool rows_are_plain = true;

  const std::int32_t* begin(std::int32_t node) const { return &volumes[start[node - 1]]; }
  const std::int32_t* end(std::int32_t node) const { return &volumes[start[node]]; }
};

template <typename T>
std::unique_ptr<T[]> obtain(std::uint64_t count) {
  T* block = new (std::nothrow) T[static_cast<std::size_t>(count)];
  if (block == nullptr) fail(RunError::allocate);
  return std::unique_ptr<T[]>(block);
}

// Calls `visit(node)` once for each distinct node number of a row that can
// index the incidence lists.
template <typename Visit>
void for_each_distinct_node(const std::int32_t* row, std::int32_t n_nodes, Visit visit) {
  for (int a = 0; a < 3; ++a) {
    const std::int32_t node = row[a];
    if (node < 1 || node > n_nodes) continue;
    if ((a >= 1 && node == row[0]) || (a == 2 && node == row[1])) continue;
    visit(node);
  }
}

NodeVolumes collect_node_volumes(const Mesh& mesh) {
  const std::int32_t n_nodes = mesh.n_nodes;
  const std::int32_t n_volumes = mesh.n_volumes;
  NodeVolumes incidence;
  incidence.start = obtain<std::uint32_t>(static_cast<std::uint64_t>(n_nodes) + 1);
  std::uint32_t* start = incidence.start.get();
  for (std::int32_t a = 0; a <= n_nodes; ++a) start[a] = 0;

  // Count each node's volumes in start[node - 1], then turn the counts into
  // running sums, so that start[node - 1] is the end of the node's list.
  for (std::int32_t v = 1; v <= n_volumes; ++v) {
    int listed = 0;
    for_each_distinct_node(mesh.volume_nodes.row(v), n_nodes, [start, &listed](std::int32_t node) {
      ++start[node - 1];
      ++listed;
    });
    if (listed != 3) incidence.rows_are_plain = false;
  }
  std::uint32_t total = 0;
  for (std::int32_t a = 0; a < n_nodes; ++a) {
    total += start[a];
    start[a] = total;
  }
  start[n_nodes] = total;

  // Filling from the last volume down, each list ends up ascending and each
  // start[node - 1] moves back to the beginning of the node's list.
  incidence.volumes = obtain<std::int32_t>(total);
  std::int32_t* volumes = incidence.volumes.get();
  for (std::int32_t v = n_volumes; v >= 1; --v) {
    for_each_distinct_node(mesh.volume_nodes.row(v), n_nodes,
                           [start, volumes, v](std::int32_t node) { volumes[--start[node - 1]] = v; });
  }
  return incidence;
}

// The number of equal pairs among the nine pairs of node numbers.
int shared_node_count(const std::int32_t* p, const std::int32_t* q) {
  int count = 0;
  for (int a = 0; a < 3; ++a) {
    count += (p[a] == q[0]) + (p[a] == q[1]) + (p[a] == q[2]);
  }
  return count;
}

// Any table. A volume with a shared-node count of 2 shares a node with
// volume i, so it is in the list of one of i's nodes. Merging the (up to
// three) ascending lists of i's nodes gives every such candidate once, in
// ascending order; the first three whose count is 2 are the row.
void find_row(const Mesh& mesh, const NodeVolumes& incidence, std::int32_t i,
              std::int32_t* neighbours) {
  const std::int32_t* row = mesh.volume_nodes.row(i);
  const std::int32_t* next[3];
  const std::int32_t* last[3];
  int lists = 0;
  for_each_distinct_node(row, mesh.n_nodes, [&](std::int32_t node) {
    next[lists] = incidence.begin(node);
    last[lists] = incidence.end(node);
    ++lists;
  });

  int found = 0;
  while (found < 3) {
    std::int32_t j = std::numeric_limits<std::int32_t>::max();
    bool any = false;
    for (int l = 0; l < lists; ++l) {
      if (next[l] != last[l] && *next[l] <= j) {
        j = *next[l];
        any = true;
      }
    }
    if (!any) break;
    for (int l = 0; l < lists; ++l) {
      if (next[l] != last[l] && *next[l] == j) ++next[l];
    }
    if (j != i && shared_node_count(row, mesh.volume_nodes.row(j)) == 2) {
      neighbours[found++] = j;
    }
  }
  for (int c = found; c < 3; ++c) neighbours[c] = 0;
}

bool holds(const std::int32_t* row, std::int32_t node) {
  return (row[0] == node) | (row[1] == node) | (row[2] == node);
}

// Plain tables, where a shared-node count of 2 means two of i's three nodes
// x, y, z. Such a volume is either in x's list with exactly one of y and z,
// or in y's list with z and without x; z's list need not be read. Each scan
// keeps its first three finds (ascending, and the two scans never find the
// same volume); the row is the lowest three of both. Volume i itself holds
// all three and is never kept. The rows read in a scan do not depend on each
// other, which keeps the processor busy where a merge of lists would wait.
void find_plain_row(const Mesh& mesh, const NodeVolumes& incidence, std::int32_t i,
                    std::int32_t* neighbours) {
  const std::int32_t* row = mesh.volume_nodes.row(i);
  const std::int32_t x = row[0];
  const std::int32_t y = row[1];
  const std::int32_t z = row[2];

  std::int32_t with_x[3];
  int n_with_x = 0;
  for (const std::int32_t* j = incidence.begin(x); j != incidence.end(x) && n_with_x < 3; ++j) {
    const std::int32_t* other = mesh.volume_nodes.row(*j);
    with_x[n_with_x] = *j;
    n_with_x += holds(other, y) != holds(other, z);
  }
  std::int32_t with_y[3];
  int n_with_y = 0;
  for (const std::int32_t* j = incidence.begin(y); j != incidence.end(y) && n_with_y < 3; ++j) {
    const std::int32_t* other = mesh.volume_nodes.row(*j);
    with_y[n_with_y] = *j;
    n_with_y += holds(other, z) && !holds(other, x);
  }

  int a = 0;
  int b = 0;
  for (int c = 0; c < 3; ++c) {
    if (a < n_with_x && (b == n_with_y || with_x[a] < with_y[b])) {
      neighbours[c] = with_x[a++];
    } else if (b < n_with_y) {
      neighbours[c] = with_y[b++];
    } else {
      neighbours[c] = 0;
    }
  }
}

// The rows of a lattice table are checked and its neighbour rows written in
// one pass: `put` compares row v of volume_nodes with the row the lattice
// gives it and stores the neighbour row that follows from that lattice.
// Any difference is remembered, and the caller then searches the table as
// any other; that search overwrites every neighbour row written here.
class LatticeRows {
 public:
  explicit LatticeRows(Mesh& mesh)
      : nodes_(mesh.volume_nodes.row(1)), neighbours_(mesh.volume_neighbours.row(1)) {}

  void put(std::int32_t v, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t p,
           std::int32_t q, std::int32_t r) {
    const std::size_t at = (static_cast<std::size_t>(v) - 1) * 3;
    differs_ |= (nodes_[at] != a) | (nodes_[at + 1] != b) | (nodes_[at + 2] != c);
    neighbours_[at] = p;
    neighbours_[at + 1] = q;
    neighbours_[at + 2] = r;
  }

  bool differs() const { return differs_; }

 private:
  const std::int32_t* nodes_;
  std::int32_t* neighbours_;
  bool differs_ = false;
};

// Both tables below need counts that fit the lattice figures, so that every
// node number of the lattice rows lies in 1..n_nodes and the fictitious
// nodes follow the real ones.
bool tables_hold(const Mesh& mesh, std::int64_t volumes) {
  return mesh.n_volumes == volumes && mesh.volume_nodes.rows() >= mesh.n_volumes &&
         mesh.volume_neighbours.rows() >= mesh.n_volumes;
}

// Even levels: m x m cells, cell (d, e) (row d, column e) the four triangles
// around its centre c, numbered from 4 (cell - 1) + 1: bottom (c, BL, BR),
// right (c, BR, TR), top (c, TR, TL), left (c, TL, BL). Each triangle meets
// its two neighbours in the cell across its edges to c, and across its outer
// edge the opposite triangle of the next cell or the side's fictitious
// volume. Only the bottom and left triangles can have a lower neighbour
// across that edge; the others list it last. A fictitious volume meets only
// the triangle across its boundary edge. Returns false, rows unfinished,
// when the table is not this one.
bool find_even_lattice_neighbours(Mesh& mesh) {
  const std::int64_t m = mesh.centres_per_side;
  if (m < 1 || m > (1 << 14) || mesh.nodes_per_side != m + 1 || mesh.fict_per_side != m) {
    return false;
  }
  const std::int64_t lattice = (m + 1) * (m + 1) + m * m;
  if (mesh.n_real_nodes != lattice || mesh.n_nodes != lattice + 4 * m) return false;
  if (!tables_hold(mesh, 4 * m * m + 4 * m)) return false;

  const auto cells = static_cast<std::int32_t>(m);
  const std::int32_t n = cells + 1;
  const std::int32_t real = 4 * cells * cells;  // the fictitious volumes follow
  const std::int32_t first_fict_node = mesh.n_real_nodes;
  LatticeRows rows(mesh);
  for (std::int32_t d = 1; d <= cells; ++d) {
    for (std::int32_t e = 1; e <= cells; ++e) {
      const std::int32_t c = n * n + (d - 1) * cells + e;
      const std::int32_t bl = (d - 1) * n + e;
      const std::int32_t br = bl + 1;
      const std::int32_t tr = d * n + e + 1;
      const std::int32_t tl = d * n + e;
      const std::int32_t base = 4 * ((d - 1) * cells + e - 1);
      if (d > 1) {
        rows.put(base + 1, c, bl, br, base - 4 * cells + 3, base + 2, base + 4);
      } else {
        rows.put(base + 1, c, bl, br, base + 2, base + 4, real + e);
      }
      rows.put(base + 2, c, br, tr, base + 1, base + 3,
               e < cells ? base + 8 : real + cells + d);
      rows.put(base + 3, c, tr, tl, base + 2, base + 4,
               d < cells ? base + 4 * cells + 1 : real + 2 * cells + (cells + 1 - e));
      if (e > 1) {
        rows.put(base + 4, c, tl, bl, base - 2, base + 1, base + 3);
      } else {
        rows.put(base + 4, c, tl, bl, base + 1, base + 3, real + 3 * cells + (cells + 1 - d));
      }
    }
    if (rows.differs()) return false;
  }

  const std::int32_t q = cells;
  const std::int32_t top_row_start = (n - 1) * n;
  for (std::int32_t j = 1; j <= q; ++j) {
    rows.put(real + j, first_fict_node + j, j + 1, j, 4 * (j - 1) + 1, 0, 0);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    rows.put(real + q + j, first_fict_node + q + j, (j + 1) * n, j * n,
             4 * ((j - 1) * cells + cells - 1) + 2, 0, 0);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t t = n - j;  // the cell's column
    rows.put(real + 2 * q + j, first_fict_node + 2 * q + j, top_row_start + t,
             top_row_start + t + 1, 4 * ((cells - 1) * cells + t - 1) + 3, 0, 0);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t t = n - j;  // the cell's row
    rows.put(real + 3 * q + j, first_fict_node + 3 * q + j, (t - 1) * n + 1, t * n + 1,
             4 * ((t - 1) * cells) + 4, 0, 0);
  }
  return !rows.differs();
}

// Odd levels: B x B blocks of 2 x 2 cells, block (R, S) the fan of eight
// triangles k = 0..7 around its centre c, numbered from 8 (block - 1) + 1,
// triangle k on the k-th edge of the block's boundary taken anticlockwise
// from its bottom-left corner: bottom (k 0, 1), right (2, 3), top (4, 5),
// left (6, 7). Triangle k meets triangles k - 1 and k + 1 of its fan across
// its edges to c, and across its outer edge the facing triangle of the next
// block (bottom 0, 1 face top 5, 4; right 2, 3 face left 7, 6) or a
// fictitious volume. Each fictitious node serves two fictitious volumes on
// the two edges of one block side; they meet each other and the triangle
// across their own edge. Returns false, rows unfinished, when the table is
// not this one.
bool find_odd_lattice_neighbours(Mesh& mesh) {
  const std::int64_t n64 = mesh.nodes_per_side;
  if (n64 < 3 || n64 % 2 == 0 || n64 > (1 << 15) + 1) return false;
  const std::int64_t b64 = (n64 - 1) / 2;
  if (mesh.fict_per_side != b64) return false;
  if (mesh.n_real_nodes != n64 * n64 || mesh.n_nodes != n64 * n64 + 4 * b64) return false;
  if (!tables_hold(mesh, 8 * b64 * b64 + 8 * b64)) return false;

  const auto n = static_cast<std::int32_t>(n64);
  const auto blocks = static_cast<std::int32_t>(b64);
  const std::int32_t real = 8 * blocks * blocks;  // the fictitious volumes follow
  const std::int32_t q = blocks;
  const std::int32_t first_fict_node = mesh.n_real_nodes;
  LatticeRows rows(mesh);
  for (std::int32_t R = 1; R <= blocks; ++R) {
    for (std::int32_t S = 1; S <= blocks; ++S) {
      const std::int32_t c = (2 * R - 1) * n + 2 * S;
      const std::int32_t bl = c - n - 1, bm = c - n, br = c - n + 1, rm = c + 1;
      const std::int32_t tr = c + n + 1, tm = c + n, tl = c + n - 1, lm = c - 1;
      const std::int32_t base = 8 * ((R - 1) * blocks + S - 1);
      const std::int32_t below = base - 8 * blocks;
      const std::int32_t above = base + 8 * blocks;
      if (R > 1) {
        rows.put(base + 1, c, bl, bm, below + 6, base + 2, base + 8);
        rows.put(base + 2, c, bm, br, below + 5, base + 1, base + 3);
      } else {
        rows.put(base + 1, c, bl, bm, base + 2, base + 8, real + 2 * S - 1);
        rows.put(base + 2, c, bm, br, base + 1, base + 3, real + 2 * S);
      }
      if (S < blocks) {
        rows.put(base + 3, c, br, rm, base + 2, base + 4, base + 16);
        rows.put(base + 4, c, rm, tr, base + 3, base + 5, base + 15);
      } else {
        rows.put(base + 3, c, br, rm, base + 2, base + 4, real + 2 * q + 2 * R - 1);
        rows.put(base + 4, c, rm, tr, base + 3, base + 5, real + 2 * q + 2 * R);
      }
      if (R < blocks) {
        rows.put(base + 5, c, tr, tm, base + 4, base + 6, above + 2);
        rows.put(base + 6, c, tm, tl, base + 5, base + 7, above + 1);
      } else {
        const std::int32_t j = blocks + 1 - S;  // the top run counts from the right
        rows.put(base + 5, c, tr, tm, base + 4, base + 6, real + 4 * q + 2 * j - 1);
        rows.put(base + 6, c, tm, tl, base + 5, base + 7, real + 4 * q + 2 * j);
      }
      if (S > 1) {
        rows.put(base + 7, c, tl, lm, base - 4, base + 6, base + 8);
        rows.put(base + 8, c, lm, bl, base - 5, base + 1, base + 7);
      } else {
        const std::int32_t j = blocks + 1 - R;  // the left run counts from the top
        rows.put(base + 7, c, tl, lm, base + 6, base + 8, real + 6 * q + 2 * j - 1);
        rows.put(base + 8, c, lm, bl, base + 1, base + 7, real + 6 * q + 2 * j);
      }
    }
    if (rows.differs()) return false;
  }

  const std::int32_t top_row_start = (n - 1) * n;
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t f = first_fict_node + j;
    const std::int32_t v = real + 2 * j - 1;
    const std::int32_t facing = 8 * (j - 1);  // block (1, j)
    rows.put(v, f, 2 * j, 2 * j - 1, facing + 1, v + 1, 0);
    rows.put(v + 1, f, 2 * j + 1, 2 * j, facing + 2, v, 0);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t f = first_fict_node + q + j;
    const std::int32_t v = real + 2 * q + 2 * j - 1;
    const std::int32_t facing = 8 * ((j - 1) * blocks + blocks - 1);  // block (j, B)
    rows.put(v, f, 2 * j * n, (2 * j - 1) * n, facing + 3, v + 1, 0);
    rows.put(v + 1, f, (2 * j + 1) * n, 2 * j * n, facing + 4, v, 0);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t f = first_fict_node + 2 * q + j;
    const std::int32_t v = real + 4 * q + 2 * j - 1;
    const std::int32_t t = blocks + 1 - j;
    const std::int32_t facing = 8 * ((blocks - 1) * blocks + t - 1);  // block (B, t)
    rows.put(v, f, top_row_start + 2 * t, top_row_start + 2 * t + 1, facing + 5, v + 1, 0);
    rows.put(v + 1, f, top_row_start + 2 * t - 1, top_row_start + 2 * t, facing + 6, v, 0);
  }
  for (std::int32_t j = 1; j <= q; ++j) {
    const std::int32_t f = first_fict_node + 3 * q + j;
    const std::int32_t v = real + 6 * q + 2 * j - 1;
    const std::int32_t t = blocks + 1 - j;
    const std::int32_t facing = 8 * ((t - 1) * blocks);  // block (t, 1)
    rows.put(v, f, (2 * t - 1) * n + 1, 2 * t * n + 1, facing + 7, v + 1, 0);
    rows.put(v + 1, f, (2 * t - 2) * n + 1, (2 * t - 1) * n + 1, facing + 8, v, 0);
  }
  return !rows.differs();
}

}  // namespace

std::uint64_t neighbour_search_scratch_bytes(const Mesh& mesh) {
  const auto nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  return (nodes + 1) * sizeof(std::uint32_t) + volumes * 3 * sizeof(std::int32_t);
}

void find_volume_neighbours(Mesh& mesh) {
  if (mesh.n_volumes <= 0) return;
  // The tables define_volumes writes at lattice levels need no search.
  if (mesh.level >= 3 && mesh.level % 2 == 0 && find_even_lattice_neighbours(mesh)) return;
  if (mesh.level >= 3 && mesh.level % 2 != 0 && find_odd_lattice_neighbours(mesh)) return;
  find_neighbours_in_any_table(mesh);
}

void find_neighbours_in_any_table(Mesh& mesh) {
  if (mesh.n_volumes <= 0) return;
  // The list positions are 32-bit; so are they at every accepted level.
  const std::uint64_t entries = static_cast<std::uint64_t>(mesh.n_volumes) * 3;
  if (entries > std::numeric_limits<std::uint32_t>::max()) fail(RunError::allocate);
  // As for the mesh arrays: memory the system would grant but cannot back
  // ends the run here rather than through the system killing the process.
  if (mesh_array_bytes(mesh) + neighbour_search_scratch_bytes(mesh) >
      platform::obtainable_memory_bytes()) {
    fail(RunError::allocate);
  }

  const NodeVolumes incidence = collect_node_volumes(mesh);
  if (incidence.rows_are_plain) {
    for (std::int32_t i = 1; i <= mesh.n_volumes; ++i) {
      find_plain_row(mesh, incidence, i, mesh.volume_neighbours.row(i));
    }
  } else {
    for (std::int32_t i = 1; i <= mesh.n_volumes; ++i) {
      find_row(mesh, incidence, i, mesh.volume_neighbours.row(i));
    }
  }
}

}  // namespace malha
