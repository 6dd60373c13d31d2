#pragma once
// Folder process/: what a process has one of (its signals and console
// events, its floating-point traps, its console, the programs it starts)
// and the run's clock, for the program alone; it builds on system/. No folder of the library
// includes it.
//
// The operating-system services of the program's process, behind one small
// interface. Each platform has its own implementation file
// (process_posix.cpp, process_windows.cpp); nothing else in the program
// depends on the platform. environment_value and run_process may throw
// std::bad_alloc; the others throw nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace malha::process {

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
// On Windows the handler runs on a thread of its own while the main thread
// goes on: what it cuts keeps the writes apart itself (the output files'
// write gates, system/platform.h).
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
// overflow; the first such operation calls `handler` from a signal context
// (POSIX) or an exception handler (Windows), and the process then ends with
// exit status 1. Underflow and inexact results stay untrapped. Returns
// false, and changes nothing, where the platform (or a build with
// MALHA_FP_TRAPS=OFF) has no trap control.
bool enable_fp_traps(FpFaultHandler handler);
// Puts back the floating-point environment and the fault handler that
// enable_fp_traps found; nothing when the traps were not enabled.
void disable_fp_traps();

// The value of an environment variable; empty when unset.
std::string environment_value(const char* name);

// Starts `program` (searched for on the executable path unless it names a
// path) with the arguments `args` (not including the program name),
// inheriting the standard streams, the environment and the working
// directory; waits for it without a time limit and returns its exit code,
// or -1 when it could not be started.
int run_process(const std::string& program, const std::vector<std::string>& args);

}  // namespace malha::process
