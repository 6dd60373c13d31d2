// POSIX implementation of the program's process layer. The traps need
// glibc's feenableexcept; elsewhere enable_fp_traps reports false.

#include "process/process.h"

#include <cerrno>
#include <cfenv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace malha::process {
namespace {

// Seconds from 1601-01-01 to 1970-01-01, the two epochs of system time.
constexpr std::int64_t kEpochOffsetSeconds = 11644473600;

FpFaultHandler g_fp_handler = nullptr;
// What enable_fp_traps found, put back by disable_fp_traps.
bool g_has_saved_fp_state = false;
fenv_t g_saved_fp_env {};
struct sigaction g_saved_sigfpe {};
InterruptHandler g_interrupt_handler = nullptr;
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

void on_interrupt(int signal_number) {
  if (g_interrupt_handler != nullptr) g_interrupt_handler();
  // The handler was installed to run once: the signal now takes its default
  // action.
  raise(signal_number);
}

// Not installed where the build has no trap control (MALHA_FP_TRAPS=OFF).
[[maybe_unused]] void on_sigfpe(int, siginfo_t* info, void*) {
  FpFault fault = FpFault::invalid;
  switch (info->si_code) {
    case FPE_FLTDIV:
    case FPE_INTDIV:
      fault = FpFault::divide_by_zero;
      break;
    case FPE_FLTOVF:
    case FPE_INTOVF:
      fault = FpFault::overflow;
      break;
    default:
      fault = FpFault::invalid;
      break;
  }
  if (g_fp_handler != nullptr) g_fp_handler(fault);
  _exit(1);
}

}  // namespace

void prepare_process() {
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
}

void set_interrupt_handler(InterruptHandler handler) {
  g_interrupt_handler = handler;
  for (const int signal_number : kInterruptSignals) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (handler == nullptr) {
      action.sa_handler = SIG_DFL;
    } else {
      action.sa_handler = on_interrupt;
      action.sa_flags = SA_RESETHAND;
      for (const int other : kInterruptSignals) sigaddset(&action.sa_mask, other);
    }
    sigaction(signal_number, &action, nullptr);
  }
}

bool is_char_device(int stream) {
  struct stat info {};
  return fstat(stream, &info) == 0 && S_ISCHR(info.st_mode);
}

void write_console(int stream, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(stream, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

long read_console(int stream, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(stream, buffer, size);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) return -1;
  }
}

std::int64_t system_time_ticks() {
  timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<std::int64_t>(now.tv_sec) + kEpochOffsetSeconds) * 10'000'000 +
         now.tv_nsec / 100;
}

bool enable_fp_traps(FpFaultHandler handler) {
#if defined(__GLIBC__) && !defined(MALHA_NO_FP_TRAPS)
  g_fp_handler = handler;
  fegetenv(&g_saved_fp_env);
  struct sigaction action {};
  action.sa_sigaction = on_sigfpe;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, &g_saved_sigfpe);
  g_has_saved_fp_state = true;
  std::feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  return true;
#else
  // No trap control here: the explicit finiteness check alone finds the
  // faults.
  (void)handler;
  return false;
#endif
}

void disable_fp_traps() {
  if (!g_has_saved_fp_state) return;
  g_has_saved_fp_state = false;
  // The environment and the SIGFPE action as they were before the traps.
  fesetenv(&g_saved_fp_env);
  sigaction(SIGFPE, &g_saved_sigfpe, nullptr);
  g_fp_handler = nullptr;
}

std::string environment_value(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

int run_process(const std::string& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // Whatever the program wrote must reach the console before the child's
  // output.
  std::fflush(nullptr);

  // While the child runs, an interrupt typed at the terminal is the child's
  // to handle (an editor or pager may use it) and must not end the waiting
  // run. The child gets the default actions back, unless the run was
  // started with them ignored. The signals the run ignores for itself (file
  // size, broken pipe) get their default actions in the child too.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction old_int {};
  struct sigaction old_quit {};
  sigaction(SIGINT, &ignore, &old_int);
  sigaction(SIGQUIT, &ignore, &old_quit);
  sigset_t defaults;
  sigemptyset(&defaults);
  if (old_int.sa_handler != SIG_IGN) sigaddset(&defaults, SIGINT);
  if (old_quit.sa_handler != SIG_IGN) sigaddset(&defaults, SIGQUIT);
  sigaddset(&defaults, SIGXFSZ);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

  pid_t pid = 0;
  int status = 0;
  bool has_ended = false;
  if (posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ) == 0) {
    int waited = 0;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    has_ended = waited == pid;
  }
  posix_spawnattr_destroy(&attributes);
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);

  if (!has_ended) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace malha::process
