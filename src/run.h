#pragma once
// The driver: the only code that includes every folder of the program.
//
// run: one whole run of the program, from the console dialogue to the viewer
// launch. Returns the exit status, 0 after a completed run; every failure
// ends the process with status 1 before returning (system/run_error.h).

namespace malha {

int run();

}  // namespace malha
