#include "readback/read_mesh_files.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "mesh/mesh_kind.h"
#include "mesh/size_mesh.h"
#include "readback/check_file_set.h"
#include "readback/record_reader.h"
#include "system/run_error.h"

namespace malha {
namespace {

// The layouts of "dados.ent" and its two companions.
constexpr std::size_t kLineEndSize = kLineEnd.size();
constexpr std::size_t kCountRecord = kSingleInteger.length();
constexpr std::size_t kPairRecord = kPair.length();
constexpr std::size_t kTripleRecord = kIntegerRow3.length();
constexpr std::size_t kIntFieldWidth = kIntField8Width;
constexpr std::size_t kRealFieldWidth = kRealField25Width;

// A file that holds more than its size when opened (one that grows while it
// is read, or a device) has no room left in the rows allocated for it.
constexpr const char* kGrown = "the file holds more records than its size when it was opened";

std::string text(std::int64_t value) { return std::to_string(value); }

std::int32_t read_count(RecordReader& reader, const char* what) {
  const char* record = reader.next(kCountRecord, "the 4 count records");
  const std::int32_t count = read_int_field(reader, record, 1);
  if (count < 0) reader.fail(std::string("the count of ") + what + " is negative (" + text(count) + ")");
  return count;
}

// Reads the three integer fields of `record` into `row`, each one a number
// `what` in `low` to `high`.
void read_number_row(RecordReader& reader, const char* record, std::int32_t* row,
                     const char* what, std::int32_t low, std::int32_t high) {
  for (int col = 0; col < 3; ++col) {
    const int column = 1 + col * static_cast<int>(kIntFieldWidth);
    const std::int32_t number = read_int_field(reader, record + col * kIntFieldWidth, column);
    if (number < low || number > high) {
      reader.fail(std::string(what) + " number " + text(number) + " (columns " + text(column) +
                  " to " + text(column + kIntField8Width - 1) + ") is outside " + text(low) + " to " + text(high));
    }
    row[col] = number;
  }
}

// The rows of a table that the file can hold at most, beyond `before`
// bytes, at `record` bytes a row (line end included). Allocating no more
// than this keeps a damaged count from claiming memory: a file that holds
// fewer rows than its counts call for ends before the last row is stored.
std::int32_t rows_that_fit(std::uint64_t file_size, std::uint64_t before, std::size_t record,
                           std::int32_t count) {
  const std::uint64_t room = file_size > before ? (file_size - before) / (record + kLineEndSize) : 0;
  return static_cast<std::int32_t>(std::min<std::uint64_t>(room, static_cast<std::uint64_t>(count)));
}

// The level whose 2^level real volumes the files count, and the counts
// sizing gives it, which the files' other counts must equal.
void check_counts_against_level(RecordReader& reader, Mesh& mesh) {
  std::int32_t level = kMinLevel;
  while (level < kMaxLevel && (std::int32_t{1} << level) < mesh.n_real_volumes) ++level;
  if ((std::int32_t{1} << level) != mesh.n_real_volumes) {
    reader.fail("the real volumes of line 3 (" + text(mesh.n_real_volumes) +
                ") are not 2^level for a mesh level " + text(kMinLevel) + " to " +
                text(kMaxLevel));
  }
  Mesh sized;
  sized.level = level;
  size_mesh(sized);
  const std::string of_level = "the real volumes of line 3 (" + text(mesh.n_real_volumes) +
                               ") give level " + text(level) + ", with ";
  if (sized.n_fict_volumes != mesh.n_fict_volumes) {
    reader.fail(of_level + text(sized.n_fict_volumes) + " fictitious volumes, not the " +
                text(mesh.n_fict_volumes) + " of line 4");
  }
  if (sized.n_nodes != mesh.n_nodes) {
    reader.fail(of_level + text(sized.n_nodes) + " nodes, not the " + text(mesh.n_nodes) +
                " of line 1");
  }
  mesh.level = level;
}

// The corner node at x = dim_x, y = dim_y: the top-right node of the one
// cell (levels 1 and 2) or of the lattice.
std::int32_t far_corner_node(const Mesh& mesh) {
  return is_lattice(mesh_kind(mesh.level)) ? mesh.nodes_per_side * mesh.nodes_per_side : 4;
}

void read_dados(Mesh& mesh, const std::string& path) {
  RecordReader reader(path);
  mesh.n_nodes = read_count(reader, "nodes");
  mesh.n_volumes = read_count(reader, "volumes");
  mesh.n_real_volumes = read_count(reader, "real volumes");
  mesh.n_fict_volumes = read_count(reader, "fictitious volumes");
  if (static_cast<std::int64_t>(mesh.n_real_volumes) + mesh.n_fict_volumes != mesh.n_volumes) {
    reader.fail(text(mesh.n_real_volumes) + " real and " + text(mesh.n_fict_volumes) +
                " fictitious volumes (lines 3 and 4) do not make the " + text(mesh.n_volumes) +
                " volumes of line 2");
  }
  check_counts_against_level(reader, mesh);
  // Every count and lattice figure as sizing gives the level; the lengths
  // and spacings follow once the nodes are read.
  mesh.dim_x = 0.0;
  mesh.dim_y = 0.0;
  size_mesh(mesh);

  const std::uint64_t counts_bytes = group_bytes(file_groups::kDadosEntCounts);
  mesh.node_coords.allocate(rows_that_fit(reader.size(), counts_bytes, kPairRecord, mesh.n_nodes));
  const std::string node_records = "the " + text(mesh.n_nodes) + " node records that line 1 counts";
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) {
    const char* record = reader.next(kPairRecord, node_records);
    if (node > mesh.node_coords.rows()) reader.fail(kGrown);
    double* coords = mesh.node_coords.row(node);
    coords[0] = read_real_field(reader, record, 1);
    coords[1] = read_real_field(reader, record + kRealFieldWidth, 1 + static_cast<int>(kRealFieldWidth));
  }

  const std::uint64_t nodes_bytes =
      counts_bytes + static_cast<std::uint64_t>(mesh.n_nodes) * (kPairRecord + kLineEndSize);
  mesh.volume_nodes.allocate(
      rows_that_fit(reader.size(), nodes_bytes, kTripleRecord, mesh.n_volumes));
  const std::string volume_records = "the " + text(mesh.n_volumes) + " volume records that line 2 counts";
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const char* record = reader.next(kTripleRecord, volume_records);
    if (volume > mesh.volume_nodes.rows()) reader.fail(kGrown);
    read_number_row(reader, record, mesh.volume_nodes.row(volume), "node", 1, mesh.n_nodes);
  }
  reader.expect_end();

  // The lengths are the far corner's coordinates, as the files hold them;
  // sizing then gives the spacings of those lengths.
  const double* corner = mesh.node_coords.row(far_corner_node(mesh));
  mesh.dim_x = corner[0];
  mesh.dim_y = corner[1];
  size_mesh(mesh);
}

void read_conectividades(Mesh& mesh, const std::string& path) {
  RecordReader reader(path);
  mesh.volume_neighbours.allocate(mesh.n_volumes);
  const std::string records = "the " + text(mesh.n_volumes) + " volume records that " +
                              std::string(kDadosEnt) + " counts";
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const char* record = reader.next(kTripleRecord, records);
    read_number_row(reader, record, mesh.volume_neighbours.row(volume), "neighbour", 0,
                    mesh.n_volumes);
  }
  reader.expect_end();
}

void read_baricentros(Mesh& mesh, const std::string& path) {
  RecordReader reader(path);
  mesh.barycentres.allocate(mesh.n_volumes);
  const std::string records = "the " + text(mesh.n_volumes) + " volume records that " +
                              std::string(kDadosEnt) + " counts";
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const char* record = reader.next(kPairRecord, records);
    double* centre = mesh.barycentres.row(volume);
    centre[0] = read_real_field(reader, record, 1);
    centre[1] = read_real_field(reader, record + kRealFieldWidth, 1 + static_cast<int>(kRealFieldWidth));
  }
  reader.expect_end();
}

}  // namespace

std::string path_in(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

void read_mesh_files(Mesh& mesh, const std::string& folder) {
  // A table, a read buffer, a path or a report's text that cannot be had
  // is the ALLOCATE report.
  reporting_allocation([&] {
    read_dados(mesh, path_in(folder, kDadosEnt));
    read_conectividades(mesh, path_in(folder, kConectividadesEnt));
    read_baricentros(mesh, path_in(folder, kBaricentrosEnt));
    check_file_set(mesh, folder);
  });
}

}  // namespace malha
