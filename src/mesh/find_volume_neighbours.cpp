#include "mesh/find_volume_neighbours.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "mesh/allocate_mesh.h"
#include "mesh/lattice.h"
#include "mesh/mesh_kind.h"
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

// The lattices: each neighbour row comes from the lattice numbering,
// and the node table is not read.
void store_lattice_neighbours(Mesh& mesh) {
  std::int32_t* neighbours = mesh.volume_neighbours.row(1);
  for_each_lattice_volume(lattice_of(mesh), [neighbours](std::int32_t v,
                                                         const LatticeVolume& volume) {
    std::int32_t* row = neighbours + (static_cast<std::size_t>(v) - 1) * 3;
    row[0] = volume.neighbours[0];
    row[1] = volume.neighbours[1];
    row[2] = volume.neighbours[2];
  });
}

}  // namespace

std::uint64_t neighbour_search_scratch_bytes(const Mesh& mesh) {
  const auto nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  return (nodes + 1) * sizeof(std::uint32_t) + volumes * 3 * sizeof(std::int32_t);
}

void find_volume_neighbours(Mesh& mesh) {
  if (mesh.n_volumes <= 0) return;
  switch (mesh_kind(mesh)) {
    case MeshKind::level_1: find_neighbours_in_any_table(mesh); break;
    case MeshKind::level_2:
    case MeshKind::fan:
    case MeshKind::crossed:
      if (!lattice_counts_fit(mesh, kind_of_lattice(mesh.pattern)) ||
          mesh.volume_neighbours.rows() < mesh.n_volumes) {
        fail_argument("find_volume_neighbours",
                      "the counts are not those that sizing gives the mesh's level or lattice");
      }
      store_lattice_neighbours(mesh);
      break;
    case MeshKind::none: break;
  }
}

void find_neighbours_in_any_table(Mesh& mesh) {
  if (mesh.n_volumes <= 0) return;
  // The list positions are 32-bit; so are they at every accepted level.
  const std::uint64_t entries = static_cast<std::uint64_t>(mesh.n_volumes) * 3;
  if (entries > std::numeric_limits<std::uint32_t>::max()) fail(RunError::allocate);
  // As for the mesh arrays: memory the system would grant but cannot back
  // is refused here rather than through the system killing the process.
  require_obtainable_memory(mesh_array_bytes(mesh) + neighbour_search_scratch_bytes(mesh));

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
