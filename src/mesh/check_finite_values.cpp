#include "mesh/check_finite_values.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "system/run_error.h"

namespace malha {
namespace {

// Which kinds of non-finite value a scan has met.
struct NonFinite {
  bool has_infinity = false;
  bool has_not_a_number = false;
};

// One pass without early exit and with one comparison a value: a value is
// finite when its magnitude is at most the largest double, which neither an
// infinity nor a not-a-number is. Only a scan that meets a non-finite value
// looks again to tell the two apart. The loop has no branch on the values,
// so a mesh of many millions of rows is scanned at memory speed.
void scan(const double* values, std::size_t count, NonFinite& found) {
  constexpr double kLargest = std::numeric_limits<double>::max();
  bool is_finite = true;
  for (std::size_t i = 0; i < count; ++i) is_finite &= std::fabs(values[i]) <= kLargest;
  if (is_finite) return;
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < count; ++i) {
    found.has_infinity |= std::fabs(values[i]) == kInfinity;
    found.has_not_a_number |= values[i] != values[i];
  }
}

template <int Cols>
void scan_table(const MeshTable<double, Cols>& table, NonFinite& found) {
  if (table.rows() == 0) return;
  scan(table.row(1), static_cast<std::size_t>(table.rows()) * Cols, found);
}

}  // namespace

// An infinity comes first from an overflow; a not-a-number in this mesh can
// only come from an infinity met later (its inputs are finite), so the
// infinity decides the report, as the first trap would have.
void check_finite_values(const Mesh& mesh) {
  NonFinite found;
  const double spacings[] = {mesh.dx,      mesh.dy,     mesh.half_dx,
                             mesh.half_dy, mesh.two_dx, mesh.two_dy};
  scan(spacings, sizeof(spacings) / sizeof(spacings[0]), found);
  scan_table(mesh.node_coords, found);
  scan_table(mesh.barycentres, found);
  if (found.has_infinity) fail(RunError::math_overflow);
  if (found.has_not_a_number) fail(RunError::math_invalid);
}

}  // namespace malha
