#include "support/run_malha.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace malha::testing {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "malha-test-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

namespace {

// Whether user 65534 can start `program`, asked of a child that becomes that user.
bool nobody_can_start(const std::string& program) {
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
    _exit(access(program.c_str(), X_OK) == 0 ? 0 : 1);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) throw std::runtime_error("waitpid failed");
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A copy of the program in a folder of its own that everyone may enter,
// removed with its folder when the test process ends.
class ReachableCopy {
 public:
  ReachableCopy() {
    fs::permissions(folder_.path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
    fs::copy_file(MALHA_EXE, program());
  }
  std::string program() const { return (folder_ / "malha").string(); }

 private:
  TempDir folder_;
};

// The program a run without root's privileges starts: MALHA_EXE, or where
// user 65534 cannot reach it (a build under /root) a copy that it can; ""
// when neither can be started.
const std::string& program_for_nobody() {
  static const std::string program = [] {
    if (geteuid() != 0 || nobody_can_start(MALHA_EXE)) return std::string(MALHA_EXE);
    static const ReachableCopy copy;
    return nobody_can_start(copy.program()) ? copy.program() : std::string();
  }();
  return program;
}

}  // namespace

bool dropped_privileges_reach_malha() { return !program_for_nobody().empty(); }

RunResult run_malha(const fs::path& dir, const std::string& input, const RunOptions& options) {
  std::signal(SIGPIPE, SIG_IGN);  // the program may exit before reading all input
  const std::string program = options.drop_privileges ? program_for_nobody() : MALHA_EXE;
  int in_pipe[2];
  int out_pipe[2];
  int err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    if (chdir(dir.c_str()) != 0) _exit(125);
    for (const auto& [name, value] : options.environment) {
      if (value == kUnset) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    if (options.drop_privileges && geteuid() == 0) {
      if (setgid(65534) != 0 || setuid(65534) != 0) _exit(126);
    }
    if (!options.cgroup.empty()) {
      std::FILE* procs = std::fopen((options.cgroup + "/cgroup.procs").c_str(), "w");
      if (procs == nullptr || std::fprintf(procs, "%d\n", static_cast<int>(getpid())) < 0 ||
          std::fclose(procs) != 0) {
        _exit(124);
      }
    }
    alarm(options.time_limit);  // kept across the exec
    execl(program.c_str(), "malha", static_cast<char*>(nullptr));
    const std::string why = "cannot start " + program + ": " + std::strerror(errno) + "\n";
    [[maybe_unused]] const ssize_t ignored = write(2, why.data(), why.size());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);

  // Feed the input and drain both outputs together, so that no pipe fills.
  RunResult result;
  std::size_t written = 0;
  int in_fd = in_pipe[1];
  if (input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  bool out_open = true;
  bool err_open = true;
  while (out_open || err_open) {
    pollfd fds[3];
    int count = 0;
    if (out_open) fds[count++] = {out_pipe[0], POLLIN, 0};
    if (err_open) fds[count++] = {err_pipe[0], POLLIN, 0};
    if (in_fd >= 0) fds[count++] = {in_fd, POLLOUT, 0};
    if (poll(fds, static_cast<nfds_t>(count), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_fd) {
        const ssize_t n = write(in_fd, input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        if (n < 0 || written == input.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
      const bool is_out = fds[i].fd == out_pipe[0];
      if (n <= 0) {
        (is_out ? out_open : err_open) = false;
      } else {
        (is_out ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  close(out_pipe[0]);
  close(err_pipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exit_status = 128 + WTERMSIG(status);
  return result;
}

}  // namespace malha::testing
