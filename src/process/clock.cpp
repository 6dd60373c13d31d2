#include "process/clock.h"

#include "process/process.h"

namespace malha {

double RunClock::elapsed_seconds() {
  const std::int64_t now_halved = process::system_time_ticks() / 2;
  if (!origin_halved_) {
    origin_halved_ = now_halved;
    return 0.0;
  }
  return static_cast<double>(now_halved - *origin_halved_) * 2e-7;
}

}  // namespace malha
