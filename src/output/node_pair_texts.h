#pragma once
// The coordinate pair records of the nodes (x and y of `node_coords`, each
// in real_field_25_15, then CR LF: 52 bytes), for the outline groups that
// repeat them. Reads `n_nodes` and `node_coords`.
//
// A bounded cache: two entries per set, the set chosen by the low bits of
// the node number, the older entry of a set replaced on a miss. The volumes
// go row by row through the node rows, so with a few node rows' worth of
// sets nearly every corner is found formatted; a miss formats the pair
// again, with the same text. The default size is four times the square root
// of `n_nodes` in sets of 128 bytes, rounded up to a power of two: 1 MiB at
// mesh level 22, 2 MiB at level 24.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "mesh/mesh.h"
#include "output/record_writer.h"

namespace malha {

inline constexpr int kPairRecordWidth = kPairWidth + 2;

class NodePairTexts {
 public:
  // `set_count` 0 sizes the cache for the mesh; otherwise it is rounded up
  // to a power of two.
  explicit NodePairTexts(const Mesh& mesh, std::size_t set_count = 0);

  // The pair record of node `node` (1-based): 50 characters and CR LF;
  // valid until the next call.
  const char* record(std::int32_t node) {
    Set& set = sets_[static_cast<std::size_t>(node) & mask_];
    if (set.node[0] == node) {
      set.older = 1;
      return set.text[0];
    }
    if (set.node[1] == node) {
      set.older = 0;
      return set.text[1];
    }
    return replace(set, node);
  }
  // The 50 characters of the pair alone.
  std::string_view operator()(std::int32_t node) { return {record(node), kPairWidth}; }

  std::size_t set_count() const { return mask_ + 1; }
  // Pairs formatted so far (one per miss).
  std::uint64_t formatted() const { return formatted_; }

 private:
  struct alignas(128) Set {
    std::int32_t node[2];  // 0: empty
    std::uint32_t older;   // the entry a miss replaces
    char text[2][kPairRecordWidth];
  };

  const char* replace(Set& set, std::int32_t node);

  const Mesh& mesh_;
  std::unique_ptr<Set[]> sets_;
  std::size_t mask_ = 0;
  std::uint64_t formatted_ = 0;
};

}  // namespace malha
