#pragma once
// partition_lattice (declared in mesh/lattice_part.h) with its refusals
// named after `function`, for build_lattice_part, which cuts the lattice
// the same way.

#include <cstdint>
#include <string_view>

#include "mesh/lattice_part.h"

namespace malha {

LatticePartition partition_lattice_as(std::int64_t cells_x, std::int64_t cells_y,
                                      LatticePattern pattern, std::int32_t parts,
                                      std::string_view function);

}  // namespace malha
