#pragma once
// The refusals of a lattice that no cells can make, shared by the whole
// lattice and its parts. Each throws the ARGUMENT report of `function`,
// naming the argument and the reason: check_lattice_shape a pattern neither
// crossed nor fan, cells below 1 and odd cells in the fan pattern;
// check_lattice_lengths a length that is not finite; check_lattice_lines
// fewer than 2 lines, the shape's refusals of the cells they give, then
// `counts` of those cells where given (a caller's count limits, before a
// large table of lines is read), then lines that are no lattice's
// (lines_fault). `from_x` and `from_y`
// say where the cells come from (" from xs") in the text.

#include <cstdint>
#include <span>
#include <string_view>

#include "mesh/mesh.h"

namespace malha {

void check_lattice_shape(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern,
                         std::string_view function, const char* from_x = "",
                         const char* from_y = "");

void check_lattice_lengths(double dim_x, double dim_y, std::string_view function);

void check_lattice_lines(std::span<const double> xs, std::span<const double> ys,
                         LatticePattern pattern, std::string_view function,
                         void (*counts)(std::int64_t, std::int64_t, LatticePattern) = nullptr);

}  // namespace malha
