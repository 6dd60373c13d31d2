// Whole runs that end before any output file: refused levels and memory
// that cannot be obtained.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "mesh/allocate_mesh.h"
#include "mesh/size_mesh.h"
#include "run/platform.h"
#include "support/dialogue.h"
#include "support/run_malha.h"

namespace malha {
namespace {

using testing::names_in;
using testing::read_file;
using testing::redirected_prompts;
using testing::run_malha;
using testing::TempDir;
using testing::write_file;

// Runs `input` in a directory holding one file of an earlier run, and checks
// the whole dialogue, the report, status 1 and that the file was not touched.
void expect_refused(const std::string& input, const std::string& report) {
  TempDir dir;
  write_file(dir / "dados_gerais.txt", "earlier run\r\n");
  const auto before = std::filesystem::last_write_time(dir / "dados_gerais.txt");
  const testing::RunResult result = run_malha(dir.path(), input);
  EXPECT_EQ(result.out, redirected_prompts());
  EXPECT_EQ(result.err, report);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"dados_gerais.txt"});
  EXPECT_EQ(read_file(dir / "dados_gerais.txt"), "earlier run\r\n");
  EXPECT_EQ(std::filesystem::last_write_time(dir / "dados_gerais.txt"), before);
}

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
    expect_refused(c.input, std::string("\r\nrun-time error S5001: LEVEL\r\n- mesh level ") +
                                c.level_text + " is outside the accepted range 1 to 30\r\n");
  }
}

TEST(Run, LevelThirtyEndsWithTheAllocateReportWhenMemoryIsShort) {
  Mesh mesh;
  mesh.level = 30;
  mesh.dim_x = 1.0;
  mesh.dim_y = 1.0;
  size_mesh(mesh);
  if (mesh_array_bytes(mesh) <= platform::obtainable_memory_bytes()) {
    GTEST_SKIP() << "this machine could hold a level-30 mesh";
  }
  expect_refused("30\n1\n1\n0\n",
                 "\r\nrun-time error A2001: ALLOCATE\r\n- not enough memory to build the mesh\r\n");
}

}  // namespace
}  // namespace malha
