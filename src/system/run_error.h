#pragma once
// Run-time error reports: the one way a run fails.
//
// Each fail function below throws malha::Error (system/error.h) with the
// report's code, operation (": READ(CON)", ": ALLOCATE", ": MATH",
// ": OPEN(name)", ": READ(name)", ": WRITE(name)", ": LEVEL",
// ": ARGUMENT(function)") and one-line description, and none returns; a
// report that cannot be composed for want of memory throws std::bad_alloc
// instead. The floating-point trap handler, which cannot throw, composes the
// same report without allocating (compose_report_now) and writes it itself.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "system/error.h"

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
  math_underflow,      // a result below the smallest double, where it must not be 0
  open,                // an output file cannot be created or opened
  write,               // an output file cannot be written
  write_record_length, // a record longer than the output files allow
  open_input,          // a file to read back cannot be opened
  read_input,          // a file to read back cannot be read
  replace,             // a finished file cannot be given its name
  open_folder,         // a folder that is to receive files cannot be opened
};

// The report of a READ, ALLOCATE or MATH failure, and the function that
// throws it. error_for may throw std::bad_alloc.
Error error_for(RunError error);
[[noreturn]] void fail(RunError error);

// OPEN and WRITE failures of the output file `file_name`; `os_error` is the
// operating system's error code, named in the description (0 when the
// failure is the program's own, such as an over-long record).
[[noreturn]] void fail_file(RunError error, std::string_view file_name, int os_error);

// A record of the file `file_name`, read back, that does not hold what the
// program writes there: the description is "line N: " and `what`.
[[noreturn]] void fail_record(std::string_view file_name, std::int64_t line,
                              std::string_view what);
// The same report for the file as a whole (its size against the counts it
// should hold): the description is `what` alone.
[[noreturn]] void fail_contents(std::string_view file_name, std::string_view what);

// A library call given arguments it cannot use (a mesh whose counts
// disagree with its tables, a time that is not a finite number of seconds,
// a field of the wrong length): the ARGUMENT report, operation
// "ARGUMENT(function)", description `what`.
[[noreturn]] void fail_argument(std::string_view function, std::string_view what);

// Throws the ALLOCATE report, with the need and the limit as its detail,
// when `bytes` are more than this process can obtain
// (platform::obtainable_memory_bytes) before it allocates them.
void require_obtainable_memory(std::uint64_t bytes);

// Calls `work` and turns memory that cannot be had (std::bad_alloc) into
// the ALLOCATE report; what `work` had begun has unwound by then.
template <typename Work>
auto reporting_allocation(Work work) -> decltype(work()) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    fail(RunError::allocate);
  }
}

// A mesh level outside the accepted range `lowest` to `highest` (the mesh's
// own, mesh/lattice.h: check_level), refused before sizing.
[[noreturn]] void fail_level(std::int32_t level, std::int32_t lowest, std::int32_t highest);

// The bytes of the report of a READ, ALLOCATE or MATH failure (what() of
// error_for(error)) put into `buffer`, at most `size` of them, without
// allocating: the count put. For a signal handler, which cannot throw.
std::size_t compose_report_now(RunError error, char* buffer, std::size_t size) noexcept;

}  // namespace malha
