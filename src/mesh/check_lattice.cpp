#include "mesh/check_lattice.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "mesh/lattice_lines.h"
#include "system/run_error.h"

namespace malha {

void check_lattice_shape(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern,
                         std::string_view function, const char* from_x,
                         const char* from_y) {
  auto refuse = [function](const std::string& what) { fail_argument(function, what); };
  const bool fan = pattern == LatticePattern::fan;
  if (!fan && pattern != LatticePattern::crossed) {
    refuse("the pattern (" + std::to_string(static_cast<std::int32_t>(pattern)) +
           ") is neither crossed nor fan");
  }
  const struct {
    const char* name;
    std::int64_t cells;
    const char* from;
  } sides[] = {{"cells_x", cells_x, from_x}, {"cells_y", cells_y, from_y}};
  for (const auto& side : sides) {
    const std::string named =
        std::string(side.name) + " (" + std::to_string(side.cells) + side.from + ")";
    if (side.cells < 1) refuse(named + " is below 1");
    if (fan && side.cells % 2 != 0) {
      refuse(named + " is odd: the fan pattern takes blocks of 2 x 2 cells");
    }
  }
}

void check_lattice_lengths(double dim_x, double dim_y, std::string_view function) {
  const struct {
    const char* name;
    double length;
  } lengths[] = {{"dim_x", dim_x}, {"dim_y", dim_y}};
  for (const auto& length : lengths) {
    if (std::isfinite(length.length)) continue;
    char what[96];
    std::snprintf(what, sizeof(what), "%s (%g) is not a finite length", length.name,
                  length.length);
    fail_argument(function, what);
  }
}

void check_lattice_lines(std::span<const double> xs, std::span<const double> ys,
                         LatticePattern pattern, std::string_view function,
                         void (*counts)(std::int64_t, std::int64_t, LatticePattern)) {
  const std::pair<std::span<const double>, const char*> axes[] = {{xs, "xs"}, {ys, "ys"}};
  // Fewer than 2 lines first: no count of cells to check.
  for (const auto& [lines, name] : axes) {
    if (lines.size() < 2) fail_argument(function, *lines_fault(lines, name));
  }
  const auto cells_x = static_cast<std::int64_t>(xs.size()) - 1;
  const auto cells_y = static_cast<std::int64_t>(ys.size()) - 1;
  check_lattice_shape(cells_x, cells_y, pattern, function, " from xs", " from ys");
  if (counts != nullptr) counts(cells_x, cells_y, pattern);
  for (const auto& [lines, name] : axes) {
    if (const auto fault = lines_fault(lines, name)) fail_argument(function, *fault);
  }
}

}  // namespace malha
