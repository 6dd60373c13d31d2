#include "output/output_files.h"

#include <string>
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

void OutputFiles::cut_started_files() noexcept {
  for (const std::unique_ptr<ByteSink>& sink : sinks_) {
    if (sink) sink->cut_if_started();
  }
}

void open_output_files(OutputFiles& files, const std::string& folder, BlockWriter* writer) {
  for (const OutputFileEntry& entry : kOutputFiles) {
    const std::string path = folder.empty() ? std::string(entry.name) : folder + "/" + entry.name;
    files.attach(entry.file, std::make_unique<FileSink>(path, writer));
  }
}

void reserve_output_space(OutputFiles& files, const Mesh& mesh) {
  for (const OutputFileEntry& entry : kOutputFiles) {
    files.sink(entry.file).reserve(output_file_bytes(entry.file, mesh));
  }
}

void close_output_files(OutputFiles& files) {
  for (const OutputFileEntry& entry : kOutputFiles) files.sink(entry.file).close();
}

}  // namespace malha
