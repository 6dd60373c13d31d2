#include "mesh/lattice_lines.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "mesh/lattice.h"
#include "system/run_error.h"

namespace malha {
namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.17g", value);
  return text;
}

// Refuses what no helper can make lines of.
void check_helper(const char* helper, std::int64_t cells, double length, double ratio) {
  auto refuse = [&](const std::string& what) { fail_argument(helper, what); };
  if (cells < 1) refuse("cells (" + std::to_string(cells) + ") is below 1");
  if (cells > kMaxLatticeCells) {
    refuse("cells (" + std::to_string(cells) + ") is more than " +
           std::to_string(kMaxLatticeCells) + ", the most a lattice side holds");
  }
  if (!std::isfinite(length) || length == 0.0) {
    refuse("length (" + number(length) + ") is not a finite length other than 0");
  }
  if (!std::isfinite(ratio) || !(ratio > 0.0)) {
    refuse("ratio (" + number(ratio) + ") is not a finite number above 0");
  }
}

// Lines of one cell's worth of steps that rounding made equal are no
// lattice's: refused rather than handed on.
std::vector<double> checked(const char* helper, std::vector<double> lines) {
  if (const auto fault = lines_fault(lines, "the lines")) {
    fail_argument(helper, *fault + ": the steps are too small for doubles to tell apart");
  }
  return lines;
}

std::vector<double> equal_lines(std::int64_t cells, double length) {
  std::vector<double> lines(static_cast<std::size_t>(cells) + 1);
  const double step = length / static_cast<double>(cells);
  for (std::int64_t i = 0; i < cells; ++i) lines[i] = static_cast<double>(i) * step;
  lines[cells] = length;
  return lines;
}

}  // namespace

std::vector<double> graded_lines(std::int64_t cells, double length, double ratio) {
  check_helper("graded_lines", cells, length, ratio);
  if (ratio == 1.0 || cells == 1) return equal_lines(cells, length);
  // Step k is q^k times the first, q^(cells - 1) = ratio; line i is the sum
  // of the first i steps over the sum of all, (q^i - 1) / (q^cells - 1),
  // each power less 1 taken as expm1 so that q near 1 loses nothing.
  const double log_q = std::log(ratio) / static_cast<double>(cells - 1);
  const double all = std::expm1(static_cast<double>(cells) * log_q);
  std::vector<double> lines(static_cast<std::size_t>(cells) + 1);
  lines[0] = 0.0;
  for (std::int64_t i = 1; i < cells; ++i) {
    lines[i] = length * (std::expm1(static_cast<double>(i) * log_q) / all);
  }
  lines[cells] = length;
  return checked("graded_lines", std::move(lines));
}

std::vector<double> two_sided_lines(std::int64_t cells, double length, double ratio) {
  check_helper("two_sided_lines", cells, length, ratio);
  if (ratio == 1.0 || cells < 3) return equal_lines(cells, length);
  // Steps q^min(k, cells - 1 - k), k = 0 .. cells - 1: the middle one (or
  // two) q^((cells - 1) / 2) = ratio times the ends. The first half's lines
  // are sums of their steps over the whole; the second half mirrors them,
  // so that the last line is the length itself.
  const std::int64_t half = cells / 2;
  const std::int64_t middle_power = (cells - 1) / 2;
  const double log_q = std::log(ratio) / static_cast<double>(middle_power);
  std::vector<double> sums(static_cast<std::size_t>(half) + 1, 0.0);
  for (std::int64_t i = 1; i <= half; ++i) {
    sums[i] = sums[i - 1] + std::exp(static_cast<double>(i - 1) * log_q);
  }
  const double middle = cells % 2 != 0 ? std::exp(static_cast<double>(half) * log_q) : 0.0;
  const double all = 2 * sums[half] + middle;
  std::vector<double> lines(static_cast<std::size_t>(cells) + 1);
  for (std::int64_t i = 0; i <= half; ++i) {
    lines[i] = length * (sums[i] / all);
    lines[cells - i] = length - lines[i];
  }
  if (cells % 2 == 0) lines[half] = length / 2;
  lines[0] = 0.0;
  lines[cells] = length;
  return checked("two_sided_lines", std::move(lines));
}

std::optional<std::string> lines_fault(std::span<const double> lines, const char* name) {
  const std::string named = name;
  if (lines.size() < 2) {
    return named + " holds " + std::to_string(lines.size()) +
           " lines: a lattice takes 2 or more";
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!std::isfinite(lines[i])) {
      return named + "[" + std::to_string(i) + "] (" + number(lines[i]) + ") is not finite";
    }
  }
  if (lines[0] != 0.0) {
    return named + "[0] (" + number(lines[0]) + ") is not 0: the lines start at 0";
  }
  const bool increasing = lines[1] > lines[0];
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (increasing ? lines[i] > lines[i - 1] : lines[i] < lines[i - 1]) continue;
    return named + "[" + std::to_string(i) + "] (" + number(lines[i]) + ") after " + named +
           "[" + std::to_string(i - 1) + "] (" + number(lines[i - 1]) +
           "): the lines are not strictly increasing or strictly decreasing";
  }
  return std::nullopt;
}

std::optional<double> equal_step(std::span<const double> lines) {
  const std::size_t cells = lines.size() - 1;
  const double step = lines[cells] / static_cast<double>(cells);
  for (std::size_t i = 1; i < cells; ++i) {
    if (lines[i] != static_cast<double>(i) * step) return std::nullopt;
  }
  return step;
}

}  // namespace malha
