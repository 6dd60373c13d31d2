#pragma once
// Output files held in memory, for the tests of the file writers.

#include <memory>
#include <string>

#include "sinks/byte_sink.h"
#include "output/output_files.h"

namespace malha::testing {

// All eleven files attached to memory sinks named after the files.
struct MemoryOutput {
  MemoryOutput() {
    for (const OutputFileEntry& entry : kOutputFiles) {
      files.attach(entry.file, std::make_unique<MemorySink>(entry.name));
    }
  }
  std::string bytes(OutputFile file) { return static_cast<MemorySink&>(files.sink(file)).bytes(); }

  OutputFiles files;
};

}  // namespace malha::testing
