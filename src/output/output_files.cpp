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

void open_output_files(OutputFiles& files, const std::string& folder) {
  for (const OutputFileEntry& entry : kOutputFiles) {
    const std::string path = folder.empty() ? std::string(entry.name) : folder + "/" + entry.name;
    files.attach(entry.file, std::make_unique<FileSink>(path));
  }
}

std::uint64_t output_file_bytes(OutputFile file, const Mesh& mesh) {
  const auto nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  const auto real_volumes = static_cast<std::uint64_t>(mesh.n_real_volumes);
  // Record lengths with CR LF: count line 39, header 22 in all, numbered
  // pair 60, pair 52, outline group 4 x 52 + 3, row of four 34 and of three
  // 26, single integer 10, time line 49.
  constexpr std::uint64_t kCounts = 4 * 39;
  constexpr std::uint64_t kOutline = 4 * 52 + 3;
  switch (file) {
    case OutputFile::dados_malha: return kCounts + 22 + nodes * 60;
    case OutputFile::nos_malha: return nodes * 52;
    case OutputFile::malha: return volumes * kOutline;
    case OutputFile::nos_conectividade: return volumes * 34;
    case OutputFile::malha_real: return real_volumes * kOutline;
    case OutputFile::vol_conectividades: return volumes * 34;
    case OutputFile::baricentros: return volumes * 52;
    case OutputFile::dados_ent: return 4 * 10 + nodes * 52 + volumes * 26;
    case OutputFile::conectividades_ent: return volumes * 26;
    case OutputFile::baricentros_ent: return volumes * 52;
    case OutputFile::dados_gerais: return kCounts + 49;
  }
  return 0;
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
