#pragma once
// The texts of the nodes for the volume records that repeat them: the node
// number in int_field_8 and the coordinate pair record (x and y of
// `node_coords`, each in real_field_25_15, then CR LF: 52 bytes). Reads
// `n_nodes` and `node_coords`.
//
// A bounded cache: two entries per set, the set chosen by the low bits of
// the node number, the older entry of a set replaced on a miss. The volumes
// go row by row through the node rows, so with a few node rows' worth of
// sets nearly every corner is found formatted; a miss formats the pair
// again, with the same texts. The default size is four times the square
// root of `n_nodes` in sets of 128 bytes, rounded up to a power of two:
// 1 MiB at mesh level 22, 2 MiB at level 24. Node numbers must lie in
// 1..`n_nodes`.
// Throws: the constructor std::bad_alloc when the cache cannot be obtained;
// nothing else throws.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "mesh/mesh.h"
#include "formats/number_fields.h"
#include "output/record_writer.h"

namespace malha {

inline constexpr int kPairRecordWidth = kPairRecordBytes;

// One node's texts, 64 bytes.
struct NodeTexts {
  std::int32_t node;  // 0: empty
  char number[kIntField8Width];
  char pair_record[kPairRecordWidth];
};
static_assert(sizeof(NodeTexts) == 64);

class NodePairTexts {
 public:
  // `set_count` 0 sizes the cache for the mesh; otherwise it is rounded up
  // to a power of two.
  explicit NodePairTexts(const Mesh& mesh, std::size_t set_count = 0);

  // The texts of node `node` (1-based); valid until the next call.
  const NodeTexts& texts(std::int32_t node) {
    const std::size_t index = static_cast<std::size_t>(node) & mask_;
    NodeTexts* set = &entries_[2 * index];
    if (set[0].node == node) {
      older_[index] = 1;
      return set[0];
    }
    if (set[1].node == node) {
      older_[index] = 0;
      return set[1];
    }
    return replace(index, node);
  }
  // The pair record: 50 characters and CR LF.
  const char* record(std::int32_t node) { return texts(node).pair_record; }
  // The 50 characters of the pair alone.
  std::string_view operator()(std::int32_t node) { return {record(node), kPairWidth}; }

  std::size_t set_count() const { return mask_ + 1; }
  // Nodes formatted so far (one per miss).
  std::uint64_t formatted() const { return formatted_; }

 private:
  const NodeTexts& replace(std::size_t index, std::int32_t node);

  const Mesh& mesh_;
  // Two entries per set, the sets one after another.
  std::unique_ptr<NodeTexts[]> entries_;
  // Per set, the entry a miss replaces.
  std::unique_ptr<std::uint8_t[]> older_;
  std::size_t mask_ = 0;
  std::uint64_t formatted_ = 0;
};

}  // namespace malha
