#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "system/platform.h"
#include "system/run_error.h"
#include "sinks/temporary_file.h"
#include "vtk/vtu.h"
#include "vtk/vtu_checks.h"

namespace malha {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFunction = "TimeSeries";

// The step's index with at least four digits.
std::string step_number(std::size_t index) {
  std::string digits = std::to_string(index);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return digits;
}

// The shortest decimal text that reads back as `time`.
std::string time_text(double time) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof(buffer), time);
  return std::string(buffer, result.ptr);
}

// True for the temporary files of a series of that name: those of
// "`name`.pvd" and of "`name`_NNNN.vtu" (four digits or more).
bool is_series_temporary(std::string_view file, std::string_view name) {
  if (!file.starts_with(name)) return false;
  file.remove_prefix(name.size());
  if (is_temporary_name_of(file, ".pvd")) return true;
  if (!file.starts_with('_')) return false;
  file.remove_prefix(1);
  std::size_t digits = 0;
  while (digits < file.size() && file[digits] >= '0' && file[digits] <= '9') ++digits;
  return digits >= 4 && is_temporary_name_of(file.substr(digits), ".vtu");
}

}  // namespace

TimeSeries::TimeSeries(const Mesh& mesh, fs::path folder, std::string name, VtuOptions options)
    : mesh_(&mesh), folder_(std::move(folder)), name_(std::move(name)), options_(options) {
  reporting_allocation([&] { start(); });
}

void TimeSeries::start() {
  check_grid_mesh(*mesh_, kFunction, options_);
  const std::string quoted = "\"" + name_ + "\"";
  if (name_.empty()) fail_argument(kFunction, "the series name is empty");
  if (!is_xml_name(name_) || name_.find_first_of("/\\:*?|") != std::string::npos) {
    fail_argument(kFunction, "series name " + quoted +
                                 " holds a character other than printable ASCII, or one of "
                                 "< > & \" ' / \\ : * ? |");
  }
  // The folder must be one this series can list, and what a killed writer
  // of the same series left under temporary names goes.
  int os_error = 0;
  const auto is_leftover = [&](std::string_view file) { return is_series_temporary(file, name_); };
  if (!remove_leftovers(folder_, is_leftover, os_error)) {
    fail_file(RunError::open_folder, folder_.string(), os_error);
  }
}

fs::path TimeSeries::step_file(std::size_t index) const {
  return folder_ / (name_ + "_" + step_number(index) + ".vtu");
}

fs::path TimeSeries::collection_file() const { return folder_ / (name_ + ".pvd"); }

void TimeSeries::write(double time, std::span<const CellField> fields) {
  reporting_allocation([&] { add_step(time, fields); });
}

void TimeSeries::add_step(double time, std::span<const CellField> fields) {
  if (!std::isfinite(time)) {
    fail_argument(kFunction, "time " + time_text(time) + " is not a finite number");
  }
  if (!times_.empty() && !(time > times_.back())) {
    fail_argument(kFunction, "time " + time_text(time) + " is not after the last step's time, " +
                                 time_text(times_.back()));
  }
  // Everything that needs memory is had before the step file is written, so
  // that after it only a file error can fail.
  if (times_.size() == times_.capacity()) times_.reserve(2 * times_.size() + 16);
  std::string collection =
      "<?xml version=\"1.0\"?>\n"
      "<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
      "  <Collection>\n";
  auto list_step = [&](std::size_t index, double step_time) {
    collection += "    <DataSet timestep=\"" + time_text(step_time) +
                  "\" group=\"\" part=\"0\" file=\"" + name_ + "_" + step_number(index) +
                  ".vtu\"/>\n";
  };
  for (std::size_t i = 0; i < times_.size(); ++i) list_step(i, times_[i]);
  list_step(times_.size(), time);
  collection += "  </Collection>\n</VTKFile>\n";

  // Both files complete under their temporary names before either is
  // renamed, so that a full disk fails the step with nothing changed.
  const fs::path step = step_file(times_.size());
  const std::unique_ptr<TemporaryFile> grid =
      write_complete_grid(*mesh_, step, fields, options_, false);
  TemporaryFile listing(collection_file().string());
  listing.put_text(collection);
  listing.complete();
  // A file under the step's name may be one that the collection on disk
  // lists (an earlier series'): once replaced, it stays, complete.
  std::error_code error;
  const bool replaces = fs::exists(fs::symlink_status(step, error));
  grid->give_final_name();
  try {
    listing.give_final_name();
  } catch (...) {
    // The collection stays as it was: a new step it does not list goes.
    int ignored = 0;
    if (!replaces) platform::remove_file(step.string().c_str(), ignored);
    throw;
  }
  times_.push_back(time);
}

}  // namespace malha
