#include "readback/read_mesh_files.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/lattice.h"
#include "mesh/lattice_lines.h"
#include "mesh/size_mesh.h"
#include "readback/check_file_set.h"
#include "readback/check_mesh_content.h"
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

// The shapes whose counts the files hold: level 1, or the lattices, up to
// the order of their two sides, in either pattern. The first two volumes
// tell the sides apart (choose_shape).
struct Candidates {
  bool level_1 = false;
  // Cells of the shorter and the longer side, per pattern; 0: none fits.
  std::int64_t short_side[2] = {0, 0};
  std::int64_t long_side[2] = {0, 0};
  // A lattice whose volumes the counts hold but not whose nodes: its
  // pattern, sides and nodes, for the report.
  int near_pattern = -1;
  std::int64_t near_sides[2] = {0, 0};
  std::int64_t near_nodes = 0;
};

constexpr LatticePattern kPatterns[2] = {LatticePattern::crossed, LatticePattern::fan};

// The level-1 counts, and the lattices the volume counts give
// (lattice_sides) whose nodes they also hold.
Candidates candidates_of(const Mesh& mesh) {
  Candidates found;
  Mesh level_1;
  level_1.level = 1;
  size_mesh(level_1);
  found.level_1 = mesh.n_real_volumes == level_1.n_real_volumes &&
                  mesh.n_fict_volumes == level_1.n_fict_volumes &&
                  mesh.n_nodes == level_1.n_nodes;
  for (int p = 0; p < 2; ++p) {
    const LatticeSides sides = lattice_sides(mesh.n_real_volumes, mesh.n_fict_volumes, kPatterns[p]);
    if (sides.shorter == 0) continue;
    const std::int64_t a = sides.shorter;
    const std::int64_t b = sides.longer;
    const std::int64_t nodes = lattice_counts(a, b, kPatterns[p]).n_nodes;
    if (nodes != mesh.n_nodes) {
      found.near_pattern = p;
      found.near_sides[0] = a;
      found.near_sides[1] = b;
      found.near_nodes = nodes;
      continue;
    }
    found.short_side[p] = a;
    found.long_side[p] = b;
  }
  return found;
}

// The shapes that `mesh`'s counts fit; refuses the counts when none does.
Candidates check_counts_fit_a_shape(RecordReader& reader, const Mesh& mesh) {
  const Candidates found = candidates_of(mesh);
  if (found.level_1 || found.short_side[0] != 0 || found.short_side[1] != 0) return found;
  if (found.near_pattern >= 0) {
    reader.fail(text(mesh.n_real_volumes) + " real and " + text(mesh.n_fict_volumes) +
                " fictitious volumes (lines 3 and 4) are those of the " +
                (kPatterns[found.near_pattern] == LatticePattern::fan ? "fan" : "crossed") +
                " lattice of " + text(found.near_sides[0]) + " x " + text(found.near_sides[1]) +
                " cells, with " + text(found.near_nodes) + " nodes, not the " +
                text(mesh.n_nodes) + " of line 1");
  }
  reader.fail(text(mesh.n_real_volumes) + " real and " + text(mesh.n_fict_volumes) +
              " fictitious volumes and " + text(mesh.n_nodes) +
              " nodes (lines 1 to 4) are the counts of no level and no lattice");
}

// The level or lattice of the shapes `found` whose first two volumes the
// table holds (read up to volume 2, the reader's current record), set in
// `mesh` as sizing sets it, lengths 0.
void choose_shape(RecordReader& reader, const Candidates& found, Mesh& mesh) {
  const std::int32_t* v1 = mesh.volume_nodes.row(1);
  const std::int32_t* v2 = mesh.volume_nodes.row(2);
  for (int p = 0; p < 2; ++p) {
    if (found.short_side[p] == 0) continue;
    const std::int64_t sides[2][2] = {{found.short_side[p], found.long_side[p]},
                                      {found.long_side[p], found.short_side[p]}};
    for (const auto& side : sides) {
      // The bottom-left fan's first two triangles (the counts, which the
      // file's 32-bit counts hold, fit 32 bits).
      const Lattice lattice = lattice_of(static_cast<std::int32_t>(side[0]),
                                         static_cast<std::int32_t>(side[1]), kPatterns[p]);
      const LatticeVolume first = fan_volume(lattice, 1, 1, 1);
      const LatticeVolume second = fan_volume(lattice, 1, 1, 2);
      bool same = true;
      for (int c = 0; c < 3; ++c) {
        same = same && first.nodes[c] == v1[c] && second.nodes[c] == v2[c];
      }
      if (!same) continue;
      mesh.level = lattice_level(side[0], side[1], kPatterns[p]);
      mesh.cells_x = static_cast<std::int32_t>(side[0]);
      mesh.cells_y = static_cast<std::int32_t>(side[1]);
      mesh.pattern = kPatterns[p];
      return;
    }
  }
  if (found.level_1) {
    mesh.level = 1;
    return;
  }
  reader.fail("volumes 1 and 2 are not the first volumes of a lattice of these counts");
}

// Every count, lattice figure and spacing as sizing gives the shape chosen
// and the lengths `dim_x`, `dim_y`: level 1 is no lattice.
void size_shape(Mesh& mesh) {
  if (is_lattice(mesh)) {
    size_lattice(mesh);
  } else {
    size_mesh(mesh);
  }
}

// The corner node at x = dim_x, y = dim_y: the top-right node of level 1's
// one cell or of the lattice.
std::int32_t far_corner_node(const Mesh& mesh) {
  if (!is_lattice(mesh)) return 4;
  const Lattice lattice = lattice_of(mesh);
  return lattice_node(lattice, lattice.nx, lattice.ny);
}

// The lines of a lattice read back from the nodes: row 1's x and column
// 1's y. Along an axis whose lines print as the equal steps of a length
// written as its last line (as sizing places them) they stay empty, for
// sizing to place them again; the other lines must be lattice lines
// (lines_fault), and every lattice node must lie on its lines.
void read_lattice_lines(RecordReader& reader, Mesh& mesh) {
  const Lattice lattice = lattice_of(mesh);
  const auto node_line = [](std::int32_t node) {
    return text(node) + " (line " + text(node + 4) + ")";
  };
  const struct {
    std::vector<double>* lines;
    std::int32_t cells;
    int column;
    const char* name;
  } axes[] = {{&mesh.x_lines, mesh.cells_x, 0, "x"}, {&mesh.y_lines, mesh.cells_y, 1, "y"}};
  for (const auto& axis : axes) {
    std::vector<double>& lines = *axis.lines;
    lines = lines_of_nodes(mesh, axis.column);
    bool printed_equal = false;
    for (const double length : lengths_written_as(lines.back())) {
      const double step = length / static_cast<double>(axis.cells);
      printed_equal = true;
      for (std::int32_t i = 0; i < axis.cells && printed_equal; ++i) {
        printed_equal = is_written_alike(lines[i], lattice_offset(i + 1, step));
      }
      if (printed_equal) break;
    }
    if (printed_equal) {
      lines.clear();
      continue;
    }
    if (const auto fault = lines_fault(lines, axis.name)) {
      reader.fail("the lattice nodes of " + std::string(axis.column == 0 ? "row 1" : "column 1") +
                  " do not lie on lattice lines: " + *fault);
    }
  }
  // The lattice nodes on their lines: x of its column, y of its row.
  for (std::int32_t j = 1; j <= mesh.cells_y + 1; ++j) {
    for (std::int32_t i = 1; i <= mesh.cells_x + 1; ++i) {
      const std::int32_t node = lattice_node(lattice, i, j);
      const double* at = mesh.node_coords.row(node);
      const double* x_of = mesh.node_coords.row(lattice_node(lattice, i, 1));
      const double* y_of = mesh.node_coords.row(lattice_node(lattice, 1, j));
      if (at[0] != x_of[0] || at[1] != y_of[1]) {
        reader.fail("lattice node " + node_line(node) + " does not lie on the lines of node " +
                    node_line(lattice_node(lattice, i, 1)) + " and node " +
                    node_line(lattice_node(lattice, 1, j)));
      }
    }
  }
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
  const Candidates shapes = check_counts_fit_a_shape(reader, mesh);

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
    if (volume == 2) choose_shape(reader, shapes, mesh);
  }
  reader.expect_end();

  // The lengths are the far corner's coordinates, as the files hold them;
  // sizing then gives every count, figure and spacing of the shape and
  // those lengths (the counts those the file holds).
  const double* corner = mesh.node_coords.row(far_corner_node(mesh));
  mesh.dim_x = corner[0];
  mesh.dim_y = corner[1];
  if (is_lattice(mesh)) read_lattice_lines(reader, mesh);
  size_shape(mesh);
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

// Each barycentre is compared with the one computed from the nodes as it
// is read (MeshContentCheck).
void read_baricentros(Mesh& mesh, const std::string& path, MeshContentCheck& content) {
  RecordReader reader(path);
  mesh.barycentres.allocate(mesh.n_volumes);
  const std::string records = "the " + text(mesh.n_volumes) + " volume records that " +
                              std::string(kDadosEnt) + " counts";
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const char* record = reader.next(kPairRecord, records);
    double* centre = mesh.barycentres.row(volume);
    centre[0] = read_real_field(reader, record, 1);
    centre[1] = read_real_field(reader, record + kRealFieldWidth, 1 + static_cast<int>(kRealFieldWidth));
    content.compare_barycentre(volume, centre);
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
    MeshContentCheck content(mesh);
    read_baricentros(mesh, path_in(folder, kBaricentrosEnt), content);
    check_file_set(mesh, folder);
    content.check(folder);
  });
}

}  // namespace malha
