// tools/cmd, the command processor that shows the results on Linux and
// macOS, with stand-in editors, openers and plotting program on PATH.

#include <gtest/gtest.h>

#include <algorithm>
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
    for (const char* script : {"malha_real.gnu", "malha.gnu"}) testing::write_file(work_ / script, "");
  }

  // Runs tools/cmd with the arguments in `work_`, with only the given
  // variables among those the tool looks at, and the stubs first on PATH.
  // `cmd` names another copy of the tool.
  testing::ShellResult run(const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& environment,
                           const fs::path& cmd = fs::path(MALHA_SOURCE_DIR) / "tools" / "cmd") {
    std::string line = "env -u VISUAL -u EDITOR -u PAGER -u DISPLAY -u WAYLAND_DISPLAY";
    line += " PATH=" + shell_quote(stubs_.string() + ":/usr/bin:/bin");
    line += " LC_ALL=C";  // the file's own bytes, unless a case names a locale
    for (const auto& [name, value] : environment) {
      line.append(" ").append(name).append("=").append(shell_quote(value));
    }
    line.append(" ").append(shell_quote(cmd.string()));
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
      {"plot script with a display", {"/c", "wgnuplot malha_real.gnu"}, {{"DISPLAY", ":0"}},
       {"start gnuplot [-persist] [malha_real.gnu]", "end gnuplot"}},
      {"line split over arguments and upper case", {"/C", "wgnuplot", "malha.gnu  "},
       {{"WAYLAND_DISPLAY", "wayland-0"}},
       {"start gnuplot [-persist] [malha.gnu]", "end gnuplot"}},
      {"plot script without a display drawn to a picture", {"/c", "wgnuplot malha_real.gnu"}, {},
       {"start gnuplot [-e] [set terminal pngcairo size 1024,768; set output 'malha_real.png'] "
        "[malha_real.gnu]",
        "end gnuplot"}},
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

TEST_F(ToolsCmd, WithoutADisplayPrintsThePathOfAPictureDrawn) {
  const std::string drawn =
      "malha.gnu drawn to " + fs::canonical(work_.path()).string() + "/malha.png\n";
  for (const int gnuplot_status : {0, 4}) {
    SCOPED_TRACE(gnuplot_status);
    write_recording_program(stubs_ / "gnuplot", log_, gnuplot_status);
    const testing::ShellResult result = run({"/c", "wgnuplot malha.gnu"}, {});
    EXPECT_EQ(result.exit_status, gnuplot_status);
    EXPECT_EQ(result.out.find(drawn) != std::string::npos, gnuplot_status == 0) << result.out;
  }
}

// The editor is shown the Windows-1252 letters in the locale's own character
// set, and only in a copy: the file keeps its bytes, and the copy goes when
// the editor ends.
TEST_F(ToolsCmd, EditorSeesTheLettersOfItsLocale) {
  const fs::path seen = tools_ / "seen";
  testing::write_file(stubs_ / "show", "#!/bin/sh\ncat \"$1\" > " + shell_quote(seen.string()) +
                                           "\nprintf '%s\\n' \"$1\" >> " +
                                           shell_quote(seen.string()) + "\n");
  fs::permissions(stubs_ / "show", fs::perms::owner_all);
  struct Case {
    const char* locale;
    std::string shown;
    bool is_the_file;
  };
  const Case cases[] = {
      {"C.UTF-8", " N\xc3\xbamero de volumes reais:           2\r\n", false},
      {"C", kSummary, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    const testing::ShellResult result = run(
        {"/c", "notepad dados_gerais.txt"},
        {{"LC_ALL", c.locale}, {"EDITOR", "show"}, {"TMPDIR", tools_.path().string()}});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    const std::string text = testing::read_file(seen);
    ASSERT_GE(text.size(), c.shown.size());
    EXPECT_EQ(text.substr(0, c.shown.size()), c.shown);
    const std::string name = text.substr(c.shown.size());
    EXPECT_EQ(name == "dados_gerais.txt\n", c.is_the_file) << name;
    EXPECT_EQ(testing::read_file(work_ / "dados_gerais.txt"), kSummary);
    for (const auto& entry : fs::directory_iterator(tools_.path())) {
      EXPECT_EQ(entry.path().filename().string().rfind("malha-cmd.", 0), std::string::npos)
          << "copy left behind: " << entry.path();
    }
  }
}

TEST_F(ToolsCmd, WithoutEditorOrDisplayCopiesTheFileWhenNotATerminal) {
  const testing::ShellResult result = run({"/c", "notepad dados_gerais.txt"}, {});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, kSummary);  // byte for byte: not a terminal
  EXPECT_TRUE(read_log(log_).empty());
}

// A plot script missing from the current directory comes from beside the
// tool (its installed folder); where there is none, one line says where the
// scripts belong and no plot starts.
TEST_F(ToolsCmd, FindsThePlotScriptsBesideTheTool) {
  const fs::path installed = tools_ / "share" / "malha";
  fs::create_directories(installed);
  fs::copy_file(fs::path(MALHA_SOURCE_DIR) / "tools" / "cmd", installed / "cmd");
  fs::remove(work_ / "malha.gnu");
  struct Case {
    const char* name;
    bool installed_script;
    int exit_status;
    std::vector<std::string> log;
  };
  const std::string beside = (installed / "malha.gnu").string();
  const Case cases[] = {
      {"beside the tool", true, 4, {"start gnuplot [-persist] [" + beside + "]", "end gnuplot"}},
      {"nowhere", false, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log_);
    if (c.installed_script) testing::write_file(installed / "malha.gnu", "");
    else fs::remove(installed / "malha.gnu");
    const testing::ShellResult result =
        run({"/c", "wgnuplot malha.gnu"}, {{"DISPLAY", ":0"}}, installed / "cmd");
    EXPECT_EQ(result.exit_status, c.exit_status);
    EXPECT_EQ(read_log(log_), c.log);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), c.log.empty() ? 1 : 0)
        << result.err;
  }
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
