#include "output/write_output_files.h"

#include "sinks/block_writer.h"
#include "output/write_count_records.h"
#include "output/write_node_files.h"
#include "output/write_processing_time.h"
#include "output/write_volume_files.h"
#include "system/run_error.h"

namespace malha {

void write_output_files(OutputFiles& files, const Mesh& mesh, double processing_time,
                        const std::string& folder) {
  // A buffer, a file name or the node pair texts that cannot be had is the
  // ALLOCATE report; the files that had begun are cut as `files` unwinds,
  // as for any other failure.
  reporting_allocation([&] {
    // The files' blocks are written on a thread of this call while the next
    // ones are formatted; the writer ends before the files, which outlive
    // it in the caller, are cut or destroyed.
    BlockWriter writer(FileSink::kBlockBytes);
    // All eleven files are opened before any record is written.
    open_output_files(files, folder, &writer);
    reserve_output_space(files, mesh);
    write_count_records(files[OutputFile::dados_malha], mesh);
    write_count_records(files[OutputFile::dados_gerais], mesh);
    write_node_files(files, mesh);
    write_volume_files(files, mesh);
    write_processing_time(files, processing_time);
    close_output_files(files);
  });
}

}  // namespace malha
