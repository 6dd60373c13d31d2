#include "system/clock.h"

#include <cstdint>
#include <optional>

#include "system/platform.h"

namespace malha {

double elapsed_seconds() {
  static std::optional<std::int64_t> origin_halved;
  const std::int64_t now_halved = platform::system_time_ticks() / 2;
  if (!origin_halved) {
    origin_halved = now_halved;
    return 0.0;
  }
  return static_cast<double>(now_halved - *origin_halved) * 2e-7;
}

}  // namespace malha
