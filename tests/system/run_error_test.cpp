#include "system/run_error.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace malha {
namespace {

struct ReportCase {
  const char* name;
  RunError error;
};

// The report a signal handler composes without allocating is the one a
// library call throws, byte for byte; a short buffer gets its beginning and
// nothing beyond it.
TEST(ComposeReportNow, EqualsTheThrownReportAndStaysInItsBuffer) {
  const ReportCase cases[] = {
      {"end of input", RunError::read_end_of_input},
      {"allocate", RunError::allocate},
      {"math invalid", RunError::math_invalid},
      {"math divide by zero", RunError::math_divide_by_zero},
      {"math overflow", RunError::math_overflow},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string thrown = error_for(c.error).what();
    char whole[1024];
    const std::size_t size = compose_report_now(c.error, whole, sizeof(whole));
    EXPECT_EQ(std::string(whole, size), thrown);

    char cut[16 + 1];
    cut[16] = '#';
    EXPECT_EQ(compose_report_now(c.error, cut, 16), 16u);
    EXPECT_EQ(std::string(cut, 16), thrown.substr(0, 16));
    EXPECT_EQ(cut[16], '#');
  }
}

}  // namespace
}  // namespace malha
