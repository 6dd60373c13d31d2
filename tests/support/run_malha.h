#pragma once
// Runs the real `malha` program for end-to-end tests: in a fresh temporary
// directory, with the given standard input, capturing standard output,
// standard error and the exit status.

#include <filesystem>
#include <map>
#include <string>

namespace malha::testing {

struct RunResult {
  int exit_status = -1;    // exit code, or 128 + signal
  std::string out;         // standard output bytes
  std::string err;         // standard error bytes
};

// A temporary directory, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct RunOptions {
  // Environment changes for the child: a value sets the variable, an empty
  // optional-like marker "<unset>" removes it.
  std::map<std::string, std::string> environment;
  // Drop root privileges in the child (to user and group 65534) when the
  // tests run as root, so that file permissions apply.
  bool drop_privileges = false;
  // Seconds after which the program is killed (SIGALRM), or 0 for no limit.
  unsigned time_limit = 0;
  // A cgroup folder that the child joins (its cgroup.procs) before it starts
  // the program, or empty.
  std::string cgroup {};
};

inline constexpr const char* kUnset = "<unset>";

// Whether a run with drop_privileges can start the program. User 65534 must
// be able to enter every folder above it, which a tree under /root, run as
// root, does not allow; such runs then start a copy of the program in a
// folder of its own under the temporary folder. True when the tests do not
// run as root.
bool dropped_privileges_reach_malha();

// Runs `malha` in `dir` with `input` on standard input (a pipe, so the
// program sees redirected streams).
RunResult run_malha(const std::filesystem::path& dir, const std::string& input,
                    const RunOptions& options = {});

// Reads a whole file as bytes.
std::string read_file(const std::filesystem::path& path);
// Writes bytes to a file, replacing it.
void write_file(const std::filesystem::path& path, const std::string& bytes);

}  // namespace malha::testing
