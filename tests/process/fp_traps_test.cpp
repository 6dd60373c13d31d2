#include "process/fp_traps.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstring>
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
  if (!start_fp_traps()) GTEST_SKIP() << "no hardware traps in this build";
  stop_fp_traps();
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
  if (!start_fp_traps()) GTEST_SKIP() << "no hardware traps in this build";
  g_result = DBL_MIN / 3.0 * g_one;  // a subnormal, inexact
  g_result = g_one / 3.0;
  stop_fp_traps();
  // Outside the traps the ordinary rules hold again.
  g_result = g_one / g_zero;
  EXPECT_TRUE(std::isinf(g_result));
}

// Stopping puts back what starting found: the environment (with a flag
// raised before) and the SIGFPE action.
TEST(FpTraps, StopPutsBackTheEnvironmentAndTheHandler) {
  struct sigaction before_action {};
  sigaction(SIGFPE, nullptr, &before_action);
  g_result = g_one / 3.0;  // raises the inexact flag
  std::fenv_t before {};
  std::fegetenv(&before);
  start_fp_traps();
  stop_fp_traps();
  std::fenv_t after {};
  std::fegetenv(&after);
  struct sigaction after_action {};
  sigaction(SIGFPE, nullptr, &after_action);
  EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);
  EXPECT_EQ(after_action.sa_handler, before_action.sa_handler);
  std::feclearexcept(FE_ALL_EXCEPT);
}

}  // namespace
}  // namespace malha
