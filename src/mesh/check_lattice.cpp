#include "mesh/check_lattice.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "system/run_error.h"

namespace malha {

void check_lattice_shape(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern,
                         std::string_view function) {
  auto refuse = [function](const std::string& what) { fail_argument(function, what); };
  const bool fan = pattern == LatticePattern::fan;
  if (!fan && pattern != LatticePattern::crossed) {
    refuse("the pattern (" + std::to_string(static_cast<std::int32_t>(pattern)) +
           ") is neither crossed nor fan");
  }
  const struct {
    const char* name;
    std::int64_t cells;
  } sides[] = {{"cells_x", cells_x}, {"cells_y", cells_y}};
  for (const auto& side : sides) {
    const std::string named = std::string(side.name) + " (" + std::to_string(side.cells) + ")";
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

}  // namespace malha
