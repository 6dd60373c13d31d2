#include "support/recording_program.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include <sys/wait.h>

#include "support/run_malha.h"

namespace malha::testing {
namespace fs = std::filesystem;

void write_recording_program(const fs::path& path, const fs::path& log_path, int exit_code,
                             double sleep_seconds, const std::string& output) {
  const std::string log = shell_quote(log_path.string());
  std::string script = "#!/bin/sh\n";
  script += "name=${0##*/}\n";
  script += "{ printf 'start %s' \"$name\"; for a in \"$@\"; do printf ' [%s]' \"$a\"; done; "
            "printf '\\n'; } >>" + log + "\n";
  if (!output.empty()) script += "printf '%s' " + shell_quote(output) + "\n";
  if (sleep_seconds > 0) script += "sleep " + std::to_string(sleep_seconds) + "\n";
  script += "printf 'end %s\\n' \"$name\" >>" + log + "\n";
  script += "exit " + std::to_string(exit_code) + "\n";
  write_file(path, script);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

std::vector<std::string> read_log(const fs::path& log) {
  std::vector<std::string> lines;
  std::ifstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ScopedEnvironment::ScopedEnvironment(const std::map<std::string, std::string>& changes) {
  for (const auto& [name, value] : changes) {
    const char* old = std::getenv(name.c_str());
    saved_[name] = {old != nullptr, old != nullptr ? old : ""};
    if (value == kUnset) {
      unsetenv(name.c_str());
    } else {
      setenv(name.c_str(), value.c_str(), 1);
    }
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  for (const auto& [name, old] : saved_) {
    if (old.first) {
      setenv(name.c_str(), old.second.c_str(), 1);
    } else {
      unsetenv(name.c_str());
    }
  }
}

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

ShellResult run_shell(const fs::path& dir, const std::string& command_line) {
  const fs::path out = dir / ".shell-out";
  const fs::path err = dir / ".shell-err";
  const std::string full = "cd " + shell_quote(dir.string()) + " && { " + command_line +
                           "\n} </dev/null >" + shell_quote(out.string()) + " 2>" +
                           shell_quote(err.string());
  const int status = std::system(full.c_str());
  if (status == -1) throw std::runtime_error("cannot start the shell");
  ShellResult result;
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  result.out = read_file(out);
  result.err = read_file(err);
  fs::remove(out);
  fs::remove(err);
  return result;
}

}  // namespace malha::testing
