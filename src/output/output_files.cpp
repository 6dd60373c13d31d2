#include "output/output_files.h"

#include <utility>

#include "system/platform.h"
#include "system/run_error.h"

namespace malha {

void OutputFiles::attach(OutputFile file, std::unique_ptr<ByteSink> sink) {
  sinks_[index(file)] = std::move(sink);
  writers_[index(file)] = RecordWriter(*sinks_[index(file)]);
}

NodePairTexts& OutputFiles::node_pairs(const Mesh& mesh) {
  if (!node_pairs_) node_pairs_.emplace(mesh);
  return *node_pairs_;
}

void open_output_files(OutputFiles& files) {
  // From here on, a run that ends early leaves no file with this run's
  // records followed by an earlier run's.
  set_failure_cleanup(FileSink::cut_started_files);
  platform::set_interrupt_handler(FileSink::cut_started_files);
  for (const OutputFileEntry& entry : kOutputFiles) {
    files.attach(entry.file, std::make_unique<FileSink>(entry.name));
  }
}

void reserve_output_space(OutputFiles& files, const Mesh& mesh) {
  for (const OutputFileEntry& entry : kOutputFiles) {
    files.sink(entry.file).reserve(output_file_bytes(entry.file, mesh));
  }
}

void close_output_files(OutputFiles& files) {
  for (const OutputFileEntry& entry : kOutputFiles) files.sink(entry.file).close();
  platform::set_interrupt_handler(nullptr);
  set_failure_cleanup(nullptr);
}

}  // namespace malha
