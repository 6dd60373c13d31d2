#include "viewers/launch_viewers.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/recording_program.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::kUnset;
using testing::read_log;
using testing::ScopedEnvironment;
using testing::TempDir;
using testing::write_recording_program;

// A path to `target` spelled with exactly `length` characters, padded with
// "./" steps (and one doubled slash for an odd remainder).
std::string path_of_length(const fs::path& target, std::size_t length) {
  const std::string dir = target.parent_path().string();
  const std::string name = target.filename().string();
  const std::size_t bare = dir.size() + 1 + name.size();
  EXPECT_LE(bare, length);
  std::string padding((length - bare) % 2, '/');
  for (std::size_t i = 0; i < (length - bare) / 2; ++i) padding += "./";
  return dir + "/" + padding + name;
}

// run_command, in this process, with COMSPEC naming a recording script.
class RunCommand : public ::testing::Test {
 protected:
  RunCommand() { write_recording_program(processor_, log_, 3); }

  // The argument lists logged so far, one "start" line per process.
  std::vector<std::string> starts() const {
    std::vector<std::string> lines;
    for (const std::string& line : read_log(log_)) {
      if (line.rfind("start ", 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  TempDir dir_;
  fs::path log_ = dir_ / "log";
  fs::path processor_ = dir_ / "rec";
};

TEST_F(RunCommand, PassesSlashCAndTheLineWithoutTrailingBlanks) {
  struct Case {
    const char* name;
    std::string line;
    std::string logged;
  };
  const Case cases[] = {
      {"trailing blanks", "wgnuplot malha.gnu   ", "start rec [/c] [wgnuplot malha.gnu]"},
      {"inner and leading blanks kept", "  a  b ", "start rec [/c] [  a  b]"},
      {"trailing tab is no blank", "a\t", "start rec [/c] [a\t]"},
      {"only blanks", "    ", "start rec [/c] []"},
      {"quotes passed as they are", "echo \"x y\"", "start rec [/c] [echo \"x y\"]"},
  };
  ScopedEnvironment env({{"COMSPEC", processor_.string()}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log_);
    EXPECT_EQ(run_command(c.line), 3);
    EXPECT_EQ(starts(), std::vector<std::string>{c.logged});
  }
}

TEST_F(RunCommand, LimitsOnTheLineAndTheProcessorName) {
  const std::string at_limit(kMaxCommandLine, 'x');
  struct Case {
    const char* name;
    std::string line;
    std::string processor;
    int result;
  };
  const Case cases[] = {
      {"line of 1024", at_limit, processor_.string(), 3},
      {"line of 1024 and trailing blanks", at_limit + "   ", processor_.string(), 3},
      {"line of 1025", at_limit + "x", processor_.string(), -1},
      {"processor name of 260", "a", path_of_length(processor_, kMaxProcessorName), 3},
      {"processor name of 261", "a", path_of_length(processor_, kMaxProcessorName + 1), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log_);
    ScopedEnvironment env({{"COMSPEC", c.processor}});
    EXPECT_EQ(run_command(c.line), c.result);
    EXPECT_EQ(starts().size(), c.result == -1 ? 0U : 1U);
  }
}

TEST_F(RunCommand, ProcessorNotStarted) {
  const fs::path not_executable = dir_ / "plain-file";
  testing::write_file(not_executable, "#!/bin/sh\nexit 0\n");
  struct Case {
    const char* name;
    std::string processor;
  };
  const Case cases[] = {
      {"missing path", (dir_ / "missing").string()},
      {"missing on the search path", "malha-test-no-such-processor"},
      {"not executable", not_executable.string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnvironment env({{"COMSPEC", c.processor}});
    EXPECT_EQ(run_command("notepad dados_gerais.txt"), -1);
  }
}

// The whole program: the answers of the dialogue decide which command lines
// run, and each runs only after the previous one has ended.
class LaunchViewers : public ::testing::Test {
 protected:
  testing::RunResult run(const std::string& show_plots_answer,
                         const std::map<std::string, std::string>& environment) {
    return testing::run_malha(dir_.path(), "1\n1\n1\n" + show_plots_answer + "\n",
                              {.environment = environment});
  }

  TempDir dir_;
  TempDir tools_;
  fs::path log_ = tools_ / "log";
};

// The log of the recording processor "rec" started once for each line, in
// order, each start followed by its end.
std::vector<std::string> runs_of(std::initializer_list<const char*> lines) {
  std::vector<std::string> log;
  for (const char* line : lines) {
    log.push_back(std::string("start rec [/c] [") + line + "]");
    log.push_back("end rec");
  }
  return log;
}

const std::vector<std::string> kEditorOnly = runs_of(
    {"notepad dados_gerais.txt", "notepad dados_malha.txt", "notepad vol_conectividades.txt"});

const std::vector<std::string> kWithPlots =
    runs_of({"notepad dados_gerais.txt", "notepad dados_malha.txt", "wgnuplot malha_real.gnu",
             "wgnuplot malha.gnu", "wgnuplot malha_baricentros.gnu",
             "notepad vol_conectividades.txt"});

TEST_F(LaunchViewers, CommandLinesInOrderEachAfterThePreviousEnded) {
  // The recording processor fails, so a failure that stopped the launches
  // would show fewer lines. For the longest list it also sleeps between its
  // start and end entries, so a launch that did not wait would show two
  // starts in a row; the other lists need no sleep to show their order.
  struct Case {
    const char* name;
    const char* answer;
    const std::vector<std::string>* expected;
  };
  const Case cases[] = {
      {"no plots", "0", &kEditorOnly},
      {"plots", "1", &kWithPlots},
      {"2 is not 1", "2", &kEditorOnly},
      {"-1 is not 1", "-1", &kEditorOnly},
      {"#10 is 16", "#10", &kEditorOnly},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log_);
    write_recording_program(tools_ / "rec", log_, 1, c.expected == &kWithPlots ? 0.2 : 0);
    const testing::RunResult result = run(c.answer, {{"COMSPEC", (tools_ / "rec").string()}});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(read_log(log_), *c.expected);
  }
}

TEST_F(LaunchViewers, UnsetOrEmptyComspecStartsCmdExeFirstOnThePath) {
  write_recording_program(tools_ / "cmd.exe", log_);
  for (const char* comspec : {kUnset, ""}) {
    SCOPED_TRACE(comspec);
    fs::remove(log_);
    const testing::RunResult result =
        run("0", {{"COMSPEC", comspec}, {"PATH", tools_.path().string() + ":/usr/bin:/bin"}});
    EXPECT_EQ(result.exit_status, 0);
    const std::vector<std::string> log = read_log(log_);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "start cmd.exe [/c] [notepad dados_gerais.txt]");
    EXPECT_EQ(log.size(), 6U);
  }
}

TEST_F(LaunchViewers, ProcessorThatCannotStartLeavesTheRunSuccessful) {
  const testing::RunResult result = run("1", {{"COMSPEC", (tools_ / "missing").string()}});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
}

TEST_F(LaunchViewers, ViewerOutputFollowsTheLastPromptOnALineOfItsOwn) {
  write_recording_program(tools_ / "rec", log_, 0, 0, "viewer\n");
  const testing::RunResult result = run("0", {{"COMSPEC", (tools_ / "rec").string()}});
  EXPECT_EQ(result.exit_status, 0);
  const std::string viewers = "viewer\nviewer\nviewer\n";
  ASSERT_GE(result.out.size(), viewers.size() + 2);
  // Everything before the viewers' output is the dialogue, its last line
  // closed; the run writes nothing after them.
  EXPECT_EQ(result.out.substr(result.out.size() - viewers.size() - 2), "\r\n" + viewers);
}

}  // namespace
}  // namespace malha
