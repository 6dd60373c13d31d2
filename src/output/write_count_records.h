#pragma once
// write_count_records: the four labelled count records of a summary file.
//
// Reads `n_real_volumes`, `n_fict_volumes`, `n_real_nodes` and
// `n_fict_nodes`, in this order, and writes one count line each to `out`:
// the label from column 1, the value in int_field_8 in columns 30 to 37
// (37 characters; the 30-character label loses its final blank to the
// field). A value of more than eight characters is written as asterisks.
// Throws: the WRITE report when a write fails.

#include "mesh/mesh.h"
#include "output/record_writer.h"

namespace malha {

void write_count_records(RecordWriter& out, const Mesh& mesh);

}  // namespace malha
