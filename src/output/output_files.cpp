#include "output/output_files.h"

#include <utility>

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
  for (const OutputFileEntry& entry : kOutputFiles) {
    files.attach(entry.file, std::make_unique<FileSink>(entry.name));
  }
}

void close_output_files(OutputFiles& files) {
  for (const OutputFileEntry& entry : kOutputFiles) files.sink(entry.file).close();
}

}  // namespace malha
