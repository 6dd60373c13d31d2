#include "process/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

namespace malha {
namespace {

// Each clock's first reading fixes its own origin: a second clock started
// later reads 0 too.
TEST(Clock, FirstReadingOfEachClockIsZero) {
  RunClock first;
  EXPECT_EQ(first.elapsed_seconds(), 0.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  RunClock second;
  EXPECT_EQ(second.elapsed_seconds(), 0.0);
  EXPECT_GT(first.elapsed_seconds(), 0.0);
}

TEST(Clock, MeasuresRealTimeInStepsOfTwoTicks) {
  RunClock clock;
  const double before = clock.elapsed_seconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const double after = clock.elapsed_seconds();
  EXPECT_GE(after - before, 0.049);
  EXPECT_LT(after - before, 5.0);
  // Readings are whole numbers of 200-nanosecond steps.
  const double steps = after / 2e-7;
  EXPECT_NEAR(steps, std::round(steps), 1e-6);
}

}  // namespace
}  // namespace malha
