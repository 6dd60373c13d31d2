// The malha-vtk command end to end: the level-1 grid byte for byte, damaged
// folders each refused with its report and no malha.vtu, and arbitrary
// damage never crashing it.
//
// Set MALHA_REGENERATE_GOLDEN=1 to rewrite tests/golden/vtk/level1_1x1.vtu.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <random>
#include <string>

#include "output/golden_files.h"
#include "support/dialogue.h"
#include "support/recording_program.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

const char* const kInputs[] = {"dados.ent", "conectividades.ent", "baricentros.ent"};

// Copies the level-1 files that malha-vtk reads into `dir`.
void copy_level1(const fs::path& dir) {
  for (const char* name : kInputs) {
    fs::copy_file(testing::kGoldenDir / "level1_1x1" / name, dir / name);
  }
}

// Runs malha-vtk in `dir` with the words `args` (shell-quoted by the caller).
testing::ShellResult run_malha_vtk(const fs::path& dir, const std::string& args = {}) {
  return testing::run_shell(dir, testing::shell_quote(MALHA_VTK_EXE) + " " + args);
}

// The grid, or a temporary file of it.
bool has_grid(const fs::path& dir) {
  for (const fs::directory_entry& entry : fs::directory_iterator(dir))
    if (entry.is_regular_file() && entry.path().filename().string().starts_with("malha.vtu")) return true;
  return false;
}

// Replaces the text of record `line` (counted from 1, line end kept).
void set_record(std::string& bytes, int line, const std::string& text) {
  std::size_t start = 0;
  for (int i = 1; i < line; ++i) start = bytes.find('\n', start) + 1;
  const std::size_t end = bytes.find("\r\n", start);
  bytes.replace(start, end - start, text);
}

// Keeps the first `count` records.
void keep_records(std::string& bytes, int count) {
  std::size_t end = 0;
  for (int i = 0; i < count; ++i) end = bytes.find('\n', end) + 1;
  bytes.resize(end);
}

TEST(MalhaVtk, Level1GridMatchesTheGoldenFile) {
  TempDir dir;
  fs::create_directory(dir / "run");
  copy_level1(dir / "run");
  const testing::ShellResult result = run_malha_vtk(dir.path(), "run");
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, "run/malha.vtu: 8 points, 6 cells\n");
  EXPECT_EQ(result.err, "");
  EXPECT_FALSE(fs::exists(dir / "run" / "malha.vtu.tmp"));
  const fs::path golden = testing::kGoldenDir / "vtk" / "level1_1x1.vtu";
  const std::string written = read_file(dir / "run" / "malha.vtu");
  if (testing::regenerating()) {
    fs::create_directories(golden.parent_path());
    write_file(golden, written);
    return;
  }
  EXPECT_TRUE(read_file(golden) == written) << "malha.vtu differs from " << golden;
}

TEST(MalhaVtk, ReplacesAnEarlierGrid) {
  TempDir dir;
  copy_level1(dir.path());
  write_file(dir / "malha.vtu", std::string(100'000, 'o'));
  write_file(dir / "malha.vtu.tmp", std::string(100'000, 't'));
  ASSERT_EQ(run_malha_vtk(dir.path()).exit_status, 0);
  EXPECT_EQ(read_file(dir / "malha.vtu"), read_file(testing::kGoldenDir / "vtk" / "level1_1x1.vtu"));
  EXPECT_FALSE(fs::exists(dir / "malha.vtu.tmp"));
}

struct Damage {
  const char* name;
  const char* file;                  // the file damaged
  void (*change)(std::string& bytes);  // nullptr: the file is removed
  const char* report_code;
  const char* operation;
  const char* description;
};

const Damage kDamages[] = {
    {"dados.ent missing", "dados.ent", nullptr, "F4004", "OPEN(dados.ent)",
     "cannot open the file for reading: No such file or directory; the files come from a run of "
     "malha in that folder"},
    {"conectividades.ent missing", "conectividades.ent", nullptr, "F4004",
     "OPEN(conectividades.ent)", "cannot open the file for reading: No such file or directory"},
    {"baricentros.ent missing", "baricentros.ent", nullptr, "F4004", "OPEN(baricentros.ent)",
     "cannot open the file for reading: No such file or directory"},
    {"empty", "dados.ent", [](std::string& b) { b.clear(); }, "F4007", "READ(dados.ent)",
     "line 1: the file ends here, short of the 4 count records"},
    {"truncated among the nodes", "dados.ent", [](std::string& b) { keep_records(b, 10); },
     "F4007", "READ(dados.ent)", "line 11: the file ends here, short of the 8 node records that line 1 counts"},
    {"truncated inside the last record", "dados.ent", [](std::string& b) { b.resize(b.size() - 5); },
     "F4007", "READ(dados.ent)", "line 18: the file ends inside this record, before its CR LF line end"},
    {"a letter in a real field", "dados.ent", [](std::string& b) { b[4 * 10 + 52 + 8] = 'O'; },
     "F4007", "READ(dados.ent)",
     "line 6: columns 1 to 25, \"    1.00O000000000000E+00\", are not a real field (d.ddddddddddddddd "
     "with an exponent, right-aligned in 25 characters)"},
    {"a letter in a node number", "dados.ent", [](std::string& b) { set_record(b, 13, "       1       x       3"); },
     "F4007", "READ(dados.ent)", "line 13: columns 9 to 16, \"       x\", are not an integer right-aligned in 8 characters"},
    {"a count too wide for its field", "dados.ent", [](std::string& b) { set_record(b, 1, "********"); },
     "F4007", "READ(dados.ent)", "line 1: columns 1 to 8, \"********\", hold a number too wide for its field"},
    {"volume counts that disagree", "dados.ent", [](std::string& b) { set_record(b, 2, "       7"); },
     "F4007", "READ(dados.ent)", "line 4: 2 real and 4 fictitious volumes (lines 3 and 4) do not make the 7 volumes of line 2"},
    {"a node number above the count", "dados.ent", [](std::string& b) { set_record(b, 14, "       2       9       3"); },
     "F4007", "READ(dados.ent)", "line 14: node number 9 (columns 9 to 16) is outside 1 to 8"},
    {"node number 0", "dados.ent", [](std::string& b) { set_record(b, 18, "       8       1       0"); },
     "F4007", "READ(dados.ent)", "line 18: node number 0 (columns 17 to 24) is outside 1 to 8"},
    {"a record too long", "dados.ent", [](std::string& b) { set_record(b, 5, std::string(50, ' ') + "0"); },
     "F4007", "READ(dados.ent)", "line 5: the record is longer than 50 characters"},
    {"a record too short", "dados.ent", [](std::string& b) { set_record(b, 3, "      2"); },
     "F4007", "READ(dados.ent)", "line 3: the record holds 7 characters, not 8"},
    {"a record after the last", "dados.ent", [](std::string& b) { b += "       1       2       3\r\n"; },
     "F4007", "READ(dados.ent)", "line 19: the file goes on after its last record"},
    {"a line end without CR", "conectividades.ent", [](std::string& b) { b.erase(24, 1); },
     "F4007", "READ(conectividades.ent)", "line 1: the line ends in LF alone, not in CR LF"},
    {"a neighbour number above the count", "conectividades.ent",
     [](std::string& b) { set_record(b, 1, "       2       3       7"); }, "F4007", "READ(conectividades.ent)",
     "line 1: neighbour number 7 (columns 17 to 24) is outside 0 to 6"},
    {"more neighbour records than volumes", "conectividades.ent", [](std::string& b) { b += "       0       0       0\r\n"; },
     "F4007", "READ(conectividades.ent)", "line 7: the file goes on after its last record"},
    {"fewer barycentres than volumes", "baricentros.ent", [](std::string& b) { keep_records(b, 5); },
     "F4007", "READ(baricentros.ent)", "line 6: the file ends here, short of the 6 volume records that dados.ent counts"},
    {"a NUL byte", "baricentros.ent", [](std::string& b) { b[52 + 10] = '\0'; },
     "F4007", "READ(baricentros.ent)",
     "line 2: columns 1 to 25, \"    6.6666\\x006666666666E-01\", are not a real field (d.ddddddddddddddd "
     "with an exponent, right-aligned in 25 characters)"},
};

TEST(MalhaVtk, DamagedFoldersAreRefusedWithTheirReport) {
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.name);
    TempDir dir;
    copy_level1(dir.path());
    if (d.change == nullptr) {
      fs::remove(dir / d.file);
    } else {
      std::string bytes = read_file(dir / d.file);
      d.change(bytes);
      write_file(dir / d.file, bytes);
    }
    const testing::ShellResult result = run_malha_vtk(dir.path());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, testing::error_report(d.report_code, d.operation, d.description));
    EXPECT_FALSE(has_grid(dir.path()));
  }
}

// A grid that cannot be written or put in place leaves no file behind.
TEST(MalhaVtk, GridThatCannotBeWrittenLeavesNothing) {
  struct Case {
    const char* name;
    const char* directory;  // made in the folder in the grid's way
    const char* report_code;
    const char* operation;
    const char* description;
  };
  const Case cases[] = {
      {"final name taken", "malha.vtu/full", "F4006", "WRITE(malha.vtu)",
       "cannot give the finished file its name: Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    copy_level1(dir.path());
    fs::create_directories(dir / c.directory);
    const testing::ShellResult result = run_malha_vtk(dir.path());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, testing::error_report(c.report_code, c.operation, c.description));
    EXPECT_FALSE(has_grid(dir.path()));
  }
}

TEST(MalhaVtk, CommandLineWithTooManyWordsIsRefused) {
  TempDir dir;
  copy_level1(dir.path());
  const testing::ShellResult result = run_malha_vtk(dir.path(), ". .");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err.rfind("usage: malha-vtk [folder]\n", 0), 0u) << result.err;
  EXPECT_FALSE(has_grid(dir.path()));
}

// Random bytes changed, inserted, removed or cut off: each run ends with
// status 0 or 1, never through a signal, and a refused folder has no grid.
TEST(MalhaVtk, ArbitraryDamageNeverCrashes) {
  std::mt19937 random(12);
  TempDir dir;
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    for (const char* name : kInputs) fs::remove(dir / name);
    fs::remove(dir / "malha.vtu");
    copy_level1(dir.path());
    const fs::path file = dir / kInputs[random() % 3];
    std::string bytes = read_file(file);
    const std::size_t at = random() % bytes.size();
    switch (random() % 4) {
      case 0: bytes[at] = static_cast<char>(random() % 256); break;
      case 1: bytes.insert(at, 1, static_cast<char>(random() % 256)); break;
      case 2: bytes.erase(at, 1 + random() % 30); break;
      default: bytes.resize(at); break;
    }
    write_file(file, bytes);
    const testing::ShellResult result = run_malha_vtk(dir.path());
    ASSERT_TRUE(result.exit_status == 0 || result.exit_status == 1) << result.exit_status;
    if (result.exit_status == 1) {
      EXPECT_EQ(result.err.rfind("\r\nrun-time error F4007: READ(", 0), 0u) << result.err;
      EXPECT_FALSE(has_grid(dir.path()));
    }
  }
}

}  // namespace
}  // namespace malha
