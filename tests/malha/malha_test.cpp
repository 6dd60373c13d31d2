// The public interface as a solver meets it: failures are exceptions and the
// process goes on, the process-wide state stays as it was, two threads build
// two meshes, the files written are the program's bytes, a mesh read back
// writes the same files again, and a mesh or time that cannot be written is
// refused before any file is touched.
#include "malha/malha.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cfenv>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "output/output_files.h"
#include "support/dialogue.h"
#include "support/file_records.h"
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

// Every field a mesh read back holds, against the mesh that was written.
void expect_same_fields(const Mesh& read, const Mesh& built) {
  const std::pair<const char*, std::int32_t Mesh::*> counts[] = {
      {"level", &Mesh::level},
      {"n_real_volumes", &Mesh::n_real_volumes},
      {"n_fict_volumes", &Mesh::n_fict_volumes},
      {"n_volumes", &Mesh::n_volumes},
      {"n_real_nodes", &Mesh::n_real_nodes},
      {"n_fict_nodes", &Mesh::n_fict_nodes},
      {"n_nodes", &Mesh::n_nodes},
      {"nodes_per_side", &Mesh::nodes_per_side},
      {"centres_per_side", &Mesh::centres_per_side},
      {"fict_per_side", &Mesh::fict_per_side},
      {"cells_x", &Mesh::cells_x},
      {"cells_y", &Mesh::cells_y}};
  for (const auto& [name, field] : counts) EXPECT_EQ(read.*field, built.*field) << name;
  EXPECT_EQ(read.pattern, built.pattern);
  const std::pair<const char*, double Mesh::*> reals[] = {
      {"dim_x", &Mesh::dim_x},     {"dim_y", &Mesh::dim_y},   {"dx", &Mesh::dx},
      {"dy", &Mesh::dy},           {"half_dx", &Mesh::half_dx}, {"half_dy", &Mesh::half_dy},
      {"two_dx", &Mesh::two_dx},   {"two_dy", &Mesh::two_dy}};
  for (const auto& [name, field] : reals) EXPECT_EQ(read.*field, built.*field) << name;
}

// The count records of the three files that carry counts, read through
// their descriptions (which also require as many records as the counts
// call for), against the mesh's counts.
void expect_counts_in_files(const fs::path& folder, const Mesh& mesh) {
  const std::vector<std::int32_t> summary = {mesh.n_real_volumes, mesh.n_fict_volumes,
                                             mesh.n_real_nodes, mesh.n_fict_nodes};
  const std::vector<std::int32_t> dados_ent = {mesh.n_nodes, mesh.n_volumes, mesh.n_real_volumes,
                                               mesh.n_fict_volumes};
  const std::pair<OutputFile, const std::vector<std::int32_t>&> files[] = {
      {OutputFile::dados_gerais, summary},
      {OutputFile::dados_malha, summary},
      {OutputFile::dados_ent, dados_ent}};
  for (const auto& [file, expected] : files) {
    SCOPED_TRACE(file_name(file));
    const std::vector<testing::RecordValues> records =
        testing::read_records(folder / file_name(file), file, mesh);
    ASSERT_GE(records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(records[i].ints.size(), 1u);
      EXPECT_EQ(records[i].ints[0], expected[i]) << "record " << i + 1;
    }
  }
}

// Build, write to a/, read a/ back, write that to b/: the same mesh and
// the same bytes in every file, and the counts of every file those of the
// mesh built.
TEST(PublicInterface, AMeshReadBackWritesTheSameFiles) {
  for (std::int32_t level = 1; level <= 12; ++level) {
    SCOPED_TRACE(level);
    const Mesh built = build_mesh(level, 2.5, 0.7);
    TempDir a;
    TempDir b;
    write_mesh_files(built, a.path(), 1.25);
    const Mesh read = read_mesh_files(a.path());
    expect_same_fields(read, built);
    write_mesh_files(read, b.path(), 0.5);
    for (const OutputFileEntry& entry : kOutputFiles) {
      SCOPED_TRACE(entry.name);
      std::string in_a = read_file(a / entry.name);
      std::string in_b = read_file(b / entry.name);
      if (entry.file == OutputFile::dados_gerais) {
        // The last record is the processing time, which the two writes give
        // differently.
        in_a.resize(in_a.rfind(':'));
        in_b.resize(in_b.rfind(':'));
      }
      ASSERT_TRUE(in_a == in_b);
    }
    expect_counts_in_files(a.path(), built);
    expect_counts_in_files(b.path(), built);
  }
}

// The names, bytes and modification times of a folder's entries.
std::vector<std::pair<std::string, std::string>> folder_state(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> state;
  for (const std::string& name : testing::names_in(folder)) {
    const auto time = fs::last_write_time(folder / name).time_since_epoch().count();
    state.emplace_back(name, read_file(folder / name) + "@" + std::to_string(time));
  }
  return state;
}

// A time that is not a finite number of seconds, or a mesh whose counts
// disagree with each other or with its tables, is refused with the ARGUMENT
// report before any file is opened: an empty folder stays empty, an
// earlier run's files stay as they were.
TEST(PublicInterface, WritingAMeshOrTimeThatCannotBeWrittenTouchesNoFile) {
  struct Case {
    const char* name;
    double seconds;
    std::function<void(Mesh&)> change;
    const char* description;
  };
  const Case cases[] = {
      {"a NaN time", kNaN, nullptr,
       "the processing time nan is not a finite number of seconds, 0 or more"},
      {"an infinite time", kInfinity, nullptr,
       "the processing time inf is not a finite number of seconds, 0 or more"},
      {"a time of minus infinity", -kInfinity, nullptr,
       "the processing time -inf is not a finite number of seconds, 0 or more"},
      {"a negative time", -1.0, nullptr,
       "the processing time -1 is not a finite number of seconds, 0 or more"},
      {"the smallest negative time", -4.9406564584124654e-324, nullptr,
       "the processing time -4.94066e-324 is not a finite number of seconds, 0 or more"},
      {"real nodes left at 0", 0.0, [](Mesh& m) { m.n_real_nodes = 0; },
       "n_real_nodes (0) + n_fict_nodes (8) is not n_nodes (33)"},
      {"one fictitious volume more", 0.0, [](Mesh& m) { ++m.n_fict_volumes; },
       "n_real_volumes (32) + n_fict_volumes (17) is not n_volumes (48)"},
      {"a negative count", 0.0, [](Mesh& m) { m.n_fict_nodes = -1; },
       "n_fict_nodes (-1) is negative"},
      {"one node more than the node table", 0.0,
       [](Mesh& m) {
         ++m.n_real_nodes;
         ++m.n_nodes;
       },
       "node_coords holds 33 rows, not n_nodes (34)"},
      {"one volume more than the tables", 0.0,
       [](Mesh& m) {
         ++m.n_real_volumes;
         ++m.n_volumes;
       },
       "volume_nodes holds 48 rows, not n_volumes (49)"},
      {"no barycentres", 0.0, [](Mesh& m) { m.barycentres = MeshTable<double, 2>(); },
       "barycentres holds 0 rows, not n_volumes (48)"},
      {"node number 0", 0.0, [](Mesh& m) { m.volume_nodes(7, 2) = 0; },
       "volume_nodes(7, 2) = 0 is outside 1 to 33"},
      {"a node number beyond the node table", 0.0, [](Mesh& m) { m.volume_nodes(48, 3) = 34; },
       "volume_nodes(48, 3) = 34 is outside 1 to 33"},
      {"a neighbour beyond the volumes", 0.0, [](Mesh& m) { m.volume_neighbours(1, 1) = 49; },
       "volume_neighbours(1, 1) = 49 is outside 0 to 48"},
      {"a negative neighbour", 0.0, [](Mesh& m) { m.volume_neighbours(20, 3) = -1; },
       "volume_neighbours(20, 3) = -1 is outside 0 to 48"},
  };
  TempDir earlier;
  write_mesh_files(build_mesh(3, 1.0, 1.0), earlier.path(), 2.0);
  const auto earlier_state = folder_state(earlier.path());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh = build_mesh(5, 2.0, 1.0);
    if (c.change) c.change(mesh);
    TempDir empty;
    for (const fs::path& folder : {empty.path(), earlier.path()}) {
      EXPECT_EQ(testing::thrown_report([&] { write_mesh_files(mesh, folder, c.seconds); }),
                error_report("S5002", "ARGUMENT(write_mesh_files)", c.description));
    }
    EXPECT_TRUE(testing::names_in(empty.path()).empty());
    EXPECT_TRUE(folder_state(earlier.path()) == earlier_state);
  }
  // A time of -0 is 0 seconds.
  TempDir zero;
  TempDir minus_zero;
  const Mesh mesh = build_mesh(2, 1.0, 1.0);
  write_mesh_files(mesh, zero.path(), 0.0);
  write_mesh_files(mesh, minus_zero.path(), -0.0);
  EXPECT_EQ(read_file(minus_zero / "dados_gerais.txt"), read_file(zero / "dados_gerais.txt"));
}

// The bytes of address space the process holds now.
rlim_t address_space_bytes() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// While it lives, the process can map little more address space than it
// holds, and the free blocks it already had of a file buffer's size are
// taken: a request of that size fails, smaller ones can still be had.
class AddressSpaceLimit {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;
  static constexpr rlim_t kMarginBytes = 256 * 1024;

  AddressSpaceLimit() {
    held_.reserve(1 << 16);
    getrlimit(RLIMIT_AS, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = address_space_bytes() + kMarginBytes;
    is_set_ = setrlimit(RLIMIT_AS, &limited) == 0;
    while (is_set_ && held_.size() < held_.capacity()) {
      char* block = new (std::nothrow) char[kBlockBytes];
      if (block == nullptr) break;
      held_.emplace_back(block);
    }
  }
  ~AddressSpaceLimit() {
    held_.clear();
    setrlimit(RLIMIT_AS, &saved_);
  }
  AddressSpaceLimit(const AddressSpaceLimit&) = delete;
  AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

  bool is_set() const { return is_set_; }

 private:
  rlimit saved_ {};
  bool is_set_ = false;
  std::vector<std::unique_ptr<char[]>> held_;
};

// Memory that cannot be had while the files are written or read is the
// ALLOCATE report, and the process goes on: with the memory back, the same
// calls complete.
TEST(PublicInterface, MemoryThatCannotBeHadIsTheAllocateReport) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer maps its shadow memory beyond any address-space "
                  "limit and does not return a failed allocation to the caller";
#endif
  const std::string allocate = error_report("A2001", "ALLOCATE", "not enough memory to build the mesh");
  const Mesh mesh = build_mesh(6, 2.0, 1.0);
  // Read back: files longer than a reader's whole block.
  TempDir written;
  write_mesh_files(build_mesh(15, 2.0, 1.0), written.path());
  TempDir limited;
  std::string write_report;
  std::string read_report;
  {
    const AddressSpaceLimit limit;
    ASSERT_TRUE(limit.is_set());
    write_report = testing::thrown_report([&] { write_mesh_files(mesh, limited.path()); });
    read_report = testing::thrown_report([&] { read_mesh_files(written.path()); });
  }
  EXPECT_EQ(write_report, allocate);
  EXPECT_EQ(read_report, allocate);
  EXPECT_TRUE(testing::names_in(limited.path()).empty());
  write_mesh_files(mesh, limited.path());
  expect_same_fields(read_mesh_files(limited.path()), mesh);
}

// Tables larger than the process can obtain are refused before they are
// allocated, with the need and the limit in the report's detail, which the
// program does not print.
TEST(PublicInterface, TablesPastTheLimitAreRefusedNamingNeedAndLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer maps its shadow memory beyond any address-space limit";
#endif
  constexpr rlim_t kLeftBytes = rlim_t {64} << 20;
  rlimit saved {};
  getrlimit(RLIMIT_AS, &saved);
  rlimit limited = saved;
  limited.rlim_cur = address_space_bytes() + kLeftBytes;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
  std::string report;
  std::string detail;
  try {
    build_mesh(24, 1.0, 1.0);
  } catch (const Error& error) {
    report = error.what();
    detail = error.detail();
  }
  setrlimit(RLIMIT_AS, &saved);
  EXPECT_EQ(report, error_report("A2001", "ALLOCATE", "not enough memory to build the mesh"));
  unsigned long long need = 0;
  unsigned long long limit = 0;
  ASSERT_EQ(std::sscanf(detail.c_str(), "the tables need %llu bytes (%*f GiB); this process can obtain %llu",
                        &need, &limit), 2) << detail;
  EXPECT_GT(need, std::uint64_t {32} << 24) << detail;  // 2^24 volumes, over 32 bytes each
  EXPECT_GT(limit, 0u) << detail;
  EXPECT_LE(limit, kLeftBytes) << detail;
}

}  // namespace
}  // namespace malha
