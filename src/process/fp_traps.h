#pragma once
// Floating-point faults during the program's construction of the mesh.
//
// For the program's driver only; no library function calls these. Between
// start_fp_traps and stop_fp_traps, the first invalid operation, division by
// zero or overflow writes the MATH report ("floating-point error: invalid",
// "divide by zero" or "overflow") and ends the process with exit status 1,
// so no infinity or not-a-number is ever stored in the mesh or written.
// Underflow and inexact results follow the ordinary rules. stop_fp_traps
// puts back the floating-point environment and the SIGFPE handler that
// start_fp_traps found. Where the platform has no trap control (or the build
// has MALHA_FP_TRAPS=OFF), both do nothing and the explicit finiteness check
// (mesh/check_finite_values.h) alone finds the faults. Neither throws.

namespace malha {

// True when the traps were enabled.
bool start_fp_traps();
void stop_fp_traps();

}  // namespace malha
