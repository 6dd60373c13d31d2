#pragma once
// Folder output/: number fields, record writer and the writers of the
// eleven output files; it builds on formats/, mesh/ and system/.
//
// The eleven output files of a run, in their fixed opening order
// (kOutputFiles, formats/file_formats.h).
//
// open_output_files creates or opens all eleven in `folder` (empty: the
// current working directory), in table order, before any record is written;
// a file that cannot be created or opened throws the OPEN report, leaving
// the files opened before it as they were. At its first block each regular
// file is replaced by a new empty file, which is then written (FileSink), so
// that however the run ends no file mixes this run's records with an
// earlier run's; where no new file can be made, the file is written over and
// cut after the new bytes at close, and a failure in between cuts it after
// what it has written as the OutputFiles unwinds (an interrupt handler calls
// cut_started_files). close_output_files writes out and closes them in the
// same order; a failed write throws the WRITE report. Tests attach memory
// sinks. A sink's buffer or the node pair texts that cannot be obtained
// throw std::bad_alloc (write_output_files makes it the ALLOCATE report).

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sinks/byte_sink.h"
#include "formats/file_formats.h"
#include "mesh/mesh.h"
#include "output/node_pair_texts.h"
#include "output/record_writer.h"

namespace malha {

class OutputFiles {
 public:
  // Gives `file` its sink and a record writer bound to it.
  void attach(OutputFile file, std::unique_ptr<ByteSink> sink);

  RecordWriter& operator[](OutputFile file) { return writers_[index(file)]; }
  ByteSink& sink(OutputFile file) { return *sinks_[index(file)]; }

  // The node pair texts of `mesh`, formatted on the first call and shared
  // by every writer of the run.
  NodePairTexts& node_pairs(const Mesh& mesh);

  // Cuts every sink that has begun writing after what it has written; for
  // the program's interrupt handler. Safe in a signal handler.
  void cut_started_files() noexcept;

 private:
  static std::size_t index(OutputFile file) { return static_cast<std::size_t>(file); }

  std::array<std::unique_ptr<ByteSink>, kOutputFileCount> sinks_;
  std::array<RecordWriter, kOutputFileCount> writers_;
  std::optional<NodePairTexts> node_pairs_;
};

// With `writer`, the files' blocks are written on its thread
// (sinks/block_writer.h); it must outlive every call on `files` but their
// destruction and cut_started_files.
void open_output_files(OutputFiles& files, const std::string& folder = {},
                       BlockWriter* writer = nullptr);
// The bytes each file of `mesh` will hold (output_file_bytes: every record
// has a fixed length), set aside at once: the file system then allocates
// each file's space in one piece rather than block by block as it is written.
void reserve_output_space(OutputFiles& files, const Mesh& mesh);
void close_output_files(OutputFiles& files);

}  // namespace malha
