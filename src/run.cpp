#include "run.h"

#include <new>
#include <string_view>

#include "dialogue/read_inputs.h"
#include "mesh/check_finite_values.h"
#include "mesh/construct_mesh.h"
#include "mesh/lattice.h"
#include "mesh/mesh.h"
#include "output/output_files.h"
#include "output/write_output_files.h"
#include "process/console.h"
#include "process/fp_traps.h"
#include "process/clock.h"
#include "process/process.h"
#include "system/error.h"
#include "system/run_error.h"
#include "viewers/launch_viewers.h"

namespace malha {
namespace {

// The output files being written, for the interrupt handler: program state,
// set only while the driver's OutputFiles is alive.
OutputFiles* g_files_being_written = nullptr;

void on_interrupt() {
  if (OutputFiles* files = g_files_being_written) files->cut_started_files();
}

// While it lives, an interrupt cuts every output file that has begun writing
// after this run's bytes, so no file mixes this run's records with an
// earlier run's; the interrupt then ends the process as usual.
class InterruptCutsFiles {
 public:
  explicit InterruptCutsFiles(OutputFiles& files) {
    g_files_being_written = &files;
    process::set_interrupt_handler(on_interrupt);
  }
  ~InterruptCutsFiles() {
    process::set_interrupt_handler(nullptr);
    g_files_being_written = nullptr;
  }
  InterruptCutsFiles(const InterruptCutsFiles&) = delete;
  InterruptCutsFiles& operator=(const InterruptCutsFiles&) = delete;
};

// The hardware traps around the construction, put back however it ends.
class FpTrapsOn {
 public:
  FpTrapsOn() { start_fp_traps(); }
  ~FpTrapsOn() { stop_fp_traps(); }
  FpTrapsOn(const FpTrapsOn&) = delete;
  FpTrapsOn& operator=(const FpTrapsOn&) = delete;
};

void report(std::string_view text) {
  console_close_line();
  process::write_console(process::kStderr, text.data(), text.size());
}

void run_steps() {
  Mesh mesh;
  read_inputs(mesh);
  check_level(mesh.level);

  // The clock covers sizing and construction only.
  RunClock clock;
  const double t_start = clock.elapsed_seconds();
  (void)t_start;  // 0 by definition: the first reading fixes the origin
  double t_end = 0.0;
  {
    const FpTrapsOn traps;
    construct_mesh(mesh);
    t_end = clock.elapsed_seconds();
  }
  // Not a step of the construction, so not timed: no infinity or
  // not-a-number reaches a file, whether or not a trap was delivered.
  check_finite_values(mesh);

  {
    OutputFiles files;
    const InterruptCutsFiles cut_on_interrupt(files);
    write_output_files(files, mesh, t_end);
  }

  launch_viewers(mesh.show_plots);
}

}  // namespace

int run() {
  process::prepare_process();
  console_start();
  try {
    run_steps();
  } catch (const Error& error) {
    report(error.what());
    return 1;
  } catch (const std::bad_alloc&) {
    report(error_for(RunError::allocate).what());
    return 1;
  }
  console_close_line();
  return 0;
}

}  // namespace malha
