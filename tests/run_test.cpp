// Whole runs: refused levels and memory that cannot be obtained end before
// any output file; the extremes of the lengths either give well-formed files
// or end with the MATH report.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "mesh/allocate_mesh.h"
#include "output/output_files.h"
#include "support/dialogue.h"
#include "support/file_records.h"
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

// A memory cgroup of `bytes` made for one test and removed with it: v2 where
// the root gives its children the memory controller, else v1. Empty, with
// `reason`, where none can be made (no rights, no controller).
class MemoryCgroup {
 public:
  MemoryCgroup(std::uint64_t bytes, std::string& reason) {
    namespace fs = std::filesystem;
    std::string controllers;
    std::getline(std::ifstream("/sys/fs/cgroup/cgroup.subtree_control"), controllers);
    const bool is_v2 = controllers.find("memory") != std::string::npos;
    const std::string base = is_v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
    const std::string folder = base + "/malha-test-" + std::to_string(getpid());
    std::error_code error;
    if (!fs::create_directory(folder, error)) {
      reason = "no memory cgroup can be made under " + base + ": " + error.message();
      return;
    }
    path_ = folder;
    std::ofstream limit(folder + (is_v2 ? "/memory.max" : "/memory.limit_in_bytes"));
    if (!(limit << bytes << '\n' && limit.flush())) reason = "the cgroup's limit cannot be set";
  }
  ~MemoryCgroup() {
    if (!path_.empty()) ::rmdir(path_.c_str());
  }
  MemoryCgroup(const MemoryCgroup&) = delete;
  MemoryCgroup& operator=(const MemoryCgroup&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A container's usual limit: the kernel would kill a run that began filling
// the tables it allowed.
TEST(Run, LevelTwentySevenInAThreeGibCgroupEndsWithTheAllocateReport) {
  std::string reason;
  const MemoryCgroup cgroup(std::uint64_t {3} << 30, reason);
  if (!reason.empty()) GTEST_SKIP() << reason;
  testing::RunOptions options;
  options.cgroup = cgroup.path();
  testing::expect_failure_before_output(
      "27\n1\n1\n0\n", 4,
      testing::error_report("A2001", "ALLOCATE", "not enough memory to build the mesh"), options);
}

// Lengths at the ends of the double range, each run end to end: a run either
// completes with eleven well-formed files (every record in its file's layout,
// every number field the writer's text for the value it shows: no infinity,
// no not-a-number, no signed zero, no field cut or widened) or ends with the
// MATH overflow report, exit status 1 and no file.
TEST(Run, ExtremeLengthsGiveWellFormedFilesOrTheMathReport) {
  struct Case {
    const char* name;
    const char* input;
    bool overflows;
  };
  const Case cases[] = {
      // Level 1 puts node 6 at 2 x dim_x, level 2 node 7 at 1.5 x dim_x.
      {"1e308, level 1", "1\n1e308\n1\n0\n", true},
      {"1e308, level 2", "2\n1e308\n1e308\n0\n", false},
      {"1e308, level 3", "3\n1e308\n1e308\n0\n", false},
      {"1e308, level 4", "4\n1e308\n1e308\n0\n", false},
      {"1e308, level 5", "5\n1e308\n1e308\n0\n", false},
      {"1e308, level 6", "6\n1e308\n1e308\n0\n", false},
      {"1.2e308, level 2", "2\n1.2e308\n1\n0\n", true},
      {"largest double, level 6", "6\n1\n1.7976931348623157e308\n0\n", true},
      // Spacings below the normal range lose digits and may reach zero.
      {"subnormal 1e-320, level 1", "1\n1e-320\n1e-320\n0\n", false},
      {"subnormal 1e-320, level 6", "6\n1e-320\n4.9e-324\n0\n", false},
      {"negative zero, level 3", "3\n-0.0\n-0.0\n0\n", false},
      {"negative zero, level 4", "4\n-0.0\n1\n0\n", false},
      {"negative lengths, level 4", "4\n-2\n-1\n0\n", false},
      {"negative lengths, level 5", "5\n-0.3\n-7e10\n0\n", false},
      {"-1e308, level 1", "1\n-1e308\n1\n0\n", true},
      {"-1e308 by 1e-308, level 6", "6\n-1e308\n1e-308\n0\n", false},
      {"1e150 by 1e-150, level 5", "5\n1e150\n1e-150\n0\n", false},
      {"1e300 by 1, level 4", "4\n1e300\n1\n0\n", false},
      {"1 by 1e-300, level 7", "7\n1\n1e-300\n0\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const testing::RunResult result = testing::run_malha(dir.path(), c.input);
    EXPECT_EQ(result.out, testing::redirected_prompts());
    if (c.overflows) {
      EXPECT_EQ(result.err,
                testing::error_report("M3003", "MATH", "floating-point error: overflow"));
      EXPECT_EQ(result.exit_status, 1);
      EXPECT_TRUE(testing::names_in(dir.path()).empty());
      continue;
    }
    ASSERT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const Mesh counts = testing::counted_mesh(std::stoi(c.input), 1.0, 1.0);
    for (const OutputFileEntry& entry : kOutputFiles) {
      SCOPED_TRACE(entry.name);
      testing::read_records(dir / entry.name, entry.file, counts);
    }
  }
}

}  // namespace
}  // namespace malha
