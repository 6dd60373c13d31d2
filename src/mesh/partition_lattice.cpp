#include "mesh/partition_lattice.h"

#include <cstdint>
#include <string>

#include "mesh/check_lattice.h"
#include "mesh/lattice.h"
#include "mesh/lattice_part.h"
#include "system/run_error.h"

namespace malha {
namespace {

constexpr const char* kPartitionLattice = "partition_lattice";

// The cells that one unit of a block takes along a side: a 2 x 2 block in
// the fan pattern, a cell in the crossed one.
std::int64_t unit_cells(LatticePattern pattern) { return pattern == LatticePattern::fan ? 2 : 1; }

// `parts` + 1 boundaries splitting `units` units as evenly as can be, in
// cells.
std::vector<std::int64_t> starts(std::int64_t units, std::int32_t parts, std::int64_t unit) {
  std::vector<std::int64_t> bounds(static_cast<std::size_t>(parts) + 1);
  for (std::int32_t i = 0; i <= parts; ++i)
    bounds[static_cast<std::size_t>(i)] = unit * (i * units / parts);
  return bounds;
}

}  // namespace

LatticePartition partition_lattice_as(std::int64_t cells_x, std::int64_t cells_y,
                                      LatticePattern pattern, std::int32_t parts,
                                      std::string_view function) {
  auto refuse = [function](const std::string& what) { fail_argument(function, what); };
  check_lattice_shape(cells_x, cells_y, pattern, function);
  const std::string shape = std::to_string(cells_x) + " x " + std::to_string(cells_y) + " cells";
  if (cells_x > kMaxLatticeCells || cells_y > kMaxLatticeCells) {
    refuse(shape + " pass " + std::to_string(kMaxLatticeCells) +
           " cells a side, the most a lattice takes");
  }
  if (parts < 1) refuse("parts (" + std::to_string(parts) + ") is below 1");
  const std::int64_t unit = unit_cells(pattern);
  const std::int64_t units_x = cells_x / unit;
  const std::int64_t units_y = cells_y / unit;
  const char* what_unit = unit == 2 ? " blocks of 2 x 2 cells" : " cells";
  if (parts > units_x * units_y) {
    refuse("parts (" + std::to_string(parts) + ") is more than the " +
           std::to_string(units_x * units_y) + what_unit + " of " + shape +
           ": each part needs at least one");
  }
  // The factor pairs of `parts` from the nearest each other outward; the
  // larger count goes along the side with more units, unless only the other
  // way fits.
  const bool x_longer = units_x >= units_y;
  std::int32_t low = 1;
  while (static_cast<std::int64_t>(low + 1) * (low + 1) <= parts) ++low;
  for (; low >= 1; --low) {
    if (parts % low != 0) continue;
    const std::int32_t high = parts / low;
    const std::int32_t first_x = x_longer ? high : low;
    const std::int32_t ways[2][2] = {{first_x, parts / first_x}, {parts / first_x, first_x}};
    for (const auto& way : ways) {
      if (way[0] > units_x || way[1] > units_y) continue;
      LatticePartition partition;
      partition.cells_x = cells_x;
      partition.cells_y = cells_y;
      partition.pattern = pattern;
      partition.parts = parts;
      partition.parts_x = way[0];
      partition.parts_y = way[1];
      partition.x_starts = starts(units_x, way[0], unit);
      partition.y_starts = starts(units_y, way[1], unit);
      return partition;
    }
  }
  fail_argument(function, "no grid of blocks gives each of " + std::to_string(parts) +
                              " parts at least one of" + what_unit + " of " + shape +
                              ": parts must be a product a x b with a <= " +
                              std::to_string(units_x) + " and b <= " + std::to_string(units_y));
}

LevelLattice lattice_of_level(std::int32_t level) {
  check_level(level);
  const LatticeShape shape = level_lattice(level);
  if (shape.cells_x == 0) {
    fail_argument("lattice_of_level", "level " + std::to_string(level) +
                                          " is one cell cut by one diagonal, no lattice");
  }
  return {shape.cells_x, shape.cells_y, shape.pattern};
}

LatticePartition partition_lattice(std::int64_t cells_x, std::int64_t cells_y,
                                   LatticePattern pattern, std::int32_t parts) {
  return reporting_allocation(
      [&] { return partition_lattice_as(cells_x, cells_y, pattern, parts, kPartitionLattice); });
}

std::int64_t owned_offset(const LatticePartition& partition, std::int32_t part) {
  const std::int64_t per_cell = partition.pattern == LatticePattern::fan ? 2 : 4;
  const std::int32_t px = part % partition.parts_x;
  const std::int32_t py = part / partition.parts_x;
  if (py >= partition.parts_y) {
    return per_cell * partition.cells_x * partition.cells_y;
  }
  const std::int64_t row_start = partition.y_starts[static_cast<std::size_t>(py)];
  const std::int64_t row_cells = partition.y_starts[static_cast<std::size_t>(py) + 1] - row_start;
  return per_cell * (partition.cells_x * row_start +
                     row_cells * partition.x_starts[static_cast<std::size_t>(px)]);
}

}  // namespace malha
