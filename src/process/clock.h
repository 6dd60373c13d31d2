#pragma once
// A run's wall clock.
//
// Each RunClock has its own origin, so two meshes timed in one process do
// not share one. elapsed_seconds: the first call reads the system time
// (universal time, in 100-nanosecond ticks), keeps it as the origin and
// returns 0.0; every later call returns the time since the origin in
// seconds. The tick counts are halved before the difference is taken and the
// halved difference is scaled by 2e-7, so the lowest tick bit is dropped.
// Real time, not processor time. Throws nothing.

#include <cstdint>
#include <optional>

namespace malha {

class RunClock {
 public:
  double elapsed_seconds();

 private:
  std::optional<std::int64_t> origin_halved_;
};

}  // namespace malha
