#pragma once
// write_processing_time: the last record of "dados_gerais.txt".
//
// Writes the time line: " tempo de processamento [s]: " (29 characters) and
// `seconds` in real_field_18_9, 47 characters.
// Throws: the WRITE report when a write fails.

#include "output/output_files.h"

namespace malha {

void write_processing_time(OutputFiles& files, double seconds);

}  // namespace malha
