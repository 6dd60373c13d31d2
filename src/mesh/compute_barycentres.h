#pragma once
// compute_barycentres: the mean of the three node coordinates of each volume.
//
// Reads `n_volumes`, `volume_nodes` and `node_coords`; writes all `n_volumes`
// rows of `barycentres`. With A, B, C the nodes of a volume in column order,
// x = ((x(C) + x(B)) + x(A)) / 3 and y = ((y(A) + y(B)) + y(C)) / 3, each
// operation rounded to double in that order; a partial sum beyond the largest
// double does not overflow, only the stored quotient must be a double. Node
// numbers must lie in 1..`n_nodes`. Cannot fail.

#include "mesh/mesh.h"

namespace malha {

void compute_barycentres(Mesh& mesh);

// The barycentre of one volume whose nodes A, B, C lie at `a`, `b` and `c`
// (x, y each), by the same rule, into `out` (x, y).
void volume_barycentre(const double* a, const double* b, const double* c, double* out);

}  // namespace malha
