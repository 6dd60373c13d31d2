// POSIX implementation of the library's platform layer: Linux, and other
// POSIX systems where each Linux-only call (marked __linux__ or by the
// feature it tests) falls back to a portable way.

#include "system/platform.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include <fcntl.h>
#include <sched.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/sysinfo.h>
#endif

namespace malha::platform {

namespace {

// The first number in the file at `path`; nothing where it cannot be read or
// holds no number (a cgroup's "max").
std::optional<std::uint64_t> number_in_file(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "re");
  if (file == nullptr) return std::nullopt;
  unsigned long long value = 0;
  const bool is_read = std::fscanf(file, "%llu", &value) == 1;
  std::fclose(file);
  if (!is_read) return std::nullopt;
  return value;
}

// The bytes of the line "`key`: N kB" of a /proc file; nothing where it has
// none.
std::optional<std::uint64_t> kilobytes_line(const char* path, std::string_view key) {
  FILE* file = std::fopen(path, "re");
  if (file == nullptr) return std::nullopt;
  std::optional<std::uint64_t> bytes;
  char line[256];
  while (std::fgets(line, sizeof(line), file) != nullptr) {
    const std::string_view text(line);
    if (text.size() > key.size() && text.starts_with(key) && text[key.size()] == ':') {
      bytes = std::strtoull(line + key.size() + 1, nullptr, 10) * 1024u;
      break;
    }
  }
  std::fclose(file);
  return bytes;
}

// What the memory cgroups of this process (/proc/self/cgroup), its own and
// every one above it, leave of their limits: cgroup v2 memory.max less
// memory.current, v1 memory.limit_in_bytes less memory.usage_in_bytes.
std::uint64_t cgroup_room() {
  std::uint64_t room = UINT64_MAX;
  FILE* file = std::fopen("/proc/self/cgroup", "re");
  if (file == nullptr) return room;
  char line[4096];
  while (std::fgets(line, sizeof(line), file) != nullptr) {
    // "ID:CONTROLLERS:PATH"; v2 has no controllers.
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    std::string controllers(1, ',');
    controllers.append(text, first + 1, second - first - 1).push_back(',');
    const char* limit = "memory.max";
    const char* usage = "memory.current";
    std::string base = "/sys/fs/cgroup";
    if (controllers.find(",memory,") != std::string::npos) {
      limit = "memory.limit_in_bytes";
      usage = "memory.usage_in_bytes";
      base += "/memory";
    } else if (controllers != ",,") {
      continue;
    }
    for (std::string group = text.substr(second + 1);;) {
      if (const auto most = number_in_file(base + group + "/" + limit)) {
        const std::uint64_t used = number_in_file(base + group + "/" + usage).value_or(0);
        room = std::min(room, *most > used ? *most - used : 0);
      }
      const std::size_t slash = group.rfind('/');
      if (slash == std::string::npos || group == "/") break;
      group.erase(slash == 0 ? 1 : slash);
    }
  }
  std::fclose(file);
  return room;
}

}  // namespace

std::uint64_t obtainable_memory_bytes() {
  std::uint64_t room = UINT64_MAX;
#if defined(__linux__)
  if (const auto available = kilobytes_line("/proc/meminfo", "MemAvailable")) {
    room = *available;
  } else if (struct sysinfo info {}; sysinfo(&info) == 0) {
    room = (static_cast<std::uint64_t>(info.freeram) + info.bufferram) * info.mem_unit;
  }
  room = std::min(room, cgroup_room());
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages > 0 && page_size > 0) {
    room = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
  }
#endif
  // The address space the process may still add to its own.
  struct rlimit space {};
  if (getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY) {
    const std::uint64_t in_use = kilobytes_line("/proc/self/status", "VmSize").value_or(0);
    const auto most = static_cast<std::uint64_t>(space.rlim_cur);
    room = std::min(room, most > in_use ? most - in_use : 0);
  }
  return room;
}

unsigned usable_processors() {
#if defined(__linux__)
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0) {
    const int count = CPU_COUNT(&allowed);
    if (count > 0) return static_cast<unsigned>(count);
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 0;
}

void supply_pages(void* start, std::size_t size) {
#if defined(MADV_POPULATE_WRITE)
  // Only whole pages can be named. A refusal (an older kernel, or memory
  // short) is ignored: the pages then come one fault at a time as before.
  const long page_size = sysconf(_SC_PAGESIZE);
  if (page_size <= 0) return;
  const auto page = static_cast<std::uintptr_t>(page_size);
  const auto first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t begin = (first + page - 1) & ~(page - 1);
  const std::uintptr_t end = (first + size) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)start;
  (void)size;
#endif
}

namespace {

// Opens `name` without waiting (a pipe's open would wait for its other end),
// then makes the descriptor's reads and writes wait as usual again.
int open_without_waiting(const char* name, int flags, mode_t mode, int& os_error) {
  const int fd = ::open(name, flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) {
    os_error = errno;
    return -1;
  }
  const int status = fcntl(fd, F_GETFL);
  if (status == -1 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) {
    os_error = errno;
    ::close(fd);
    return -1;
  }
  return fd;
}

bool is_regular(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

FileHandle open_for_writing(const char* name, int& os_error) {
  // Devices and pipes are opened for writing only, as ever: a pipe opened
  // for reading too would not wait for its reader. A pipe without a reader
  // and a socket refuse the open (ENXIO), a folder too (EISDIR).
  struct stat info {};
  if (::stat(name, &info) == 0 && S_ISREG(info.st_mode)) {
    int ignored = 0;
    const int fd = open_without_waiting(name, O_RDWR, 0, ignored);
    if (fd >= 0 && is_regular(fd)) return fd;
    if (fd >= 0) ::close(fd);
  }
  return open_without_waiting(name, O_WRONLY | O_CREAT, 0666, os_error);
}

FileHandle create_new_file(const char* name, int& os_error) {
  const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) os_error = errno;
  return fd;
}

bool is_name_taken(int os_error) { return os_error == EEXIST; }

bool cut_file(FileHandle file, std::uint64_t length, int& os_error) {
  struct stat info {};
  const int fd = static_cast<int>(file);
  if (fstat(fd, &info) != 0) {
    os_error = errno;
    return false;
  }
  if (!S_ISREG(info.st_mode)) return true;
  // Space beyond the last block of `length` was set aside by
  // reserve_file_space and not used; cutting at the same length frees it.
  const auto block = static_cast<std::uint64_t>(info.st_blksize > 0 ? info.st_blksize : 4096);
  const bool has_space_beyond =
      static_cast<std::uint64_t>(info.st_blocks) * 512 > (length + block - 1) / block * block;
  if (static_cast<std::uint64_t>(info.st_size) <= length && !has_space_beyond) return true;
  if (ftruncate(fd, static_cast<off_t>(length)) != 0) {
    os_error = errno;
    return false;
  }
  return true;
}

void reserve_file_space(FileHandle file, std::uint64_t size) {
#if defined(__linux__)
  if (size > 0) {
    fallocate(static_cast<int>(file), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
  }
#else
  (void)file;
  (void)size;
#endif
}

// The system makes the hidden name itself (mkostemp): `hidden_part` is not
// needed.
Replacement replace_with_empty_file(const char* name, FileHandle& file,
                                    const std::string& /*hidden_part*/, FileHandle* old_file) {
  if (old_file != nullptr) *old_file = kNoFile;
  const int fd = static_cast<int>(file);
  struct stat info {};
  if (fstat(fd, &info) != 0) return Replacement::not_possible;
  if (!S_ISREG(info.st_mode)) return Replacement::kept;
  // An empty file has no old content to keep apart from this run's bytes.
  if (info.st_size == 0) return Replacement::replaced;
  // The file that the name leads to through any symbolic links; it must
  // still be the file that is open.
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(name, nullptr), std::free);
  if (resolved == nullptr) return Replacement::not_possible;
  const std::string target(resolved.get());
  struct stat named {};
  if (stat(target.c_str(), &named) != 0 || named.st_dev != info.st_dev ||
      named.st_ino != info.st_ino) {
    return Replacement::not_possible;
  }
  // A hidden name beside the file. The new file is empty when it takes the
  // old one's name, so the rename has no written data to push to disk.
  const std::size_t slash = target.rfind('/');
  std::string temporary =
      target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".XXXXXX";
  // An interrupt between the creation and the rename would leave the new
  // file under its hidden name: interrupts (SIGINT, SIGTERM, SIGHUP) wait
  // until the rename is done.
  sigset_t interrupts;
  sigset_t previous;
  sigemptyset(&interrupts);
  sigaddset(&interrupts, SIGINT);
  sigaddset(&interrupts, SIGTERM);
  sigaddset(&interrupts, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  const int new_fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (new_fd < 0) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return Replacement::not_possible;
  }
  // Only the superuser may give a file away; elsewhere the owner is the
  // user's own. A change of owner clears the set-user-ID bits, so the
  // permission bits come after it.
  if ((named.st_uid != geteuid() || named.st_gid != getegid()) &&
      fchown(new_fd, named.st_uid, named.st_gid) != 0) {
    // The new file keeps the user's own owner and group.
  }
  if (fchmod(new_fd, info.st_mode & 07777) != 0 ||
      std::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    ::close(new_fd);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return Replacement::not_possible;
  }
  if (old_file != nullptr) {
    *old_file = fd;
  } else {
    ::close(fd);
  }
  file = new_fd;
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return Replacement::replaced;
}

long read_file_at(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t count = ::pread(static_cast<int>(file), buffer + got, size - got,
                                  static_cast<off_t>(offset + got));
    if (count < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (count == 0) break;
    got += static_cast<std::size_t>(count);
  }
  return static_cast<long>(got);
}

bool copy_file_start(FileHandle from, FileHandle to, std::uint64_t length, int& os_error) {
  const int in = static_cast<int>(from);
  const int out = static_cast<int>(to);
  off_t offset = 0;
  while (length > 0) {
#if defined(__linux__)
    const ssize_t copied = copy_file_range(in, &offset, out, nullptr, length, 0);
    if (copied > 0) {
      length -= static_cast<std::uint64_t>(copied);
      continue;
    }
    if (copied < 0 && errno == EINTR) continue;
    if (copied == 0 || (errno != EXDEV && errno != ENOSYS && errno != EINVAL &&
                        errno != EOPNOTSUPP)) {
      os_error = copied == 0 ? EIO : errno;
      return false;
    }
#else
    (void)in;
    (void)out;
#endif
    // No copy in the kernel between these files: through a buffer.
    char block[64 * 1024];
    while (length > 0) {
      const std::size_t want = length < sizeof(block) ? static_cast<std::size_t>(length) : sizeof(block);
      const long got = read_file_at(from, static_cast<std::uint64_t>(offset), block, want);
      if (got <= 0) {
        os_error = got < 0 ? errno : EIO;
        return false;
      }
      if (!write_file(to, block, static_cast<std::size_t>(got), os_error)) return false;
      offset += got;
      length -= static_cast<std::uint64_t>(got);
    }
  }
  return true;
}

bool set_file_position(FileHandle file, std::uint64_t offset, int& os_error) {
  if (::lseek(static_cast<int>(file), static_cast<off_t>(offset), SEEK_SET) < 0) {
    os_error = errno;
    return false;
  }
  return true;
}

void mark_modified(FileHandle file) { futimens(static_cast<int>(file), nullptr); }

namespace {

// The longest close_write_gate waits for a write in progress: a write that
// hangs (a pipe that nobody reads) must not keep an interrupt from ending
// the process.
constexpr int kGateWaitMs = 2000;

// True when an interrupt can be delivered to the calling thread: the handler
// may then run on it, while its own write waits, so it does not count as a
// writer. The writing thread of an output run has them blocked.
bool takes_interrupts() noexcept {
  sigset_t current;
  sigemptyset(&current);
  pthread_sigmask(SIG_BLOCK, nullptr, &current);
  return sigismember(&current, SIGINT) == 0;
}

void sleep_ms(long ms) noexcept {
  timespec pause_for {ms / 1000, (ms % 1000) * 1'000'000};
  nanosleep(&pause_for, nullptr);
}

// The file has been cut for an interrupt, which is ending the process:
// nothing more may be written.
[[noreturn]] void wait_for_the_end() noexcept {
  for (;;) sleep_ms(1000);
}

}  // namespace

void enter_write_gate(WriteGate& gate) noexcept {
  if (takes_interrupts()) return;
  gate.writers.fetch_add(1);
  if (!gate.is_closed.load()) return;
  gate.writers.fetch_sub(1);
  wait_for_the_end();
}

void leave_write_gate(WriteGate& gate) noexcept {
  if (!takes_interrupts()) gate.writers.fetch_sub(1);
}

void close_write_gate(WriteGate& gate) noexcept {
  gate.is_closed.store(true);
  for (int waited = 0; waited < kGateWaitMs && gate.writers.load() > 0; ++waited) sleep_ms(1);
}

void start_without_signals(void (*start)(void*), void* context) {
  // Faults that the thread's own instructions raise cannot be held back.
  sigset_t held;
  sigfillset(&held);
  for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT}) {
    sigdelset(&held, fault);
  }
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &held, &previous);
  try {
    start(context);
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

bool write_file(FileHandle file, const char* data, std::size_t size, int& os_error) {
  const int fd = static_cast<int>(file);
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      os_error = errno;
      return false;
    }
    if (written == 0) {
      os_error = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool close_file(FileHandle file, int& os_error) {
  if (::close(static_cast<int>(file)) != 0 && errno != EINTR) {
    os_error = errno;
    return false;
  }
  return true;
}

FileHandle open_for_reading(const char* name, int& os_error) {
  const int fd = open_without_waiting(name, O_RDONLY, 0, os_error);
  if (fd < 0 || is_regular(fd)) return fd;
  ::close(fd);
  os_error = kNotARegularFile;
  return kNoFile;
}

long read_file(FileHandle file, char* buffer, std::size_t size, int& os_error) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(file), buffer, size);
    if (got >= 0) return static_cast<long>(got);
    if (errno != EINTR) {
      os_error = errno;
      return -1;
    }
  }
}

bool file_size(FileHandle file, std::uint64_t& size, int& os_error) {
  struct stat info {};
  if (fstat(static_cast<int>(file), &info) != 0) {
    os_error = errno;
    return false;
  }
  size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return true;
}

bool rename_file(const char* from, const char* to, int& os_error) {
  if (std::rename(from, to) != 0) {
    os_error = errno;
    return false;
  }
  return true;
}

bool remove_file(const char* name, int& os_error) {
  if (::unlink(name) != 0) {
    os_error = errno;
    return false;
  }
  return true;
}

namespace {

// True when `name` (not followed through a link) is the open file `fd`.
bool names_file(const char* name, int fd) {
  struct stat open_file {};
  struct stat named {};
  return fstat(fd, &open_file) == 0 && lstat(name, &named) == 0 &&
         open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

// The hold: an exclusive flock, taken without waiting, on the open file
// description that the writer's handles share.
bool take_hold(int fd) {
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    // Held by another; any other error is a file system without locks.
    return errno != EWOULDBLOCK;
  }
  return true;
}

}  // namespace

FileHandle hold_new_file(const char* name, FileHandle file) {
  const int fd = static_cast<int>(file);
  if (!take_hold(fd) || !names_file(name, fd)) return kNoFile;
  const int hold = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  return hold >= 0 ? hold : kNoFile;
}

bool rename_held_file(FileHandle hold, const char* from, const char* to, int& os_error) {
  const bool is_renamed = rename_file(from, to, os_error);
  ::close(static_cast<int>(hold));
  return is_renamed;
}

void remove_held_file(FileHandle hold, const char* name) {
  ::unlink(name);
  ::close(static_cast<int>(hold));
}

bool remove_unheld_file(const char* name, int& os_error) {
  const int fd = ::open(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return true;
    // A link or a file that cannot be read: no writer of ours holds it.
    return remove_file(name, os_error);
  }
  bool is_removed = false;
  if (!take_hold(fd)) {
    os_error = EWOULDBLOCK;
  } else {
    // The name may have gone to a finished file meanwhile; only the file
    // held here is removed.
    is_removed = !names_file(name, fd) || remove_file(name, os_error);
  }
  ::close(fd);
  return is_removed;
}

std::string describe_os_error(int os_error) {
  if (os_error == kNotARegularFile) return "not a regular file";
  return std::strerror(os_error);
}

}  // namespace malha::platform
