#pragma once
// Folder system/: what a run needs from the machine (console, clock, files,
// processes, floating-point traps) and the one way a run fails; it includes
// no other folder of the program.
//
// The operating-system services the program needs, behind one small
// interface. Each platform has its own implementation file
// (platform_posix.cpp, platform_windows.cpp); nothing else in the program
// depends on the platform.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace malha::platform {

// Standard streams, numbered as usual: 0 input, 1 output, 2 error.
inline constexpr int kStdin = 0;
inline constexpr int kStdout = 1;
inline constexpr int kStderr = 2;

// Called once at the start of a run: a write beyond the file size limit, or
// to a pipe whose reader has gone, must fail with an error instead of ending
// the process through a signal.
void prepare_process();

// Calls `handler` when the process is interrupted from outside (POSIX:
// SIGINT, SIGTERM, SIGHUP; Windows: the console's control events), then
// lets the interrupt end the process as it would have without a handler.
// `handler` must be safe in a signal handler; nullptr restores the default.
// On Windows the handler runs on a thread of its own: it first waits (up to
// two seconds) for an output file write or replacement in progress to end,
// and no output file write starts after it.
using InterruptHandler = void (*)();
void set_interrupt_handler(InterruptHandler handler);

// True when the standard stream is a character device (a terminal, or a
// device such as the null device).
bool is_char_device(int stream);

// Writes all bytes to a standard stream, retrying short writes; errors are
// ignored (the console has no failure of its own). Safe in a signal handler.
void write_console(int stream, const char* data, std::size_t size);

// Reads up to `size` bytes from a standard stream: the count read, 0 at the
// end of the input, -1 on a read error.
long read_console(int stream, char* buffer, std::size_t size);

// Current system time in universal time, as 100-nanosecond ticks since
// 1601-01-01.
std::int64_t system_time_ticks();

// Floating-point faults that end a run.
enum class FpFault { invalid, divide_by_zero, overflow };
using FpFaultHandler = void (*)(FpFault fault);

// Unmasks the hardware traps for invalid operation, division by zero and
// overflow; the first such operation calls `handler` (which must not return)
// from a signal context. Underflow and inexact results stay untrapped.
// Returns false, and changes nothing, where the platform (or a build with
// MALHA_FP_TRAPS=OFF) has no trap control. For the program's driver only.
bool enable_fp_traps(FpFaultHandler handler);
// Puts back the floating-point environment and the fault handler that
// enable_fp_traps found; nothing when the traps were not enabled.
void disable_fp_traps();

// Physical memory plus swap, in bytes: more than this cannot be obtained for
// the mesh without the system killing the process later.
std::uint64_t obtainable_memory_bytes();
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
// reading too where the user may read it (read_file_at).
FileHandle open_for_writing(const char* name, int& os_error);
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
Replacement replace_with_empty_file(const char* name, FileHandle& file,
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
// Writes all bytes, retrying short writes.
bool write_file(FileHandle file, const char* data, std::size_t size, int& os_error);
bool close_file(FileHandle file, int& os_error);

// Input files, read back by the companion commands: opens an existing file
// for reading from its start.
FileHandle open_for_reading(const char* name, int& os_error);
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

// A one-line text for an operating-system error code.
std::string describe_os_error(int os_error);

// The value of an environment variable; empty when unset.
std::string environment_value(const char* name);

// Starts `program` (searched for on the executable path unless it names a
// path) with the arguments `args` (not including the program name),
// inheriting the standard streams, the environment and the working
// directory; waits for it without a time limit and returns its exit code,
// or -1 when it could not be started.
int run_process(const std::string& program, const std::vector<std::string>& args);

}  // namespace malha::platform
