#include "faces/cell_gradients.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "faces/faces.h"
#include "system/fp_environment_kept.h"
#include "system/run_error.h"

namespace malha {
namespace {

static_assert(sizeof(GradientStencil) == 64, "a stencil is one cache line");

[[noreturn]] void fail_weights(const char* what) { fail_argument("gradient_weights", what); }

[[noreturn]] void fail_undetermined() {
  fail_weights("the barycentres of a volume's neighbours leave its gradient undetermined");
}

void check_length(std::size_t length, std::int64_t expected, const char* name,
                  const char* expected_name) {
  if (length != static_cast<std::uint64_t>(expected)) {
    fail_argument("cell_gradients", std::string(name) + " has " + std::to_string(length) +
                                        " entries, not " + expected_name + " = " +
                                        std::to_string(expected));
  }
}

// The stencil of real volume v. The differences are scaled by a power of two
// that brings the largest to [1, 2), so that no square overflows or
// vanishes below the normal range whatever the lengths; the scale is exact
// and is taken out of the weights again at the end.
GradientStencil stencil_of(const Mesh& mesh, std::int32_t v) {
  GradientStencil stencil{};
  double d[3][2];
  double largest = 0.0;
  for (int k = 0; k < 3; ++k) {
    const std::int32_t w = mesh.volume_neighbours(v, k + 1);
    if (w < 1 || w > mesh.n_volumes || w == v) {
      fail_weights("a real volume does not have three neighbours in range");
    }
    stencil.offsets[k] = w - v;
    for (int c = 0; c < 2; ++c) {
      d[k][c] = mesh.barycentres(w, c + 1) - mesh.barycentres(v, c + 1);
      largest = std::fmax(largest, std::fabs(d[k][c]));
    }
  }
  if (!(largest > 0.0 && largest <= DBL_MAX)) fail_undetermined();
  const int exponent = std::ilogb(largest);
  double mxx = 0.0, mxy = 0.0, myy = 0.0;
  for (auto& dk : d) {
    dk[0] = std::ldexp(dk[0], -exponent);
    dk[1] = std::ldexp(dk[1], -exponent);
    mxx += dk[0] * dk[0];
    mxy += dk[0] * dk[1];
    myy += dk[1] * dk[1];
  }
  const double det = mxx * myy - mxy * mxy;
  if (!(det > 0.0)) fail_undetermined();
  for (int k = 0; k < 3; ++k) {
    double* w = stencil.weights[k];
    w[0] = std::ldexp((myy * d[k][0] - mxy * d[k][1]) / det, -exponent);
    w[1] = std::ldexp((mxx * d[k][1] - mxy * d[k][0]) / det, -exponent);
    if (!(std::isfinite(w[0]) && std::isfinite(w[1]))) fail_undetermined();
  }
  return stencil;
}

// Stencils compared and hashed by their bytes, so that one is shared only by
// volumes whose offsets and weights are the same to the last bit.
struct StencilBytes {
  std::uint64_t words[8];
  explicit StencilBytes(const GradientStencil& s) { std::memcpy(words, &s, sizeof words); }
  bool operator==(const StencilBytes&) const = default;
};

struct StencilHash {
  std::size_t operator()(const StencilBytes& s) const {
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const std::uint64_t w : s.words) h = (h ^ w ^ (w >> 32)) * 0x100000001b3u;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

}  // namespace

std::uint64_t gradient_weights_bytes(const GradientWeights& weights) {
  return static_cast<std::uint64_t>(weights.volume_stencils.rows()) * sizeof(std::int32_t) +
         static_cast<std::uint64_t>(weights.stencils.rows()) * sizeof(GradientStencil);
}

GradientWeights gradient_weights(const Mesh& mesh, const Faces& faces) {
  if (mesh.n_real_volumes < 0 || mesh.n_volumes < mesh.n_real_volumes ||
      mesh.volume_neighbours.rows() != mesh.n_volumes || mesh.barycentres.rows() != mesh.n_volumes ||
      mesh.n_halo_volumes < 0 || mesh.n_halo_volumes > mesh.n_real_volumes ||
      faces.volume_faces.rows() != mesh.n_real_volumes - mesh.n_halo_volumes ||
      faces.volume_areas.rows() != mesh.n_volumes ||
      faces.n_boundary_faces != mesh.n_volumes - mesh.n_real_volumes) {
    fail_weights("the faces are not those of this mesh");
  }
  const FpEnvironmentKept kept;
  GradientWeights weights;
  // A part's halo volumes lack neighbours; their gradients are their own
  // part's.
  weights.n_real_volumes = mesh.n_real_volumes - mesh.n_halo_volumes;
  weights.n_volumes = mesh.n_volumes;
  require_obtainable_memory(static_cast<std::uint64_t>(weights.n_real_volumes) *
                            sizeof(std::int32_t));
  reporting_allocation([&] {
    weights.volume_stencils.allocate(weights.n_real_volumes);
    std::vector<GradientStencil> distinct;
    std::unordered_map<StencilBytes, std::int32_t, StencilHash> rows;
    for (std::int32_t v = 1; v <= weights.n_real_volumes; ++v) {
      const GradientStencil stencil = stencil_of(mesh, v);
      const auto [it, is_new] =
          rows.try_emplace(StencilBytes(stencil), static_cast<std::int32_t>(distinct.size() + 1));
      if (is_new) distinct.push_back(stencil);
      weights.volume_stencils(v, 1) = it->second;
    }
    weights.stencils.allocate(static_cast<std::int32_t>(distinct.size()));
    for (std::size_t i = 0; i < distinct.size(); ++i) {
      weights.stencils(static_cast<std::int32_t>(i + 1), 1) = distinct[i];
    }
  });
  return weights;
}

void cell_gradients(const GradientWeights& weights, std::span<const double> values,
                    std::span<double> gradients) {
  check_length(values.size(), weights.n_volumes, "values", "n_volumes");
  check_length(gradients.size(), 2 * static_cast<std::int64_t>(weights.n_real_volumes),
               "gradients", "2 n_real_volumes");
  if (weights.n_real_volumes == 0) return;
  const std::int32_t* rows = weights.volume_stencils.row(1);
  const GradientStencil* stencils = weights.stencils.row(1);
  const double* u = values.data();
  double* g = gradients.data();
  for (std::ptrdiff_t v = 0; v < weights.n_real_volumes; ++v) {
    const GradientStencil& s = stencils[rows[v] - 1];
    const double own = u[v];
    const double d0 = u[v + s.offsets[0]] - own;
    const double d1 = u[v + s.offsets[1]] - own;
    const double d2 = u[v + s.offsets[2]] - own;
    g[2 * v] = s.weights[0][0] * d0 + s.weights[1][0] * d1 + s.weights[2][0] * d2;
    g[2 * v + 1] = s.weights[0][1] * d0 + s.weights[1][1] * d1 + s.weights[2][1] * d2;
  }
}

MeshTable<double, 2> cell_gradients(const Mesh& mesh, const Faces& faces,
                                    std::span<const double> values) {
  check_length(values.size(), mesh.n_volumes, "values", "n_volumes");
  const GradientWeights weights = gradient_weights(mesh, faces);
  MeshTable<double, 2> gradients;
  reporting_allocation([&] { gradients.allocate(weights.n_real_volumes); });
  const auto entries = 2 * static_cast<std::size_t>(weights.n_real_volumes);
  cell_gradients(weights, values,
                 std::span<double>(entries > 0 ? gradients.row(1) : nullptr, entries));
  return gradients;
}

}  // namespace malha
