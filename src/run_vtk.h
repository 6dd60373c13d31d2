#pragma once
// The malha-vtk command: reads the files of a run back from a folder (its
// one optional argument; the current working directory without one) and
// writes them as "malha.vtu" in the same folder. Returns the exit status:
// 0 after "malha.vtu" is in place, 1 for a wrong command line; every other
// failure (a malha::Error, or memory that cannot be had as the ALLOCATE
// report) is written to standard error and returns 1.

namespace malha {

int run_vtk(int argc, const char* const* argv);

}  // namespace malha
