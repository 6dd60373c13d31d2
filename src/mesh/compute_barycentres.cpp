#include "mesh/compute_barycentres.h"

#include <cmath>
#include <cstdint>

namespace malha {
namespace {

// Below this magnitude no partial sum of three values can reach the largest
// double (about 2^1024).
constexpr double kLarge = 0x1p1021;

// ((a + b) + c) / 3, rounded after each operation, as if the exponent range
// of the two sums had no upper limit.
//
// When a value is large, the sums are taken on the values scaled by 1/4 and
// the quotient is scaled back. Scaling by a power of two is exact for every
// value of normal size, and a value too small to be scaled exactly (below
// 2^-1020) is absorbed without trace by the large value it is added to, in
// both the scaled and the unscaled sum. The one exception is a first sum
// that cancels to zero: then the third value is added to that zero
// unscaled, which cannot overflow.
double mean_in_order(double a, double b, double c) {
  if (std::fabs(a) < kLarge && std::fabs(b) < kLarge && std::fabs(c) < kLarge) {
    return ((a + b) + c) / 3.0;
  }
  const double first = a * 0.25 + b * 0.25;
  if (first == 0.0) return (first + c) / 3.0;
  return ((first + c * 0.25) / 3.0) * 4.0;
}

}  // namespace

void volume_barycentre(const double* a, const double* b, const double* c, double* out) {
  out[0] = mean_in_order(c[0], b[0], a[0]);
  out[1] = mean_in_order(a[1], b[1], c[1]);
}

void compute_barycentres(Mesh& mesh) {
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    const std::int32_t* nodes = mesh.volume_nodes.row(v);
    volume_barycentre(mesh.node_coords.row(nodes[0]), mesh.node_coords.row(nodes[1]),
                      mesh.node_coords.row(nodes[2]), mesh.barycentres.row(v));
  }
}

}  // namespace malha
