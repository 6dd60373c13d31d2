#include "system/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace malha {
namespace {

// The first reading of a process fixes the origin, so it is taken in a fresh
// process of its own.
TEST(ClockDeathTest, FirstReadingIsZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(elapsed_seconds() == 0.0 ? 0 : 2), ::testing::ExitedWithCode(0), "");
}

TEST(Clock, MeasuresRealTimeInStepsOfTwoTicks) {
  const double before = elapsed_seconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const double after = elapsed_seconds();
  EXPECT_GE(after - before, 0.049);
  EXPECT_LT(after - before, 5.0);
  // Readings are whole numbers of 200-nanosecond steps.
  const double steps = after / 2e-7;
  EXPECT_NEAR(steps, std::round(steps), 1e-6);
}

}  // namespace
}  // namespace malha
