#include "mesh/lattice_part.h"
#include "mesh/partition_lattice.h"
#include "system/run_error.h"

namespace malha {

MeshPart build_lattice_part(std::int64_t cells_x, std::int64_t cells_y, double dim_x,
                            double dim_y, LatticePattern pattern, std::int32_t part,
                            std::int32_t parts) {
  (void)dim_x;
  (void)dim_y;
  const LatticePartition partition =
      partition_lattice_as(cells_x, cells_y, pattern, parts, "build_lattice_part");
  (void)partition;
  MeshPart result;
  result.part = part;
  result.parts = parts;
  fail_argument("build_lattice_part", "not built yet");
}

}  // namespace malha
