#pragma once
// check_finite_values: the last guard before any output file is opened.
//
// Reads the six spacings, every row of `node_coords` and every row of
// `barycentres`; a finite mesh passes unchanged. It does not rely on the
// traps, so the files hold finite numbers also where no trap is delivered.
// Throws: the MATH overflow report for an infinity anywhere, otherwise the
// MATH invalid report for a not-a-number: the reports the floating-point
// traps give for the same fault.

#include "mesh/mesh.h"

namespace malha {

void check_finite_values(const Mesh& mesh);

}  // namespace malha
