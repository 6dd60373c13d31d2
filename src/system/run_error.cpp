#include "system/run_error.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>

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
    {RunError::math_underflow, "M3004", "MATH", "floating-point error: underflow"},
    {RunError::open, "F4001", "OPEN(", "cannot create or open the file: "},
    {RunError::write, "F4002", "WRITE(", "cannot write the file: "},
    {RunError::write_record_length, "F4003", "WRITE(",
     "record longer than 1024 characters"},
    {RunError::open_input, "F4004", "OPEN(", "cannot open the file for reading: "},
    {RunError::read_input, "F4005", "READ(", "cannot read the file: "},
    {RunError::replace, "F4006", "WRITE(", "cannot give the finished file its name: "},
    {RunError::open_folder, "F4001", "OPEN(", "cannot open the folder: "},
};
constexpr const char* kLevelCode = "S5001";
constexpr const char* kRecordCode = "F4007";
constexpr const char* kArgumentCode = "S5002";

const ErrorEntry& entry_for(RunError error) {
  for (const ErrorEntry& entry : kErrors) {
    if (entry.error == error) return entry;
  }
  return kErrors[0];
}

constexpr std::string_view kLineEnd = "\r\n";

// The report's bytes, appended to `out` (a std::string, or the fixed buffer
// of the signal-safe path).
template <typename Out>
void compose_report(Out& out, std::string_view code, std::string_view operation,
                    std::string_view description) {
  out.append(kLineEnd);
  out.append("run-time error ");
  out.append(code);
  out.append(": ");
  out.append(operation);
  out.append(kLineEnd);
  out.append("- ");
  out.append(description);
  out.append(kLineEnd);
}

// Appends to the caller's buffer without allocating; what does not fit is
// left out.
class FixedText {
 public:
  FixedText(char* bytes, std::size_t capacity) : bytes_(bytes), capacity_(capacity) {}
  void append(std::string_view text) {
    for (char c : text) {
      if (size_ < capacity_) bytes_[size_++] = c;
    }
  }
  std::size_t size() const { return size_; }

 private:
  char* bytes_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

std::string report_text(std::string_view code, std::string_view operation,
                        std::string_view description) {
  std::string text;
  compose_report(text, code, operation, description);
  return text;
}

}  // namespace

Error::Error(std::string code, std::string operation, std::string description,
             std::string detail)
    : std::runtime_error(report_text(code, operation, description)),
      code_(std::move(code)),
      operation_(std::move(operation)),
      description_(std::move(description)),
      detail_(std::move(detail)) {}

Error error_for(RunError error) {
  const ErrorEntry& entry = entry_for(error);
  return Error(entry.code, entry.operation, entry.description);
}

void fail(RunError error) { throw error_for(error); }

void require_obtainable_memory(std::uint64_t bytes) {
  const std::uint64_t obtainable = platform::obtainable_memory_bytes();
  if (bytes <= obtainable) return;
  constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;
  char detail[160];
  std::snprintf(detail, sizeof(detail),
                "the tables need %llu bytes (%.2f GiB); this process can obtain %llu (%.2f GiB)",
                static_cast<unsigned long long>(bytes), static_cast<double>(bytes) / kGiB,
                static_cast<unsigned long long>(obtainable),
                static_cast<double>(obtainable) / kGiB);
  const ErrorEntry& entry = entry_for(RunError::allocate);
  throw Error(entry.code, entry.operation, entry.description, detail);
}

void fail_file(RunError error, std::string_view file_name, int os_error) {
  const ErrorEntry& entry = entry_for(error);
  std::string operation = entry.operation;
  operation.append(file_name).append(")");
  std::string description = entry.description;
  if (os_error != 0) description += platform::describe_os_error(os_error);
  throw Error(entry.code, std::move(operation), std::move(description));
}

void fail_contents(std::string_view file_name, std::string_view what) {
  std::string operation = "READ(";
  operation.append(file_name).append(")");
  throw Error(kRecordCode, std::move(operation), std::string(what));
}

void fail_record(std::string_view file_name, std::int64_t line, std::string_view what) {
  char where[48];
  std::snprintf(where, sizeof(where), "line %lld: ", static_cast<long long>(line));
  fail_contents(file_name, std::string(where).append(what));
}

void fail_level(std::int32_t level, std::int32_t lowest, std::int32_t highest) {
  char description[128];
  std::snprintf(description, sizeof(description),
                "mesh level %d is outside the accepted range %d to %d",
                static_cast<int>(level), static_cast<int>(lowest),
                static_cast<int>(highest));
  throw Error(kLevelCode, "LEVEL", description);
}

void fail_argument(std::string_view function, std::string_view what) {
  std::string operation = "ARGUMENT(";
  operation.append(function).append(")");
  throw Error(kArgumentCode, std::move(operation), std::string(what));
}

std::size_t compose_report_now(RunError error, char* buffer, std::size_t size) noexcept {
  const ErrorEntry& entry = entry_for(error);
  FixedText report(buffer, size);
  compose_report(report, entry.code, entry.operation, entry.description);
  return report.size();
}

}  // namespace malha
