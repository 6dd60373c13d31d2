#pragma once
// run: one whole run of the program, from the console dialogue to the viewer
// launch. Returns the exit status, 0 after a completed run; every failure
// ends the process with status 1 before returning (run/run_error.h).

namespace malha {

int run();

}  // namespace malha
