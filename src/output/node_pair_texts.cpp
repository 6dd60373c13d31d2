#include "output/node_pair_texts.h"

#include <new>

#include "mesh/allocate_mesh.h"

namespace malha {

NodePairTexts::NodePairTexts(const Mesh& mesh, std::uint64_t memory_limit) : mesh_(mesh) {
  const auto n_nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const std::uint64_t table_bytes = n_nodes * kPairWidth;
  // The mesh arrays stay in memory while the files are written; leave them
  // their room, and some for the file buffers and the process itself.
  constexpr std::uint64_t kReserveBytes = 256ull * 1024 * 1024;
  if (mesh_array_bytes(mesh) + table_bytes + kReserveBytes > memory_limit) return;
  table_.reset(new (std::nothrow) char[table_bytes]);
  if (table_ == nullptr) return;
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) {
    const double* xy = mesh.node_coords.row(node);
    format_pair(&table_[static_cast<std::size_t>(node - 1) * kPairWidth], xy[0], xy[1]);
  }
}

}  // namespace malha
