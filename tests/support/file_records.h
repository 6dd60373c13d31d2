#pragma once
// An output file read record by record through its description in
// formats/file_formats.h: every record's length, line end and literal text,
// and every number field read with the reader's field readers and required
// to be the very text the writer gives the value read (so no signed zero,
// no leading zero digit, no field cut or widened).

#include <cstdint>
#include <filesystem>
#include <vector>

#include "formats/file_formats.h"
#include "mesh/mesh.h"

namespace malha::testing {

// The numbers of one record, in field order: its integer fields and its
// real fields (a numbered pair has one of each kind and then the other).
struct RecordValues {
  std::vector<std::int32_t> ints;
  std::vector<double> reals;
};

// Reads `path` as the file `file` of a mesh with the counts of `counts`
// (n_nodes, n_volumes, n_real_volumes). A record that breaks its layout
// fails the test; a file whose record lengths or line ends are wrong, whose
// fields are not numbers, or that holds more or fewer records than the
// counts call for ends it with the reader's report.
std::vector<RecordValues> read_records(const std::filesystem::path& path, OutputFile file,
                                       const Mesh& counts);

}  // namespace malha::testing
