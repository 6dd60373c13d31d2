// The public interface as a solver meets it: failures are exceptions and the
// process goes on, the process-wide state stays as it was, two threads build
// two meshes, and the files written are the program's bytes.
#include "malha/malha.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "output/output_files.h"
#include "support/dialogue.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::error_report;
using testing::read_file;
using testing::TempDir;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The floating-point environment and the three handlers a library call must
// leave as it found them.
struct ProcessState {
  std::fenv_t environment {};
  struct sigaction actions[3] {};

  static ProcessState now() {
    ProcessState state;
    std::fegetenv(&state.environment);
    const int signals[] = {SIGFPE, SIGINT, SIGTERM};
    for (int i = 0; i < 3; ++i) sigaction(signals[i], nullptr, &state.actions[i]);
    return state;
  }
  bool operator==(const ProcessState& other) const {
    for (int i = 0; i < 3; ++i) {
      if (actions[i].sa_handler != other.actions[i].sa_handler ||
          actions[i].sa_flags != other.actions[i].sa_flags) {
        return false;
      }
    }
    return std::memcmp(&environment, &other.environment, sizeof(environment)) == 0;
  }
};

// The program's own report for the same answers, where it can receive them.
std::string program_report(const std::string& answers) {
  TempDir dir;
  return testing::run_malha(dir.path(), answers).err;
}

TEST(PublicInterface, FailuresThrowTheProgramsReportAndTheProcessGoesOn) {
  const std::string overflow = error_report("M3003", "MATH", "floating-point error: overflow");
  const std::string invalid = error_report("M3001", "MATH", "floating-point error: invalid");
  TempDir dir;
  const fs::path missing = dir / "no such folder";
  fs::create_symlink("/dev/full", dir / "malha.txt");
  const Mesh small = build_mesh(3, 2.0, 1.0);
  struct Case {
    const char* name;
    std::function<void()> call;
    std::string answers;   // the program's answers that give the same report, or ""
    std::string code;      // the code, where the program cannot receive the input
  };
  const Case cases[] = {
      {"level 0", [] { build_mesh(0, 1.0, 1.0); }, "0\n1\n1\n0\n", ""},
      {"level 31", [] { build_mesh(31, 1.0, 1.0); }, "31\n1\n1\n0\n", ""},
      {"level -5", [] { build_mesh(-5, 1.0, 1.0); }, "-5\n1\n1\n0\n", ""},
      {"a node beyond the largest double", [] { build_mesh(1, 1.7e308, 1.0); },
       "1\n1.7e308\n1\n0\n", ""},
      {"a NaN length", [] { build_mesh(4, kNaN, 1.0); }, "", "M3001"},
      {"an infinite length", [] { build_mesh(4, 1.0, kInfinity); }, "", "M3003"},
      {"level 30 does not fit", [] { build_mesh(30, 1.0, 1.0); }, "30\n1\n1\n0\n", ""},
      {"a folder that does not exist", [&] { write_mesh_files(small, missing); }, "", "F4001"},
      {"a file linked to a full device", [&] { write_mesh_files(small, dir.path()); }, "",
       "F4002"},
      {"a folder without the files", [&] { read_mesh_files(missing); }, "", "F4004"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessState before = ProcessState::now();
    std::string code;
    std::string report;
    try {
      c.call();
    } catch (const Error& error) {
      code = error.code();
      report = error.what();
      EXPECT_EQ(report, error_report(error.code(), error.operation(), error.description()));
    }
    EXPECT_TRUE(ProcessState::now() == before);
    if (!c.answers.empty()) {
      EXPECT_EQ(report, program_report(c.answers));
    } else {
      EXPECT_EQ(code, c.code);
    }
  }
  EXPECT_EQ(testing::thrown_report([] { build_mesh(4, kNaN, 1.0); }), invalid);
  EXPECT_EQ(testing::thrown_report([] { build_mesh(4, 1.0, kInfinity); }), overflow);
  // Level 30's report names the allocation.
  EXPECT_EQ(testing::thrown_report([] { build_mesh(30, 1.0, 1.0); }),
            error_report("A2001", "ALLOCATE", "not enough memory to build the mesh"));
}

// The bytes of a table's `rows` rows.
template <typename T, int Cols>
std::string table_bytes(const MeshTable<T, Cols>& table) {
  return std::string(reinterpret_cast<const char*>(table.row(1)),
                     static_cast<std::size_t>(table.rows()) * Cols * sizeof(T));
}

// The two integer tables, and the real ones unless `with_reals` is false
// (the files print 16 digits, which do not give every double back).
void expect_same_tables(const Mesh& a, const Mesh& b, bool with_reals = true) {
  ASSERT_EQ(a.n_nodes, b.n_nodes);
  ASSERT_EQ(a.n_volumes, b.n_volumes);
  EXPECT_TRUE(table_bytes(a.volume_nodes) == table_bytes(b.volume_nodes));
  EXPECT_TRUE(table_bytes(a.volume_neighbours) == table_bytes(b.volume_neighbours));
  if (!with_reals) return;
  EXPECT_TRUE(table_bytes(a.node_coords) == table_bytes(b.node_coords));
  EXPECT_TRUE(table_bytes(a.barycentres) == table_bytes(b.barycentres));
}

TEST(PublicInterface, TwoThreadsBuildTheSameMeshesAsOneAfterTheOther) {
  const Mesh first = build_mesh(14, 2.0, 1.0);
  const Mesh second = build_mesh(15, 1.0, 3.0);
  Mesh in_thread_a;
  Mesh in_thread_b;
  std::thread a([&] { in_thread_a = build_mesh(14, 2.0, 1.0); });
  std::thread b([&] { in_thread_b = build_mesh(15, 1.0, 3.0); });
  a.join();
  b.join();
  expect_same_tables(first, in_thread_a);
  expect_same_tables(second, in_thread_b);
}

// The files the library writes are the program's, byte for byte, and the
// read-back gives the tables again.
TEST(PublicInterface, WrittenFilesAreTheProgramsBytes) {
  struct Case {
    std::int32_t level;
    double dim_x;
    double dim_y;
  };
  std::vector<Case> cases;
  for (std::int32_t level = 1; level <= 14; ++level) {
    cases.push_back({level, 2.0, 1.0});
    cases.push_back({level, 1.0, 1.0});
  }
  cases.push_back({20, 3.5, 1.25});
  for (const Case& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level) + ", " + std::to_string(c.dim_x) + " x " +
                 std::to_string(c.dim_y));
    TempDir program;
    TempDir library;
    const testing::RunResult run = testing::run_malha(
        program.path(), std::to_string(c.level) + "\n" + std::to_string(c.dim_x) + "\n" +
                            std::to_string(c.dim_y) + "\n0\n");
    ASSERT_EQ(run.exit_status, 0);
    const Mesh mesh = build_mesh(c.level, c.dim_x, c.dim_y);
    // The program's own processing time, so that every byte can be compared.
    const std::string summary = read_file(program / "dados_gerais.txt");
    const double seconds = std::stod(summary.substr(summary.size() - 20, 18));
    write_mesh_files(mesh, library.path(), seconds);
    for (const OutputFileEntry& entry : kOutputFiles) {
      SCOPED_TRACE(entry.name);
      ASSERT_TRUE(read_file(library / entry.name) == read_file(program / entry.name));
    }
    if (c.level <= 14) expect_same_tables(mesh, read_mesh_files(library.path()), false);
  }
}

}  // namespace
}  // namespace malha
