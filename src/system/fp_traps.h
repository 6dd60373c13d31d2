#pragma once
// Floating-point faults during the construction of the mesh.
//
// The program uses the hardware traps: between start_fp_traps and
// stop_fp_traps, the first invalid operation, division by zero or overflow
// ends the run at once with the MATH report ("floating-point error: invalid",
// "divide by zero" or "overflow") and exit status 1, so no infinity or
// not-a-number is ever stored in the mesh or written. Underflow and inexact
// results follow the ordinary rules. The traps cover sizing and the
// construction steps only.

namespace malha {

void start_fp_traps();
void stop_fp_traps();

}  // namespace malha
