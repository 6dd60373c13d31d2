// Whole runs that end before any output file: refused levels and memory
// that cannot be obtained.

#include <gtest/gtest.h>

#include <string>

#include "mesh/allocate_mesh.h"
#include "support/dialogue.h"
#include "support/test_mesh.h"
#include "system/platform.h"

namespace malha {
namespace {

TEST(Run, LevelsOutsideOneToThirtyAreRefusedAfterTheDialogue) {
  struct Case {
    const char* name;
    const char* input;
    const char* level_text;
  };
  const Case cases[] = {
      {"zero", "0\n1\n1\n0\n", "0"},
      {"minus one", "-1\n1\n1\n0\n", "-1"},
      {"thirty-one", "31\n1\n1\n0\n", "31"},
      {"int32 min", "-2147483648\n1\n1\n0\n", "-2147483648"},
      {"null answer leaves zero", ",\n1\n1\n0\n", "0"},
      {"slash leaves zero", "/\n1\n1\n0\n", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::expect_failure_before_output(
        c.input, 4,
        testing::error_report("S5001", "LEVEL",
                              std::string("mesh level ") + c.level_text +
                                  " is outside the accepted range 1 to 30"));
  }
}

TEST(Run, LevelThirtyEndsWithTheAllocateReportWhenMemoryIsShort) {
  if (mesh_array_bytes(testing::counted_mesh(30, 1.0, 1.0)) <=
      platform::obtainable_memory_bytes()) {
    GTEST_SKIP() << "this machine could hold a level-30 mesh";
  }
  testing::expect_failure_before_output(
      "30\n1\n1\n0\n", 4,
      testing::error_report("A2001", "ALLOCATE", "not enough memory to build the mesh"));
}

}  // namespace
}  // namespace malha
