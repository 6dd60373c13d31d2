#include "output/node_pair_texts.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "formats/number_fields.h"

namespace malha {

NodePairTexts::NodePairTexts(const Mesh& mesh, std::size_t set_count) : mesh_(mesh) {
  if (set_count == 0) {
    const double root = std::sqrt(static_cast<double>(std::max(mesh.n_nodes, 0)));
    set_count = std::max<std::size_t>(64, static_cast<std::size_t>(4 * root));
  }
  set_count = std::bit_ceil(set_count);
  entries_ = std::make_unique<NodeTexts[]>(2 * set_count);  // every entry empty
  older_ = std::make_unique<std::uint8_t[]>(set_count);
  mask_ = set_count - 1;
}

const NodeTexts& NodePairTexts::replace(std::size_t index, std::int32_t node) {
  const std::uint8_t older = older_[index];
  older_[index] = older ^ 1;
  NodeTexts& entry = entries_[2 * index + older];
  entry.node = node;
  int_field_8(entry.number, node);
  const double* xy = mesh_.node_coords.row(node);
  format_pair(entry.pair_record, xy[0], xy[1]);
  std::memcpy(entry.pair_record + kPairWidth, kLineEnd.data(), kLineEnd.size());
  ++formatted_;
  return entry;
}

}  // namespace malha
