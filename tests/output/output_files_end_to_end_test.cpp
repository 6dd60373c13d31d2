// Whole runs of the program compared with the golden output files under
// tests/golden/<case>/, byte for byte; and the runs that fail while opening
// or writing the output files.
//
// Set MALHA_REGENERATE_GOLDEN=1 to rewrite the golden files from the
// program's output (then check them by hand before committing).

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "output/golden_files.h"
#include "output/output_files.h"
#include "support/dialogue.h"
#include "support/file_records.h"
#include "support/run_malha.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_malha;
using testing::RunResult;
using testing::TempDir;
using testing::write_file;

// The processing time differs from run to run: its field is checked by its
// form (read_records) and then replaced by zero, the value the golden files
// hold.
std::string with_time_zeroed(const std::string& dados_gerais) {
  const std::size_t label = dados_gerais.rfind(kTimeLabel);
  EXPECT_NE(label, std::string::npos) << "no processing-time record";
  if (label == std::string::npos) return dados_gerais;
  const std::size_t field = label + kTimeLabel.size();
  return dados_gerais.substr(0, field) + "   0.000000000E+00\r\n";
}

// Why a test that runs the program without root's privileges is skipped.
constexpr const char* kUnreachable =
    "run as root, and user 65534 can reach neither " MALHA_EXE " nor a copy of it in the "
    "temporary folder";

struct GoldenCase {
  const char* name;  // the folder under tests/golden
  const char* input;
};

const GoldenCase kGoldenCases[] = {
    {"level1_1x1", "1\n1\n1\n0\n"},
    {"level3_2x1", "3\n2\n1\n0\n"},
    {"level4_2x1", "4\n2\n1\n0\n"},
};

// Runs the case in `dir` and compares all eleven files with the golden ones.
void expect_golden_output(const GoldenCase& c, const TempDir& dir,
                          const testing::RunOptions& options = {}) {
  const RunResult result = run_malha(dir.path(), c.input, options);
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, testing::redirected_prompts());
  EXPECT_EQ(result.err, "");
  const fs::path golden = testing::kGoldenDir / c.name;
  for (const OutputFileEntry& entry : kOutputFiles) {
    SCOPED_TRACE(entry.name);
    std::string written = read_file(dir / entry.name);
    if (entry.file == OutputFile::dados_gerais) {
      const Mesh counts = testing::counted_mesh(std::stoi(c.input), 1.0, 1.0);
      const auto records = testing::read_records(dir / entry.name, entry.file, counts);
      ASSERT_FALSE(records.empty());
      EXPECT_GE(records.back().reals.at(0), 0.0) << "a negative processing time";
      written = with_time_zeroed(written);
    }
    if (testing::regenerating()) {
      fs::create_directories(golden);
      write_file(golden / entry.name, written);
      continue;
    }
    ASSERT_TRUE(fs::exists(golden / entry.name)) << "missing golden file";
    const std::string difference = testing::first_difference(read_file(golden / entry.name), written);
    EXPECT_TRUE(difference.empty()) << difference;
  }
}

TEST(OutputFilesEndToEnd, MatchTheGoldenFiles) {
  for (const GoldenCase& c : kGoldenCases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    expect_golden_output(c, dir);
  }
}

TEST(OutputFilesEndToEnd, LongerFilesOfAnEarlierRunLeaveNoTrace) {
  if (testing::regenerating()) GTEST_SKIP();
  TempDir dir;
  for (const OutputFileEntry& entry : kOutputFiles) {
    write_file(dir / entry.name, std::string(100'000, 'o') + "\r\n");
  }
  expect_golden_output(kGoldenCases[0], dir);
}

// A rerun puts a new file in the place of each regular file at its first
// block. What users rely on stays: a link is followed and stays a link, the
// file's permission bits (and, for the superuser, its owner) are kept, a
// folder where no file can be made beside the old one has its files written
// over and cut, and nothing is left under another name.
TEST(OutputFilesEndToEnd, RerunsKeepLinksPermissionsAndNames) {
  if (testing::regenerating()) GTEST_SKIP();
  const std::string longer(100'000, 'o');
  const fs::perms rw_r = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  const fs::perms rx_all = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read |
                           fs::perms::others_exec;
  struct Case {
    const char* what;
    bool linked;          // "malha.txt" is a link to a file in another folder
    fs::perms mode;       // of every earlier file
    bool folder_locked;   // the run may not create files in the folder
    bool other_owner;     // the earlier files belong to user 65534 (superuser only)
  };
  const Case cases[] = {
      {"permission bits", false, rw_r, false, false},
      {"a link to a file elsewhere", true, fs::perms::owner_read | fs::perms::owner_write, false,
       false},
      {"a folder the run may not add to", false, fs::perms::all, true, false},
      {"another user's files", false, rw_r | fs::perms::others_read, false, true},
  };
  const bool can_drop_privileges = testing::dropped_privileges_reach_malha();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.other_owner && geteuid() != 0) continue;
    if (c.folder_locked && !can_drop_privileges) continue;  // see kUnreachable
    TempDir dir;
    TempDir elsewhere;
    for (const OutputFileEntry& entry : kOutputFiles) {
      fs::path path = dir / entry.name;
      if (c.linked && entry.file == OutputFile::malha) {
        fs::create_symlink(elsewhere / "target.txt", path);
        path = elsewhere / "target.txt";
      }
      write_file(path, longer);
      fs::permissions(path, c.mode);
      if (c.other_owner) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
      }
    }
    testing::RunOptions options;
    if (c.folder_locked) {
      fs::permissions(dir.path(), rx_all);
      options.drop_privileges = true;
    }
    expect_golden_output(kGoldenCases[0], dir, options);
    fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(testing::names_in(dir.path()).size(), kOutputFiles.size());
    for (const OutputFileEntry& entry : kOutputFiles) {
      SCOPED_TRACE(entry.name);
      const fs::path path = dir / entry.name;
      if (c.linked && entry.file == OutputFile::malha) {
        EXPECT_TRUE(fs::is_symlink(path));
        EXPECT_EQ(testing::names_in(elsewhere.path()), std::set<std::string>{"target.txt"});
      }
      EXPECT_EQ(fs::status(path).permissions(), c.mode);
      struct stat info {};
      ASSERT_EQ(stat(path.c_str(), &info), 0);
      if (c.other_owner) {
        EXPECT_EQ(info.st_uid, 65534u);
      }
    }
  }
}

// An earlier file that the user may not write is an OPEN failure, and it
// keeps its content.
TEST(OutputFilesEndToEnd, ReadOnlyEarlierFileIsAnOpenFailure) {
  if (!testing::dropped_privileges_reach_malha()) GTEST_SKIP() << kUnreachable;
  TempDir dir;
  write_file(dir / "nos_malha.txt", "earlier run\r\n");
  fs::permissions(dir / "nos_malha.txt", fs::perms::owner_read | fs::perms::group_read |
                                             fs::perms::others_read);
  fs::permissions(dir.path(), fs::perms::all);
  testing::RunOptions options;
  options.drop_privileges = true;
  const RunResult result = run_malha(dir.path(), "3\n2\n1\n0\n", options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, testing::error_report("F4001", "OPEN(nos_malha.txt)",
                                              "cannot create or open the file: Permission denied"));
  EXPECT_EQ(read_file(dir / "nos_malha.txt"), "earlier run\r\n");
  EXPECT_EQ(testing::names_in(dir.path()),
            (std::set<std::string>{"dados_malha.txt", "nos_malha.txt"}));
}

TEST(OutputFilesEndToEnd, UnwritableDirectoryIsAnOpenFailure) {
  if (!testing::dropped_privileges_reach_malha()) GTEST_SKIP() << kUnreachable;
  TempDir dir;
  // Readable and searchable by everyone, writable by no one but root, whose
  // privileges the run gives up.
  fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                  fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  testing::RunOptions options;
  options.drop_privileges = true;
  const RunResult result = run_malha(dir.path(), "1\n1\n1\n0\n", options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, testing::redirected_prompts());
  EXPECT_EQ(result.err, testing::error_report("F4001", "OPEN(dados_malha.txt)",
                                              "cannot create or open the file: Permission denied"));
  EXPECT_TRUE(testing::names_in(dir.path()).empty());
}

// Files 1 to k - 1 keep what an earlier run left in them; the k-th cannot be
// opened (a directory has its name); the files after it are not created.
TEST(OutputFilesEndToEnd, FailedOpenLeavesTheEarlierFilesAsTheyWere) {
  TempDir dir;
  const int k = 5;  // "malha_real.txt"
  for (int i = 0; i < k - 1; ++i) write_file(dir / kOutputFiles[i].name, "earlier run\r\n");
  fs::create_directory(dir / kOutputFiles[k - 1].name);
  const RunResult result = run_malha(dir.path(), "3\n2\n1\n0\n");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, testing::error_report("F4001", "OPEN(malha_real.txt)",
                                              "cannot create or open the file: Is a directory"));
  for (int i = 0; i < k - 1; ++i) {
    SCOPED_TRACE(kOutputFiles[i].name);
    EXPECT_EQ(read_file(dir / kOutputFiles[i].name), "earlier run\r\n");
  }
  for (int i = k; i < kOutputFileCount; ++i) {
    EXPECT_FALSE(fs::exists(dir / kOutputFiles[i].name)) << kOutputFiles[i].name;
  }
}

TEST(OutputFilesEndToEnd, FullDeviceIsAWriteFailure) {
  TempDir dir;
  fs::create_symlink("/dev/full", dir / "malha.txt");
  const RunResult result = run_malha(dir.path(), "3\n2\n1\n0\n");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out, testing::redirected_prompts());
  EXPECT_EQ(result.err, testing::error_report("F4002", "WRITE(malha.txt)",
                                              "cannot write the file: No space left on device"));
  EXPECT_TRUE(fs::is_symlink(dir / "malha.txt"));
}

// A write beyond the file size limit fails with an error; the limit's
// signal must not end the process without a report.
TEST(OutputFilesEndToEnd, FileSizeLimitIsAWriteFailure) {
  TempDir dir;
  rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 4096;  // dados_malha.txt of level 8 holds about 10 kB
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const RunResult result = run_malha(dir.path(), "8\n2\n1\n0\n");
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, testing::error_report("F4002", "WRITE(dados_malha.txt)",
                                              "cannot write the file: File too large"));
}

// The space set aside for each file is exactly what the run writes, and no
// more stays allocated after the run.
TEST(OutputFilesEndToEnd, ReservedSpaceIsTheWrittenLength) {
  for (const std::int32_t level : {1, 2, 4, 7}) {
    SCOPED_TRACE(level);
    TempDir dir;
    const RunResult result = run_malha(dir.path(), std::to_string(level) + "\n2\n1\n0\n");
    ASSERT_EQ(result.exit_status, 0) << result.err;
    const Mesh mesh = testing::built_mesh(level, 2.0, 1.0);
    for (const OutputFileEntry& entry : kOutputFiles) {
      SCOPED_TRACE(entry.name);
      EXPECT_EQ(fs::file_size(dir / entry.name), output_file_bytes(entry.file, mesh));
    }
  }
}

// A run that fails halfway through the files, over longer files of an
// earlier run: a file holds either its old content untouched or this run's
// records alone, never this run's records followed by the old ones.
TEST(OutputFilesEndToEnd, FailedWriteLeavesNoFileMixingOldAndNewRecords) {
  TempDir dir;
  const std::string old_content(3'500'000, 'Z');  // no record of a run holds a Z
  for (const OutputFileEntry& entry : kOutputFiles) write_file(dir / entry.name, old_content);
  rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 3'000'000;  // level 16: "malha.txt" passes it first, at its third block
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const RunResult result = run_malha(dir.path(), "16\n2\n1\n0\n");
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err, testing::error_report("F4002", "WRITE(malha.txt)",
                                              "cannot write the file: File too large"));
  int kept = 0;
  int new_only = 0;
  for (const OutputFileEntry& entry : kOutputFiles) {
    SCOPED_TRACE(entry.name);
    const std::string bytes = read_file(dir / entry.name);
    if (bytes == old_content) {
      ++kept;
    } else {
      EXPECT_EQ(bytes.find('Z'), std::string::npos);
      if (!bytes.empty()) ++new_only;
    }
  }
  EXPECT_GT(kept, 0);      // "dados_gerais.txt" got nothing before the failure
  EXPECT_GT(new_only, 0);  // "dados_malha.txt" had its first blocks written
}

}  // namespace
}  // namespace malha
