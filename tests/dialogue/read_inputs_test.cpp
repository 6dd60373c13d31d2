// The console dialogue of the real program, with redirected streams.

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/dialogue.h"
#include "support/run_malha.h"

namespace malha {
namespace {

using testing::redirected_prompts;
using testing::run_malha;
using testing::TempDir;
using testing::write_file;

TEST(ReadInputs, CompletedDialogueWritesFourPromptsEachWithItsLineEnd) {
  TempDir dir;
  const testing::RunResult result = run_malha(dir.path(), "1\n1\n1\n0\n");
  EXPECT_EQ(result.out, redirected_prompts(4));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exit_status, 0);
}

TEST(ReadInputs, UnreadableAnswersEndTheRunWithTheReadReport) {
  const auto report = [](const char* code, const char* description) {
    return testing::error_report(code, "READ(CON)", description);
  };
  const std::string kEnd = report("R1001", "end of input before a value was read");
  const std::string kBadInteger = report(
      "R1002", "invalid integer: expected an optional sign and digits, base#digits or #digits");
  const std::string kBadReal =
      report("R1003", "invalid real: expected digits with an optional point and exponent");
  const std::string kIntegerRange =
      report("R1004", "integer value outside the range -2147483648 to 2147483647");
  const std::string kRealRange = report("R1005", "real value beyond the largest double");
  const std::string kBadRepeat = report("R1006", "repeat count outside the range 1 to 2147483647");
  struct Case {
    const char* name;
    std::string input;
    int prompts_shown;
    std::string report;
  };
  const Case cases[] = {
      {"empty input", "", 1, kEnd},
      {"input ending after two answers", "3\n1\n", 3, kEnd},
      {"only blank lines left", "3\n1\n \n\t\n", 3, kEnd},
      {"ctrl-z line", "3\n1\n\x1a\n1\n0\n", 3, kEnd},
      {"ctrl-z after a value", "3\n1\n1\n0\x1a\r\n", 4, kEnd},
      {"decimal point in the level", "3.0\n1\n1\n0\n", 1, kBadInteger},
      {"word for show_plots", "3\n1\n1\nsim\n", 4, kBadInteger},
      {"quoted length", "3\n'1.5'\n1\n0\n", 2, kBadReal},
      {"exponent letter without digits", "3\n1\n1.5E\n0\n", 3, kBadReal},
      {"level beyond int32", "2147483648\n1\n1\n0\n", 1, kIntegerRange},
      {"radix beyond int32", "#FFFFFFFF\n1\n1\n0\n", 1, kIntegerRange},
      {"length beyond the largest double", "3\n1e309\n1\n0\n", 2, kRealRange},
      {"zero repeat count", "0*3\n1\n1\n0\n", 1, kBadRepeat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::expect_failure_before_output(c.input, c.prompts_shown, c.report);
  }
}

// The console has no failure of its own: prompts written to a pipe nobody
// reads are lost, and the run goes on (it is not ended by a signal).
TEST(ReadInputs, PromptsToAClosedPipeDoNotEndTheRun) {
  TempDir dir;
  const std::string answers_path = (dir / "answers").string();
  const std::string dir_path = dir.path().string();
  write_file(answers_path, "1\n1\n1\n0\n");
  int out_pipe[2];
  ASSERT_EQ(pipe(out_pipe), 0);
  close(out_pipe[0]);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    std::signal(SIGPIPE, SIG_DFL);  // as a shell starts it
    const int answers = open(answers_path.c_str(), O_RDONLY);
    const int null_device = open("/dev/null", O_WRONLY);
    if (answers < 0 || null_device < 0 || chdir(dir_path.c_str()) != 0) _exit(125);
    dup2(answers, 0);
    dup2(out_pipe[1], 1);
    dup2(null_device, 2);
    execl(MALHA_EXE, "malha", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out_pipe[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace malha
