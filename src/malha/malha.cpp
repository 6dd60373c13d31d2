#include "malha/malha.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <type_traits>

#include "mesh/check_finite_values.h"
#include "mesh/check_mesh_tables.h"
#include "mesh/construct_mesh.h"
#include "mesh/lattice.h"
#include "mesh/lattice_lines.h"
#include "output/output_files.h"
#include "output/write_output_files.h"
#include "readback/read_mesh_files.h"
#include "system/fp_environment_kept.h"
#include "system/run_error.h"

namespace malha {
namespace {

static_assert(std::is_nothrow_move_constructible_v<Mesh> && std::is_nothrow_move_assignable_v<Mesh>,
              "a Mesh is handed out by value");

constexpr const char* kWriteMeshFiles = "write_mesh_files";

// Refuses a time that the processing-time record cannot show as seconds.
void check_processing_time(double seconds) {
  if (std::isfinite(seconds) && seconds >= 0.0) return;
  char what[96];
  std::snprintf(what, sizeof(what),
                "the processing time %g is not a finite number of seconds, 0 or more", seconds);
  fail_argument(kWriteMeshFiles, what);
}

constexpr const char* kBuildLatticeMesh = "build_lattice_mesh";

// Refuses a lattice that cannot be built, naming the reason: a pattern that
// is neither, cells below 1, odd cells in the fan pattern, counts past 32
// bits. `from` says where the cells come from (" from xs") in the text.
void check_lattice(std::int64_t cells_x, std::int64_t cells_y, LatticePattern pattern,
                   const char* from_x = "", const char* from_y = "") {
  auto refuse = [](const std::string& what) { fail_argument(kBuildLatticeMesh, what); };
  const bool fan = pattern == LatticePattern::fan;
  if (!fan && pattern != LatticePattern::crossed) {
    refuse("the pattern (" + std::to_string(static_cast<std::int32_t>(pattern)) +
           ") is neither crossed nor fan");
  }
  const struct {
    const char* name;
    std::int64_t cells;
    const char* from;
  } sides[] = {{"cells_x", cells_x, from_x}, {"cells_y", cells_y, from_y}};
  for (const auto& side : sides) {
    const std::string named =
        std::string(side.name) + " (" + std::to_string(side.cells) + side.from + ")";
    if (side.cells < 1) refuse(named + " is below 1");
    if (fan && side.cells % 2 != 0) {
      refuse(named + " is odd: the fan pattern takes blocks of 2 x 2 cells");
    }
  }
  // n_volumes is the largest count of every lattice but the thinnest fans,
  // whose nodes outnumber their volumes; both must fit a 32-bit count.
  constexpr std::int64_t kLargest = INT32_MAX;
  const std::string shape = std::to_string(cells_x) + " x " + std::to_string(cells_y) + " cells";
  if (cells_x > kMaxLatticeCells || cells_y > kMaxLatticeCells) {
    refuse(shape + " have more than " + std::to_string(kLargest) +
           " fictitious volumes, the most a 32-bit count holds");
  }
  const LatticeCounts counts = lattice_counts(cells_x, cells_y, pattern);
  const struct {
    const char* name;
    std::int64_t count;
  } totals[] = {{"n_volumes", counts.n_volumes}, {"n_nodes", counts.n_nodes}};
  for (const auto& total : totals) {
    if (total.count <= kLargest) continue;
    refuse(shape + " give " + total.name + " = " + std::to_string(total.count) + ", more than " +
           std::to_string(kLargest) + ", the most a 32-bit count holds");
  }
}

void check_lengths(double dim_x, double dim_y) {
  const struct {
    const char* name;
    double length;
  } lengths[] = {{"dim_x", dim_x}, {"dim_y", dim_y}};
  for (const auto& length : lengths) {
    if (std::isfinite(length.length)) continue;
    char what[96];
    std::snprintf(what, sizeof(what), "%s (%g) is not a finite length", length.name,
                  length.length);
    fail_argument(kBuildLatticeMesh, what);
  }
}

// Fills in `mesh`, whose answers are set, with `construct` under the
// caller's floating-point environment kept, and refuses it if a value came
// out not finite.
Mesh constructed(Mesh mesh, void (*construct)(Mesh&)) {
  const FpEnvironmentKept kept;
  construct(mesh);
  check_finite_values(mesh);
  return mesh;
}

}  // namespace

Mesh build_mesh(std::int32_t level, double dim_x, double dim_y) {
  check_level(level);
  Mesh mesh;
  mesh.level = level;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  return constructed(std::move(mesh), construct_mesh);
}

Mesh build_lattice_mesh(std::int64_t cells_x, std::int64_t cells_y, double dim_x, double dim_y,
                        LatticePattern pattern) {
  check_lattice(cells_x, cells_y, pattern);
  check_lengths(dim_x, dim_y);
  Mesh mesh;
  mesh.cells_x = static_cast<std::int32_t>(cells_x);
  mesh.cells_y = static_cast<std::int32_t>(cells_y);
  mesh.pattern = pattern;
  mesh.dim_x = dim_x;
  mesh.dim_y = dim_y;
  return constructed(std::move(mesh), construct_lattice_mesh);
}

Mesh build_lattice_mesh(std::span<const double> xs, std::span<const double> ys,
                        LatticePattern pattern) {
  // Fewer than 2 lines first: no count of cells to check.
  for (const auto& [lines, name] : {std::pair{xs, "xs"}, std::pair{ys, "ys"}}) {
    if (lines.size() < 2) fail_argument(kBuildLatticeMesh, *lines_fault(lines, name));
  }
  check_lattice(static_cast<std::int64_t>(xs.size()) - 1, static_cast<std::int64_t>(ys.size()) - 1,
                pattern, " from xs", " from ys");
  for (const auto& [lines, name] : {std::pair{xs, "xs"}, std::pair{ys, "ys"}}) {
    if (const auto fault = lines_fault(lines, name)) fail_argument(kBuildLatticeMesh, *fault);
  }
  return reporting_allocation([&] {
    Mesh mesh;
    mesh.cells_x = static_cast<std::int32_t>(xs.size() - 1);
    mesh.cells_y = static_cast<std::int32_t>(ys.size() - 1);
    mesh.pattern = pattern;
    mesh.dim_x = xs.back();
    mesh.dim_y = ys.back();
    mesh.x_lines.assign(xs.begin(), xs.end());
    mesh.y_lines.assign(ys.begin(), ys.end());
    return constructed(std::move(mesh), construct_lattice_mesh);
  });
}

void write_mesh_files(const Mesh& mesh, const std::filesystem::path& folder,
                      double processing_time) {
  reporting_allocation([&] {
    check_processing_time(processing_time);
    check_mesh_tables(mesh, kWriteMeshFiles);
    OutputFiles files;
    write_output_files(files, mesh, processing_time, folder.string());
  });
}

Mesh read_mesh_files(const std::filesystem::path& folder) {
  return reporting_allocation([&] {
    Mesh mesh;
    read_mesh_files(mesh, folder.string());
    return mesh;
  });
}

}  // namespace malha
