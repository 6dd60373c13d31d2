#include "system/fp_traps.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>

#include "support/dialogue.h"

namespace malha {
namespace {

// Operands the compiler cannot fold away.
volatile double g_zero = 0.0;
volatile double g_one = 1.0;
volatile double g_largest = DBL_MAX;
volatile double g_result = 0.0;

std::string math_report(const char* code, const char* what) {
  return testing::error_report(code, "MATH", std::string("floating-point error: ") + what);
}

TEST(FpTrapsDeathTest, FaultsEndTheRunWithTheMathReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        start_fp_traps();
        g_result = g_largest * 2.0;
      },
      ::testing::ExitedWithCode(1), ::testing::Eq(math_report("M3003", "overflow")));
  EXPECT_EXIT(
      {
        start_fp_traps();
        g_result = g_one / g_zero;
      },
      ::testing::ExitedWithCode(1), ::testing::Eq(math_report("M3002", "divide by zero")));
  EXPECT_EXIT(
      {
        start_fp_traps();
        g_result = g_zero / g_zero;
      },
      ::testing::ExitedWithCode(1), ::testing::Eq(math_report("M3001", "invalid")));
}

TEST(FpTraps, UnderflowAndInexactResultsAreNotTrapped) {
  start_fp_traps();
  g_result = DBL_MIN / 3.0 * g_one;  // a subnormal, inexact
  g_result = g_one / 3.0;
  stop_fp_traps();
  // Outside the traps the ordinary rules hold again.
  g_result = g_one / g_zero;
  EXPECT_TRUE(std::isinf(g_result));
}

}  // namespace
}  // namespace malha
