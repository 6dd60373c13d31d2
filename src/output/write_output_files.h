#pragma once
// All eleven output files of `mesh`, from opening to closing.
//
// Opens the files in `folder` (empty: the current working directory) into
// `files`, sets their space aside, writes the count records, the node files,
// the volume files and last the processing-time record carrying
// `processing_time` (seconds), then closes them, all in the fixed order of
// the run. Reads the six counts and the four tables of `mesh`, which must
// agree (write_mesh_files checks them for the library's callers).
// Throws: OPEN or WRITE (files) when a file cannot be created, opened or
// written; ALLOCATE when a buffer cannot be obtained. The files that had
// begun are then cut after their bytes as `files` unwinds. The full blocks
// are written on a second thread that lives for this call only
// (sinks/block_writer.h). The caller owns
// `files` so that an interrupt handler can reach them while they are
// written.

#include <string>

#include "mesh/mesh.h"
#include "output/output_files.h"

namespace malha {

void write_output_files(OutputFiles& files, const Mesh& mesh, double processing_time,
                        const std::string& folder = {});

}  // namespace malha
