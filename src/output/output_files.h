#pragma once
// Folder output/: number fields, record writer, byte sinks and the eleven
// output files; it builds on mesh/ and system/.
//
// The eleven output files of a run, in their fixed opening order.
//
// open_output_files creates or opens all eleven, in table order, before any
// record is written; a file that cannot be created or opened ends the run
// with the OPEN report, leaving the files opened before it as they were.
// At its first block each regular file is replaced by a new empty file,
// which is then written (FileSink), so that however the run ends no file
// mixes this run's records with an earlier run's; where no new file can be
// made, the file is written over and cut after the new bytes at close, and
// a failure or an interrupt in between cuts it after what it has written. close_output_files writes out and closes them in
// the same order; a failed write ends the run with the WRITE report. Tests
// attach memory sinks.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "mesh/mesh.h"
#include "output/byte_sink.h"
#include "output/node_pair_texts.h"
#include "output/record_writer.h"

namespace malha {

enum class OutputFile {
  dados_malha,
  nos_malha,
  malha,
  nos_conectividade,
  malha_real,
  vol_conectividades,
  baricentros,
  dados_ent,
  conectividades_ent,
  baricentros_ent,
  dados_gerais,
};

inline constexpr int kOutputFileCount = 11;

struct OutputFileEntry {
  OutputFile file;
  int stream;        // the program's own number for the open file
  const char* name;  // created in the current working directory
};

// Opening and closing order.
inline constexpr std::array<OutputFileEntry, kOutputFileCount> kOutputFiles = {{
    {OutputFile::dados_malha, 10, "dados_malha.txt"},
    {OutputFile::nos_malha, 20, "nos_malha.txt"},
    {OutputFile::malha, 30, "malha.txt"},
    {OutputFile::nos_conectividade, 40, "nos_conectividade.txt"},
    {OutputFile::malha_real, 50, "malha_real.txt"},
    {OutputFile::vol_conectividades, 60, "vol_conectividades.txt"},
    {OutputFile::baricentros, 70, "baricentros.txt"},
    {OutputFile::dados_ent, 80, "dados.ent"},
    {OutputFile::conectividades_ent, 90, "conectividades.ent"},
    {OutputFile::baricentros_ent, 100, "baricentros.ent"},
    {OutputFile::dados_gerais, 110, "dados_gerais.txt"},
}};

class OutputFiles {
 public:
  // Gives `file` its sink and a record writer bound to it.
  void attach(OutputFile file, std::unique_ptr<ByteSink> sink);

  RecordWriter& operator[](OutputFile file) { return writers_[index(file)]; }
  ByteSink& sink(OutputFile file) { return *sinks_[index(file)]; }

  // The node pair texts of `mesh`, formatted on the first call and shared
  // by every writer of the run.
  NodePairTexts& node_pairs(const Mesh& mesh);

 private:
  static std::size_t index(OutputFile file) { return static_cast<std::size_t>(file); }

  std::array<std::unique_ptr<ByteSink>, kOutputFileCount> sinks_;
  std::array<RecordWriter, kOutputFileCount> writers_;
  std::optional<NodePairTexts> node_pairs_;
};

void open_output_files(OutputFiles& files);
// The bytes each file of `mesh` will hold (every record has a fixed length),
// set aside at once: the file system then allocates each file's space in one
// piece rather than block by block as it is written.
std::uint64_t output_file_bytes(OutputFile file, const Mesh& mesh);
void reserve_output_space(OutputFiles& files, const Mesh& mesh);
void close_output_files(OutputFiles& files);

}  // namespace malha
