#pragma once
// The refusals of a lattice that no cells can make, shared by the whole
// lattice and its parts. Each throws the ARGUMENT report of `function`,
// naming the argument and the reason: check_lattice_shape a pattern neither
// crossed nor fan, cells below 1 and odd cells in the fan pattern;
// check_lattice_lengths a length that is not finite.

#include <cstdint>
#include <string_view>

#include "mesh/mesh.h"

namespace malha {

void check_lattice_shape(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern,
                         std::string_view function);

void check_lattice_lengths(double dim_x, double dim_y, std::string_view function);

}  // namespace malha
