#include "system/fp_traps.h"

#include "system/console.h"
#include "system/platform.h"
#include "system/run_error.h"

namespace malha {
namespace {

// Runs in the signal context of the fault: it cannot throw, so it writes the
// report itself; the platform ends the process with status 1 when it returns.
void on_fp_fault(platform::FpFault fault) {
  console_close_line();
  switch (fault) {
    case platform::FpFault::invalid:
      write_report_now(RunError::math_invalid);
      return;
    case platform::FpFault::divide_by_zero:
      write_report_now(RunError::math_divide_by_zero);
      return;
    case platform::FpFault::overflow:
      write_report_now(RunError::math_overflow);
      return;
  }
  write_report_now(RunError::math_invalid);
}

}  // namespace

bool start_fp_traps() { return platform::enable_fp_traps(on_fp_fault); }

void stop_fp_traps() { platform::disable_fp_traps(); }

}  // namespace malha
