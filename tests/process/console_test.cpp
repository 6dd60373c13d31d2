// The dialogue as a user sees it in a terminal: the real program runs on a
// pseudo-terminal that is both its standard input and standard output, and
// the answers are typed only once their prompt stands on a line of its own.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/run_malha.h"

namespace malha {
namespace {

using testing::TempDir;

// The lines a terminal shows for `bytes`: a carriage return moves to the
// start of the line, a line feed down one line, other bytes are drawn.
std::vector<std::string> screen_lines(const std::string& bytes) {
  std::vector<std::string> lines(1);
  std::size_t column = 0;
  for (char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
    } else {
      std::string& line = lines.back();
      if (line.size() <= column) line.resize(column + 1, ' ');
      line[column++] = c;
    }
  }
  return lines;
}

// The program on a pseudo-terminal, with everything it writes collected.
class TerminalRun {
 public:
  explicit TerminalRun(const std::filesystem::path& dir) {
    int replica = -1;
    if (openpty(&terminal_, &replica, nullptr, nullptr, nullptr) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      ioctl(replica, TIOCSCTTY, 0);
      dup2(replica, 0);
      dup2(replica, 1);
      dup2(replica, 2);
      close(replica);
      close(terminal_);
      if (chdir(dir.c_str()) != 0) _exit(125);
      execl(MALHA_EXE, "malha", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(replica);
  }

  ~TerminalRun() {
    if (pid_ > 0 && !has_exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) close(terminal_);
  }

  bool started() const { return pid_ > 0; }
  const std::string& screen_bytes() const { return bytes_; }

  // Collects output until a line feed follows `text` (false on timeout or
  // when the program's side closes first).
  bool wait_for_line_after(const std::string& text) {
    for (;;) {
      const std::size_t at = bytes_.find(text, searched_from_);
      if (at != std::string::npos) {
        const std::size_t line_feed = bytes_.find('\n', at + text.size());
        if (line_feed != std::string::npos) {
          searched_from_ = line_feed + 1;
          return true;
        }
      }
      if (!collect()) return false;
    }
  }

  void type(const std::string& keys) {
    if (write(terminal_, keys.data(), keys.size()) < 0) ADD_FAILURE() << "typing failed";
  }

  // Collects the rest of the output and returns the exit status.
  int finish() {
    while (collect()) {
    }
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return -1;
    has_exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  // One read with a time limit; false at the end or on timeout.
  bool collect() {
    pollfd fd{terminal_, POLLIN, 0};
    if (poll(&fd, 1, 10'000) <= 0) return false;
    char buffer[4096];
    const ssize_t n = read(terminal_, buffer, sizeof(buffer));
    if (n <= 0) return false;  // EIO once the program has gone
    bytes_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int terminal_ = -1;
  pid_t pid_ = -1;
  bool has_exited_ = false;
  std::string bytes_;
  std::size_t searched_from_ = 0;
};

TEST(Console, InATerminalEveryPromptStandsOnItsOwnLine) {
  TempDir dir;
  TerminalRun run(dir.path());
  ASSERT_TRUE(run.started());
  const std::pair<const char*, const char*> dialogue[] = {
      {" Informe o nivel da malha ", "3\n"},
      {" Informe a dimensao x ", "1\n"},
      {" Informe a dimensao y ", "1\n"},
      {" Mostrar graficos? 0: nao; 1: sim ", "0\n"},
  };
  for (const auto& [prompt, answer] : dialogue) {
    ASSERT_TRUE(run.wait_for_line_after(prompt))
        << "no line end after the prompt before the read; screen so far:\n"
        << run.screen_bytes();
    run.type(answer);
  }
  EXPECT_EQ(run.finish(), 0);

  const std::vector<std::string> expected = {
      " Informe o nivel da malha ",
      "3",
      " Informe a dimensao x ",
      "1",
      " Informe a dimensao y ",
      "1",
      " Mostrar graficos? 0: nao; 1: sim ",
      "0",
      "",  // the cursor's line after the last answer
  };
  EXPECT_EQ(screen_lines(run.screen_bytes()), expected);
}

}  // namespace
}  // namespace malha
