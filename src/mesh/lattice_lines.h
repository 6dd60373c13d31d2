#pragma once
// The lines of a lattice along one axis: the grading helpers that make
// them, the rule that given lines must keep, and whether they are equal
// steps.
//
// graded_lines and two_sided_lines give `cells` + 1 lines from 0 to
// `length`, the last exactly `length`, for build_lattice_mesh(xs, ys, ...).
// Throws: the ARGUMENT report of the helper, naming the reason, for cells
// below 1 or past kMaxLatticeCells, a length that is 0 or not finite, a
// ratio that is not finite or not above 0, or steps too small to differ.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace malha {

// Lines whose steps grow in geometric progression, the last step `ratio`
// times the first (below 1: shrinking); ratio 1 gives equal steps, line i
// exactly i x (length / cells). One cell takes any ratio.
std::vector<double> graded_lines(std::int64_t cells, double length, double ratio);

// Lines fine at both ends and coarse in the middle, symmetric about the
// middle: the steps grow in geometric progression from each end, and the
// middle step (the two middle ones, for even cells) is `ratio` times the
// end ones (below 1: coarse ends). Ratio 1, or fewer than 3 cells, gives
// graded_lines(cells, length, 1).
std::vector<double> two_sided_lines(std::int64_t cells, double length, double ratio);

// What is wrong with `lines`, named `name` in the text ("xs"), as lines of
// a lattice: fewer than 2, a value that is not finite, a first line that
// is not 0, or lines that are not strictly increasing or strictly
// decreasing; nothing when they are lattice lines.
std::optional<std::string> lines_fault(std::span<const double> lines, const char* name);

// The step of `lines` when they are equal steps: every line i, below the
// last, exactly i x step as a double, step = last line / cells. Nothing
// when a line differs from that.
std::optional<double> equal_step(std::span<const double> lines);

}  // namespace malha
