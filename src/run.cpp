#include "run.h"

#include "dialogue/read_inputs.h"
#include "mesh/allocate_mesh.h"
#include "mesh/check_finite_values.h"
#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/mesh.h"
#include "mesh/place_nodes.h"
#include "mesh/size_mesh.h"
#include "output/output_files.h"
#include "output/write_count_records.h"
#include "output/write_node_files.h"
#include "output/write_processing_time.h"
#include "output/write_volume_files.h"
#include "system/clock.h"
#include "system/console.h"
#include "system/fp_traps.h"
#include "system/platform.h"
#include "system/run_error.h"
#include "viewers/launch_viewers.h"

namespace malha {

int run() {
  platform::prepare_process();
  console_start();

  Mesh mesh;
  read_inputs(mesh);
  if (mesh.level < kMinLevel || mesh.level > kMaxLevel) fail_level(mesh.level);

  // The clock covers sizing and construction only.
  const double t_start = elapsed_seconds();
  (void)t_start;  // 0 by definition: the first reading fixes the origin
  start_fp_traps();
  size_mesh(mesh);
  allocate_mesh(mesh);
  place_nodes(mesh);
  define_volumes(mesh);
  find_volume_neighbours(mesh);
  compute_barycentres(mesh);
  const double t_end = elapsed_seconds();
  stop_fp_traps();
  // Not a step of the construction, so not timed: no infinity or
  // not-a-number reaches a file, whether or not a trap was delivered.
  check_finite_values(mesh);

  // All eleven files are opened before any record is written.
  OutputFiles files;
  open_output_files(files);
  reserve_output_space(files, mesh);
  write_count_records(files[OutputFile::dados_malha], mesh);
  write_count_records(files[OutputFile::dados_gerais], mesh);
  write_node_files(files, mesh);
  write_volume_files(files, mesh);
  write_processing_time(files, t_end);
  close_output_files(files);

  launch_viewers(mesh.show_plots);

  console_close_line();
  return 0;
}

}  // namespace malha
