#pragma once
// Stand-in programs for the tests of the viewer launch: small shell scripts
// that log how they were started, so a test can check the exact argument
// lists and the order of the processes.

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace malha::testing {

// Writes an executable script at `path`. Each start appends to `log` (which
// several programs may share) the line "start <name> [arg1] [arg2] ...",
// where <name> is the file name the script was started under, writes
// `output` to standard output, sleeps `sleep_seconds`, appends "end <name>"
// and exits with `exit_code`.
void write_recording_program(const std::filesystem::path& path, const std::filesystem::path& log,
                             int exit_code = 0, double sleep_seconds = 0,
                             const std::string& output = {});

// The log's lines, without their line ends; empty when nothing was started.
std::vector<std::string> read_log(const std::filesystem::path& log);

// Sets or removes environment variables of the test process for the life of
// the object; kUnset (run_malha.h) removes a variable.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const std::map<std::string, std::string>& changes);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::map<std::string, std::pair<bool, std::string>> saved_;  // had value, value
};

// Quotes a text as one word for the POSIX shell.
std::string shell_quote(const std::string& text);

struct ShellResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

// Runs a shell command line in `dir` with standard input from /dev/null,
// capturing its standard output and error through files in `dir`.
ShellResult run_shell(const std::filesystem::path& dir, const std::string& command_line);

}  // namespace malha::testing
