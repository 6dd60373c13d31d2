#include "output/write_count_records.h"

namespace malha {

void write_count_records(RecordWriter& out, const Mesh& mesh) {
  const std::int32_t counts[kCountLines.size()] = {mesh.n_real_volumes, mesh.n_fict_volumes,
                                                   mesh.n_real_nodes, mesh.n_fict_nodes};
  for (std::size_t i = 0; i < kCountLines.size(); ++i) write_count_line(out, kCountLines[i], counts[i]);
}

}  // namespace malha
