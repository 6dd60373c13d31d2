#pragma once
// The one exception of the library: a run-time error report.
//
// Every failure of the library (an answer that cannot be read, memory that
// cannot be had, a non-finite value in the mesh, a file that cannot be
// opened, written or read back) is thrown as a malha::Error. It carries the
// report's code (a letter and four digits, for example "A2001"), its
// operation (for example "ALLOCATE" or "WRITE(malha.txt)") and its one-line
// description; what() is the whole report as the program prints it on
// standard error: CR LF, "run-time error ", the code, ": ", the operation,
// CR LF, "- ", the description, CR LF. A report may carry a detail beyond
// it for a library caller (ALLOCATE: the bytes needed and those that can be
// had), which what() leaves out, so that the program prints the report
// alone. The constructor may throw std::bad_alloc; the accessors throw
// nothing.

#include <stdexcept>
#include <string>

namespace malha {

class Error : public std::runtime_error {
 public:
  Error(std::string code, std::string operation, std::string description,
        std::string detail = {});

  const std::string& code() const noexcept { return code_; }
  const std::string& operation() const noexcept { return operation_; }
  const std::string& description() const noexcept { return description_; }
  // Empty, or one line that says more than the report.
  const std::string& detail() const noexcept { return detail_; }

 private:
  std::string code_;
  std::string operation_;
  std::string description_;
  std::string detail_;
};

}  // namespace malha
