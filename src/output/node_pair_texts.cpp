#include "output/node_pair_texts.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace malha {

NodePairTexts::NodePairTexts(const Mesh& mesh, std::size_t set_count) : mesh_(mesh) {
  if (set_count == 0) {
    const double root = std::sqrt(static_cast<double>(std::max(mesh.n_nodes, 0)));
    set_count = std::max<std::size_t>(64, static_cast<std::size_t>(4 * root));
  }
  set_count = std::bit_ceil(set_count);
  sets_ = std::make_unique<Set[]>(set_count);  // every entry empty
  mask_ = set_count - 1;
}

const char* NodePairTexts::replace(Set& set, std::int32_t node) {
  const std::uint32_t entry = set.older;
  set.older = entry ^ 1;
  set.node[entry] = node;
  char* text = set.text[entry];
  const double* xy = mesh_.node_coords.row(node);
  format_pair(text, xy[0], xy[1]);
  std::memcpy(text + kPairWidth, "\r\n", 2);
  ++formatted_;
  return text;
}

}  // namespace malha
