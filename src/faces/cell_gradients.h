#pragma once
// Least-squares gradients of a cell field: for each real volume v, the
// vector g that best fits the differences to its three neighbours across
// its faces, g . d_k ~ u_k - u_v with d_k from v's barycentre to neighbour
// k's, that is g = (sum d_k d_k^T)^-1 sum d_k (u_k - u_v). It is exact for
// a linear field. A ghost's barycentre is the mirror image of its volume's,
// and its value is what the caller's boundary condition gives it.
// Installed as <malha/faces/cell_gradients.h>.
//
// The weights, (sum d d^T)^-1 d_k for each neighbour, depend on the mesh
// alone: gradient_weights computes them once, and every call of
// cell_gradients with them is one pass over the real volumes. A volume's
// stencil is its weights and its neighbours' numbers less its own; volumes
// of the same shape and place in the numbering have the same stencil to the
// last bit, so each distinct stencil is kept once: the record takes 4 bytes
// a real volume (the row of its stencil) and 64 bytes a distinct stencil
// (at level 22 on 2 x 1: 4,932 of them for 4,194,304 real volumes, 4.08
// bytes a volume in all). It reads `barycentres`,
// `volume_neighbours` and the volume counts of the Mesh; the Faces must be
// build_faces(mesh), which has checked those tables.
//
// Values are indexed from 0: values[v - 1] is volume v's, n_volumes of them
// (real volumes first, then one for each fictitious volume); gradients come
// as n_real_volumes pairs x, y in the order of the volumes. On a part of a
// lattice they are its owned volumes' (n_real_volumes - n_halo_volumes), and
// the halo's values are those of the parts that own them.
//
// Throws malha::Error: ARGUMENT(gradient_weights) when the faces are not of
// a mesh of these counts or a volume's neighbours' barycentres leave its
// gradient undetermined (on one line, or not finite); ARGUMENT(cell_gradients)
// when `values` does not have n_volumes entries or `gradients` does not have
// 2 n_real_volumes; ALLOCATE when the weights do not fit in memory. The
// functions end no process and keep no state.

#include <cstdint>
#include <span>

#include "../mesh/mesh.h"
#include "../system/error.h"

namespace malha {

struct Faces;

// A stencil: the three neighbours, as their volume numbers less the
// volume's own, and the weight pair x, y of the difference to each.
struct alignas(64) GradientStencil {
  std::int32_t offsets[3];
  std::int32_t unused;
  double weights[3][2];
};

struct GradientWeights {
  std::int32_t n_real_volumes = 0;
  std::int32_t n_volumes = 0;
  MeshTable<std::int32_t, 1> volume_stencils;  // n_real_volumes rows: a row of stencils
  MeshTable<GradientStencil, 1> stencils;      // the distinct stencils
};

// The weights of the least-squares gradient on `mesh`.
GradientWeights gradient_weights(const Mesh& mesh, const Faces& faces);

// Bytes the tables of `weights` take: 4 a real volume, 64 a distinct stencil.
std::uint64_t gradient_weights_bytes(const GradientWeights& weights);

// Writes each real volume's gradient of `values` into `gradients`
// (2 n_real_volumes entries: x, y of volume 1, then of volume 2, ...).
void cell_gradients(const GradientWeights& weights, std::span<const double> values,
                    std::span<double> gradients);

// The gradients of `values` with weights computed for this call alone:
// n_real_volumes rows of x, y. For repeated calls keep gradient_weights.
MeshTable<double, 2> cell_gradients(const Mesh& mesh, const Faces& faces,
                                    std::span<const double> values);

}  // namespace malha
