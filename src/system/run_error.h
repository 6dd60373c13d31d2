#pragma once
// Run-time error reports: the one way a run fails.
//
// Every failure ends the process through these functions. The report goes to
// standard error as a line end, "run-time error " with a letter and four
// digits, the operation (": READ(CON)", ": ALLOCATE", ": MATH",
// ": OPEN(name)", ": READ(name)", ": WRITE(name)", ": LEVEL"), a line end, "- " with a
// one-line description, and a final line end; an open console line gets its
// line end first, and the process exits with status 1. Callers never test a
// status: these functions do not return.

#include <cstdint>
#include <string_view>

namespace malha {

enum class RunError {
  read_end_of_input,   // the input ended (or a Ctrl-Z line came) before a value
  read_bad_integer,    // not an accepted integer form
  read_bad_real,       // not an accepted real form
  read_integer_range,  // outside the 32-bit signed range
  read_real_range,     // beyond the largest double
  read_bad_repeat,     // a repeat count outside 1 to 2147483647 (0*)
  read_failed,         // standard input reported an error
  allocate,            // memory for the mesh cannot be obtained
  math_invalid,        // floating-point invalid operation
  math_divide_by_zero, // floating-point division by zero
  math_overflow,       // floating-point overflow
  open,                // an output file cannot be created or opened
  write,               // an output file cannot be written
  write_record_length, // a record longer than the output files allow
  open_input,          // a file to read back cannot be opened
  read_input,          // a file to read back cannot be read
  replace,             // a finished file cannot be given its name
};

// READ, ALLOCATE and MATH failures. Safe to call from a signal handler.
[[noreturn]] void fail(RunError error);

// OPEN and WRITE failures of the output file `file_name`; `os_error` is the
// operating system's error code, named in the description (0 when the
// failure is the program's own, such as an over-long record).
[[noreturn]] void fail_file(RunError error, std::string_view file_name, int os_error);

// A record of the file `file_name`, read back, that does not hold what the
// program writes there: the description is "line N: " and `what`.
[[noreturn]] void fail_record(std::string_view file_name, std::int64_t line,
                              std::string_view what);

// Work that every failure does before the report and the exit, at most
// once: the output files cut themselves back to this run's records. It must
// not fail and must be safe in a signal handler; nullptr removes it.
using FailureCleanup = void (*)();
void set_failure_cleanup(FailureCleanup cleanup);

// A mesh level outside the accepted range, refused before sizing.
[[noreturn]] void fail_level(std::int32_t level);

#ifdef MALHA_FUZZ
// Fuzz builds only: a hook that receives each report's code and operation
// (for example "R1001" and "READ(CON)") in place of the report and the end
// of the process, so that a fuzz target can go on to its next input. The
// hook must not return: it throws. Release and test builds have no hook.
using FailureHook = void (*)(std::string_view code, std::string_view operation);
void set_failure_hook(FailureHook hook);
#endif

// The accepted mesh levels: below 1 no mesh is defined, above 30 the 32-bit
// counts overflow.
inline constexpr std::int32_t kMinLevel = 1;
inline constexpr std::int32_t kMaxLevel = 30;

}  // namespace malha
