#include "mesh/find_volume_neighbours.h"

#include <cassert>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>

#include "mesh/allocate_mesh.h"
#include "run/platform.h"
#include "run/run_error.h"

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
    for_each_distinct_node(mesh.volume_nodes.row(v), n_nodes,
                           [start](std::int32_t node) { ++start[node - 1]; });
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

// A volume with a shared-node count of 2 shares a node with volume i, so it
// is in the list of one of i's nodes. Merging the (up to three) ascending
// lists of i's nodes gives every such candidate once, in ascending order;
// the first three that qualify are the row.
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

}  // namespace

std::uint64_t neighbour_search_scratch_bytes(const Mesh& mesh) {
  const auto nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  return (nodes + 1) * sizeof(std::uint32_t) + volumes * 3 * sizeof(std::int32_t);
}

void find_volume_neighbours(Mesh& mesh) {
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
  for (std::int32_t i = 1; i <= mesh.n_volumes; ++i) {
    find_row(mesh, incidence, i, mesh.volume_neighbours.row(i));
  }
}

}  // namespace malha
