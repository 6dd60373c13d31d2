#include "process/fp_traps.h"

#include <cstddef>

#include "process/console.h"
#include "process/process.h"
#include "system/run_error.h"

namespace malha {
namespace {

// Writes the report to standard error at once, without allocating.
void write_report_now(RunError error) {
  char report[1024];
  const std::size_t size = compose_report_now(error, report, sizeof(report));
  process::write_console(process::kStderr, report, size);
}

// Runs in the signal context of the fault: it cannot throw, so it writes the
// report itself; the process layer ends the process with status 1 when it
// returns.
void on_fp_fault(process::FpFault fault) {
  console_close_line();
  switch (fault) {
    case process::FpFault::invalid:
      write_report_now(RunError::math_invalid);
      return;
    case process::FpFault::divide_by_zero:
      write_report_now(RunError::math_divide_by_zero);
      return;
    case process::FpFault::overflow:
      write_report_now(RunError::math_overflow);
      return;
  }
  write_report_now(RunError::math_invalid);
}

}  // namespace

bool start_fp_traps() { return process::enable_fp_traps(on_fp_fault); }

void stop_fp_traps() { process::disable_fp_traps(); }

}  // namespace malha
