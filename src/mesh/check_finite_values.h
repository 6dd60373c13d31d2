#pragma once
// check_finite_values: the last guard before any output file is opened.
//
// Reads the six spacings, every row of `node_coords` and every row of
// `barycentres`. An infinity anywhere ends the run with the MATH overflow
// report, otherwise a not-a-number ends it with the MATH invalid report, exit
// status 1, as the floating-point traps would have; a finite mesh passes
// unchanged. It does not rely on the traps, so the files hold finite numbers
// also where no trap is delivered.

#include "mesh/mesh.h"

namespace malha {

void check_finite_values(const Mesh& mesh);

}  // namespace malha
