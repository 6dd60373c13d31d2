#pragma once
// FpEnvironmentKept: keeps the caller's floating-point environment across a
// library computation. While one is alive every floating-point fault is
// untrapped; when it goes (the computation completed or threw) the
// environment it found is put back, with the flags raised meanwhile dropped.
// Cannot fail.

#include <cfenv>

namespace malha {

class FpEnvironmentKept {
 public:
  FpEnvironmentKept() { std::feholdexcept(&saved_); }
  ~FpEnvironmentKept() { std::fesetenv(&saved_); }
  FpEnvironmentKept(const FpEnvironmentKept&) = delete;
  FpEnvironmentKept& operator=(const FpEnvironmentKept&) = delete;

 private:
  std::fenv_t saved_ {};
};

}  // namespace malha
