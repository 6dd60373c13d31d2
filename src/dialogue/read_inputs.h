#pragma once
// Folder dialogue/: the four questions and the reader of their answers; it
// builds on system/ and stores the answers in the Mesh record.
//
// read_inputs: the console dialogue of a run.
//
// Asks the four questions in order and reads one answer to each from
// standard input into `level`, `dim_x`, `dim_y` and `show_plots`; an answer
// that gives no value (a null or a slash) leaves the field at 0. An answer
// that cannot be read, or the end of the input, ends the run with the READ
// report.

#include "dialogue/list_input.h"
#include "mesh/mesh.h"

namespace malha {

void read_inputs(Mesh& mesh);

// The same dialogue with the answers read from `input` in place of standard
// input (the prompts still go to standard output).
void read_inputs(Mesh& mesh, ByteSource& input);

}  // namespace malha
