#include "system/run_error.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "system/console.h"
#include "system/platform.h"

namespace malha {
namespace {

struct ErrorEntry {
  RunError error;
  const char* code;         // letter and four digits
  const char* operation;    // for files, the text before the file name
  const char* description;  // the one-line description
};

// The code table: every report of the program is listed here.
constexpr ErrorEntry kErrors[] = {
    {RunError::read_end_of_input, "R1001", "READ(CON)", "end of input before a value was read"},
    {RunError::read_bad_integer, "R1002", "READ(CON)",
     "invalid integer: expected an optional sign and digits, base#digits or #digits"},
    {RunError::read_bad_real, "R1003", "READ(CON)",
     "invalid real: expected digits with an optional point and exponent"},
    {RunError::read_integer_range, "R1004", "READ(CON)",
     "integer value outside the range -2147483648 to 2147483647"},
    {RunError::read_real_range, "R1005", "READ(CON)", "real value beyond the largest double"},
    {RunError::read_bad_repeat, "R1006", "READ(CON)",
     "repeat count outside the range 1 to 2147483647"},
    {RunError::read_failed, "R1007", "READ(CON)", "standard input could not be read"},
    {RunError::allocate, "A2001", "ALLOCATE", "not enough memory to build the mesh"},
    {RunError::math_invalid, "M3001", "MATH", "floating-point error: invalid"},
    {RunError::math_divide_by_zero, "M3002", "MATH", "floating-point error: divide by zero"},
    {RunError::math_overflow, "M3003", "MATH", "floating-point error: overflow"},
    {RunError::open, "F4001", "OPEN(", "cannot create or open the file: "},
    {RunError::write, "F4002", "WRITE(", "cannot write the file: "},
    {RunError::write_record_length, "F4003", "WRITE(",
     "record longer than 1024 characters"},
    {RunError::open_input, "F4004", "OPEN(", "cannot open the file for reading: "},
    {RunError::read_input, "F4005", "READ(", "cannot read the file: "},
    {RunError::replace, "F4006", "WRITE(", "cannot give the finished file its name: "},
};
constexpr const char* kLevelCode = "S5001";
constexpr const char* kRecordCode = "F4007";

const ErrorEntry& entry_for(RunError error) {
  for (const ErrorEntry& entry : kErrors) {
    if (entry.error == error) return entry;
  }
  return kErrors[0];
}

// Appends to a fixed buffer without allocating, so that the report can be
// written from the floating-point signal handler.
class ReportBuffer {
 public:
  void add(std::string_view text) {
    for (char c : text) {
      if (size_ < sizeof(bytes_)) bytes_[size_++] = c;
    }
  }
  void emit() const { platform::write_console(platform::kStderr, bytes_, size_); }

 private:
  char bytes_[1024] = {};
  std::size_t size_ = 0;
};

constexpr std::string_view kLineEnd = "\r\n";

FailureCleanup g_failure_cleanup = nullptr;
#ifdef MALHA_FUZZ
FailureHook g_failure_hook = nullptr;
#endif

[[noreturn]] void report_and_exit(std::string_view code, std::string_view operation,
                                  std::string_view operation_subject,
                                  std::string_view description,
                                  std::string_view description_detail) {
  if (const FailureCleanup cleanup = std::exchange(g_failure_cleanup, nullptr)) cleanup();
#ifdef MALHA_FUZZ
  if (g_failure_hook != nullptr) g_failure_hook(code, operation);
#endif
  console_close_line();
  ReportBuffer report;
  report.add(kLineEnd);
  report.add("run-time error ");
  report.add(code);
  report.add(": ");
  report.add(operation);
  if (!operation_subject.empty()) {
    report.add(operation_subject);
    report.add(")");
  }
  report.add(kLineEnd);
  report.add("- ");
  report.add(description);
  report.add(description_detail);
  report.add(kLineEnd);
  report.emit();
  std::_Exit(1);
}

}  // namespace

void set_failure_cleanup(FailureCleanup cleanup) { g_failure_cleanup = cleanup; }
#ifdef MALHA_FUZZ
void set_failure_hook(FailureHook hook) { g_failure_hook = hook; }
#endif

void fail(RunError error) {
  const ErrorEntry& entry = entry_for(error);
  report_and_exit(entry.code, entry.operation, {}, entry.description, {});
}

void fail_file(RunError error, std::string_view file_name, int os_error) {
  const ErrorEntry& entry = entry_for(error);
  const std::string reason = os_error == 0 ? std::string() : platform::describe_os_error(os_error);
  report_and_exit(entry.code, entry.operation, file_name, entry.description, reason);
}

void fail_record(std::string_view file_name, std::int64_t line, std::string_view what) {
  char where[48];
  std::snprintf(where, sizeof(where), "line %lld: ", static_cast<long long>(line));
  report_and_exit(kRecordCode, "READ(", file_name, where, what);
}

void fail_level(std::int32_t level) {
  char description[128];
  std::snprintf(description, sizeof(description),
                "mesh level %d is outside the accepted range %d to %d",
                static_cast<int>(level), static_cast<int>(kMinLevel),
                static_cast<int>(kMaxLevel));
  report_and_exit(kLevelCode, "LEVEL", {}, description, {});
}

}  // namespace malha
