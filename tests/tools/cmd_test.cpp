// tools/cmd, the command processor that shows the results on Linux and
// macOS, with stand-in editors, openers and plotting program on PATH.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/recording_program.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_log;
using testing::shell_quote;
using testing::TempDir;
using testing::write_recording_program;

class ToolsCmd : public ::testing::Test {
 protected:
  ToolsCmd() {
    fs::create_directory(stubs_);
    for (const char* name : {"gnuplot", "xdg-open", "editor", "visual", "pager"}) {
      write_recording_program(stubs_ / name, log_, 4);
    }
    testing::write_file(work_ / "dados_gerais.txt", kSummary);
  }

  // Runs tools/cmd with the arguments in `work_`, with only the given
  // variables among those the tool looks at, and the stubs first on PATH.
  testing::ShellResult run(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& environment) {
    std::string line = "env -u VISUAL -u EDITOR -u PAGER -u DISPLAY -u WAYLAND_DISPLAY";
    line += " PATH=" + shell_quote(stubs_.string() + ":/usr/bin:/bin");
    for (const auto& [name, value] : environment) {
      line.append(" ").append(name).append("=").append(shell_quote(value));
    }
    line.append(" ").append(shell_quote(std::string(MALHA_SOURCE_DIR) + "/tools/cmd"));
    for (const std::string& arg : args) line.append(" ").append(shell_quote(arg));
    return testing::run_shell(work_.path(), line);
  }

  static constexpr const char* kSummary = " N\xfamero de volumes reais:           2\r\n";
  TempDir work_;
  TempDir tools_;
  fs::path stubs_ = tools_ / "bin";
  fs::path log_ = tools_ / "log";
};

TEST_F(ToolsCmd, StartsTheViewerForEachCommandLine) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::map<std::string, std::string> environment;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"editor from EDITOR", {"/c", "notepad dados_gerais.txt"}, {{"EDITOR", "editor"}},
       {"start editor [dados_gerais.txt]", "end editor"}},
      {"VISUAL before EDITOR", {"/c", "notepad dados_gerais.txt"},
       {{"EDITOR", "editor"}, {"VISUAL", "visual"}},
       {"start visual [dados_gerais.txt]", "end visual"}},
      {"editor setting with its own arguments", {"/c", "notepad dados_gerais.txt"},
       {{"EDITOR", "editor -w"}},
       {"start editor [-w] [dados_gerais.txt]", "end editor"}},
      {"desktop opener with a display", {"/c", "notepad dados_gerais.txt"},
       {{"DISPLAY", ":0"}},
       {"start xdg-open [dados_gerais.txt]", "end xdg-open"}},
      {"plot script", {"/c", "wgnuplot malha_real.gnu"}, {},
       {"start gnuplot [-persist] [malha_real.gnu]", "end gnuplot"}},
      {"line split over arguments and upper case", {"/C", "wgnuplot", "malha.gnu  "}, {},
       {"start gnuplot [-persist] [malha.gnu]", "end gnuplot"}},
      {"other commands through sh", {"/c", "editor a 'b c'"}, {},
       {"start editor [a] [b c]", "end editor"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log_);
    const testing::ShellResult result = run(c.args, c.environment);
    EXPECT_EQ(result.exit_status, 4);  // the stub's
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(read_log(log_), c.log);
  }
}

TEST_F(ToolsCmd, WithoutEditorOrDisplayCopiesTheFileWhenNotATerminal) {
  const testing::ShellResult result = run({"/c", "notepad dados_gerais.txt"}, {});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, kSummary);  // byte for byte: not a terminal
  EXPECT_TRUE(read_log(log_).empty());
}

TEST_F(ToolsCmd, ExitStatusIsTheCommands) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int exit_status;
  };
  const Case cases[] = {
      {"command's status", {"/c", "exit 7"}, 7},
      {"unknown program", {"/c", "malha-test-no-such-program"}, 127},
      {"missing file to show", {"/c", "notepad no-such-file.txt"}, 1},
      {"no /c", {"notepad", "x"}, 2},
      {"no arguments", {}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(c.args, {}).exit_status, c.exit_status);
  }
}

}  // namespace
}  // namespace malha
