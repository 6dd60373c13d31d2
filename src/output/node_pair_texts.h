#pragma once
// The coordinate pair text of every node (x and y of `node_coords`, each in
// real_field_25_15: 50 bytes), formatted once for the five files that repeat
// it. Reads `n_nodes` and `node_coords`. The table takes 50 bytes per node;
// when that would not fit beside the mesh in the memory the machine can
// give, or cannot be obtained, each pair is formatted again where it is
// needed instead. The texts are the same either way.

#include <cstdint>
#include <memory>
#include <string_view>

#include "mesh/mesh.h"
#include "output/record_writer.h"

namespace malha {

class NodePairTexts {
 public:
  // `memory_limit` is the memory the machine can give, in bytes.
  NodePairTexts(const Mesh& mesh, std::uint64_t memory_limit);

  // The pair text of node `node` (1-based); valid until the next call.
  std::string_view operator()(std::int32_t node) {
    if (table_ == nullptr) {
      const double* xy = mesh_.node_coords.row(node);
      format_pair(scratch_, xy[0], xy[1]);
      return {scratch_, kPairWidth};
    }
    return {&table_[static_cast<std::size_t>(node - 1) * kPairWidth], kPairWidth};
  }

  bool is_table() const { return table_ != nullptr; }

 private:
  const Mesh& mesh_;
  std::unique_ptr<char[]> table_;
  char scratch_[kPairWidth] = {};
};

}  // namespace malha
