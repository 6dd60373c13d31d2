#pragma once
// Folder system/: what the library needs from the machine (files and
// memory) and the one way a library call fails; it includes no other
// folder of the program.
//
// The operating-system services the library needs, behind one small
// interface. Each platform has its own implementation file
// (platform_posix.cpp, platform_windows.cpp); nothing else in the library
// depends on the platform. Nothing here installs a handler, writes to the
// console or keeps state of its own: what a process has one of is the
// program's (process/process.h). replace_with_empty_file (before it
// changes anything) and describe_os_error may throw std::bad_alloc; the
// other functions throw nothing and report failures through their results.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace malha::platform {

// The bytes this process can still obtain without the system killing it
// later: the smallest of the memory the system has available (Linux
// MemAvailable), what the memory limits of the process's cgroups leave
// (its own and every one above it, v2 and v1), and what RLIMIT_AS leaves
// beyond the address space in use; Windows: the commit limit (physical
// memory plus the paging files).
std::uint64_t obtainable_memory_bytes();
// The processors this process may run on (its affinity), at least 1; 0
// where the system does not say.
unsigned usable_processors();
// Asks the system to supply, in one call, the pages of the `size` bytes
// from `start` that a step is about to fill, instead of one page fault at a
// time. Advice only: it may be refused, and contents are unspecified after
// it, as before.
void supply_pages(void* start, std::size_t size);

// Output files. A handle is an open file descriptor (POSIX) or file handle
// (Windows), or -1. Each call reports an operating-system error code through
// `os_error` when it fails.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Creates the file or opens the existing one for writing at its start,
// without discarding its content; an existing regular file is opened for
// reading too where the user may read it (read_file_at). It never waits:
// a pipe that nobody reads, a socket or a folder is refused at once; a
// device (such as the null device) and a pipe that a reader holds open are
// opened and written as they are.
FileHandle open_for_writing(const char* name, int& os_error);
// Creates `name` as a new empty file for writing, only where no file, link
// or folder has that name (never through a link), with the permission bits
// that new files get.
FileHandle create_new_file(const char* name, int& os_error);
// True when `os_error` says that the name of a file to create is taken.
bool is_name_taken(int os_error);
// Cuts an open regular file to its first `length` bytes when it is longer,
// and gives back space set aside beyond them; shorter files and other kinds
// of file (devices, pipes) are left as they are. Safe in a signal handler
// (POSIX).
bool cut_file(FileHandle file, std::uint64_t length, int& os_error);
// A hint that the file will hold `size` bytes: the system may set the space
// aside at once (fewer allocations while writing) without changing the
// file's length or content. Failures are ignored.
void reserve_file_space(FileHandle file, std::uint64_t size);
// What replace_with_empty_file did with an open output file.
enum class Replacement {
  replaced,      // the handle now writes a new empty file under the old name
  kept,          // not a regular file (a device, a pipe): written as it is
  not_possible,  // no new file could be made beside it: the handle is unchanged
};
// Puts a new empty file in the place of the regular file open as `file`
// under `name`, in one step, and hands the new file back through `file`
// (the old handle is closed). A symbolic link is followed: the file it
// names is replaced, in that file's folder, and the link stays. The new file
// gets the old one's permission bits (and owner, where the system allows).
// Until the step the name holds the old content whole; after it, only what
// is written through the new handle. Whatever fails before the step leaves
// no new file behind.
// With `old_file`, the old handle is handed back through it instead of being
// closed (kNoFile when the old file was empty or nothing was replaced).
// `hidden_part` (letters and digits nobody can know beforehand) goes into the
// new file's name beside the old one where the platform cannot make such a
// name itself (Windows).
Replacement replace_with_empty_file(const char* name, FileHandle& file,
                                    const std::string& hidden_part,
                                    FileHandle* old_file = nullptr);
// Reads up to `size` bytes at `offset` of an open output file without moving
// its position: the count read (short only at the end of the file), or -1
// where the file cannot be read (opened for writing only, or a platform that
// does not read output files back).
long read_file_at(FileHandle file, std::uint64_t offset, char* buffer, std::size_t size);
// Copies the first `length` bytes of `from` to `to` at its position, which
// then lies after them.
bool copy_file_start(FileHandle from, FileHandle to, std::uint64_t length, int& os_error);
// Moves the position of an open file to `offset`.
bool set_file_position(FileHandle file, std::uint64_t offset, int& os_error);
// Gives an open file the current time as its modification time.
void mark_modified(FileHandle file);
// Keeps an output file's writes apart from an interrupt handler that cuts
// the file: a record that the file's writer owns (one per file, no state
// shared between files). Each write, replacement and close passes through
// the gate, and the handler closes it before the cut: close_write_gate waits
// (up to two seconds, for a write that hangs) for a write in progress on
// another thread to end, and a writer that comes to the closed gate waits
// there until the process ends, so no byte is written after the cut. Where
// interrupts arrive as signals (POSIX), a thread that takes them passes
// the gate freely: the handler runs on it while the write it interrupted
// waits, and the interrupt then ends the process; the writing thread of an output run takes none
// (start_without_signals), so there the handler waits for its write. Where
// the handler runs on a thread of its own (Windows), every writer counts.
// None of the three throws.
struct WriteGate {
  std::atomic<int> writers {0};
  std::atomic<bool> is_closed {false};
};
void enter_write_gate(WriteGate& gate) noexcept;
void leave_write_gate(WriteGate& gate) noexcept;
// For an interrupt handler, before it cuts the file. Safe in a signal
// handler.
void close_write_gate(WriteGate& gate) noexcept;

// Calls `start(context)` with every asynchronous signal blocked in the
// calling thread, then puts the caller's signal mask back: a thread that
// `start` creates inherits the mask, so from its first instruction it takes
// none of the process's interrupts, which reach the caller's threads. On a
// platform without signals (Windows) it only calls `start`. Whatever
// `start` throws passes through, the mask put back.
void start_without_signals(void (*start)(void*), void* context);

// Writes all bytes, retrying short writes.
bool write_file(FileHandle file, const char* data, std::size_t size, int& os_error);
bool close_file(FileHandle file, int& os_error);

// Input files, read back by the companion command: opens an existing regular
// file for reading from its start. Anything else (a folder, a pipe, a
// socket, a device) is refused at once with kNotARegularFile, without
// waiting for a pipe's other end.
FileHandle open_for_reading(const char* name, int& os_error);
// The error code, of the library's own, of a name that is not a regular
// file where one must be; describe_os_error gives its text.
inline constexpr int kNotARegularFile = -1;
// Reads up to `size` bytes at the current position: the count read, 0 at the
// end of the file, -1 on an error.
long read_file(FileHandle file, char* buffer, std::size_t size, int& os_error);
// The size in bytes of an open file.
bool file_size(FileHandle file, std::uint64_t& size, int& os_error);

// Gives the closed file `from` the name `to` in one step, replacing a file
// of that name; both lie in the same folder.
bool rename_file(const char* from, const char* to, int& os_error);
// Removes the closed file `name`.
bool remove_file(const char* name, int& os_error);

// A writer's hold on a new file (create_new_file) from its creation until it
// is renamed or removed: remove_unheld_file leaves a held file alone, so a
// cleanup of leftover files never takes a file that another writer, thread
// or process, is still writing. An advisory lock (POSIX flock, Windows
// LockFileEx on a byte past any end of file): no read or write is blocked.
// Takes the hold on `file`, just created as `name`, without waiting, and
// gives back a second handle that keeps it after `file` is closed; kNoFile
// when a cleanup took the file first (it holds it, or the name no longer
// leads to it): the caller closes `file` and makes another. Where the file
// system has no locks, the handle comes back without a hold.
FileHandle hold_new_file(const char* name, FileHandle file);
// Gives the held file `from` the name `to`, as rename_file, then ends the
// hold (`hold` is closed in every case).
bool rename_held_file(FileHandle hold, const char* from, const char* to, int& os_error);
// Removes the held file `name` and ends the hold.
void remove_held_file(FileHandle hold, const char* name);
// Removes the file `name` unless a writer holds it (false, and the file
// stays); a name that is gone already counts as removed.
bool remove_unheld_file(const char* name, int& os_error);

// A one-line text for an operating-system error code.
std::string describe_os_error(int os_error);

}  // namespace malha::platform
