#include "system/fp_traps.h"

#include "system/platform.h"
#include "system/run_error.h"

namespace malha {
namespace {

void on_fp_fault(platform::FpFault fault) {
  switch (fault) {
    case platform::FpFault::invalid:
      fail(RunError::math_invalid);
    case platform::FpFault::divide_by_zero:
      fail(RunError::math_divide_by_zero);
    case platform::FpFault::overflow:
      fail(RunError::math_overflow);
  }
  fail(RunError::math_invalid);
}

}  // namespace

void start_fp_traps() { platform::enable_fp_traps(on_fp_fault); }

void stop_fp_traps() { platform::disable_fp_traps(); }

}  // namespace malha
