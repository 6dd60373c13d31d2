#include "readback/check_mesh_content.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/file_formats.h"
#include "formats/number_fields.h"
#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/lattice.h"
#include "mesh/place_nodes.h"
#include "mesh/size_mesh.h"
#include "readback/read_mesh_files.h"
#include "system/platform.h"
#include "system/run_error.h"

namespace malha {

bool is_written_alike(double a, double b) { return a == b || is_same_real_field_25_15(a, b); }

std::vector<double> lengths_written_as(double length) {
  std::vector<double> lengths = {length};
  for (const double towards : {-std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::infinity()}) {
    double next = length;
    for (;;) {
      next = std::nextafter(next, towards);
      if (!std::isfinite(next) || !is_written_alike(next, length)) break;
      lengths.push_back(next);
    }
  }
  return lengths;
}

std::vector<double> lines_of_nodes(const Mesh& mesh, int axis) {
  const Lattice lattice = lattice_of(mesh);
  const std::int32_t cells = axis == 0 ? mesh.cells_x : mesh.cells_y;
  std::vector<double> lines(static_cast<std::size_t>(cells) + 1);
  for (std::int32_t i = 0; i <= cells; ++i) {
    const std::int32_t node =
        axis == 0 ? lattice_node(lattice, i + 1, 1) : lattice_node(lattice, 1, i + 1);
    lines[static_cast<std::size_t>(i)] = mesh.node_coords(node, axis + 1);
  }
  return lines;
}

namespace {

std::string text(std::int64_t value) { return std::to_string(value); }

// The three files read whole, in the order their disagreements are told.
constexpr const char* kReadFiles[] = {kDadosEnt, kConectividadesEnt, kBaricentrosEnt};
constexpr int kNoFile = 3;

// The first place where the files and the mesh disagree: a file of
// kReadFiles and a line; `file` kNoFile where they agree throughout.
struct Disagreement {
  int file = kNoFile;
  std::int64_t line = 0;
  std::string what;

  bool is_found() const { return file != kNoFile; }
  bool is_before(const Disagreement& other) const {
    return file < other.file || (file == other.file && line < other.line);
  }
};

std::string field_text(double value) {
  char field[kRealField25Width];
  real_field_25_15(field, value);
  std::string_view shown(field, sizeof(field));
  return std::string(shown.substr(shown.find_first_not_of(' ')));
}

// Whether `mesh` (a lattice read back) is graded along `axis` (0: x):
// its lines, read from the nodes, are no equal steps (size_lattice).
bool is_graded_axis(const Mesh& mesh, int axis) {
  return is_lattice(mesh) && (axis == 0 ? mesh.dx == 0.0 && mesh.dim_x != 0.0
                                        : mesh.dy == 0.0 && mesh.dim_y != 0.0);
}

std::string shape_name(const Mesh& mesh) {
  if (mesh.level >= 1) return "level " + text(mesh.level);
  return std::string(mesh.pattern == LatticePattern::fan ? "the fan" : "the crossed") +
         " lattice of " + text(mesh.cells_x) + " x " + text(mesh.cells_y) + " cells";
}

// A mesh of the read mesh's level or lattice with the lengths `dim_x`,
// `dim_y`, not yet sized.
Mesh shape_with_lengths(const Mesh& mesh, double dim_x, double dim_y) {
  Mesh shape;
  shape.level = mesh.level;
  shape.cells_x = mesh.cells_x;
  shape.cells_y = mesh.cells_y;
  shape.pattern = mesh.pattern;
  shape.dim_x = dim_x;
  shape.dim_y = dim_y;
  return shape;
}

// The lines an axis's nodes are placed on, where given (`lines[axis]`).
using AxisLines = const std::vector<double>* [2];

// The read mesh's shape with the lengths `dim_x`, `dim_y`: sized, and its
// nodes placed, as the construction does. An axis with `lines` is placed on
// them, as build_lattice_mesh places given lines (equal steps where they
// are, bit for bit); a graded axis without them on its lines as read; each
// of these has its last line as its length, whatever `dim_x` or `dim_y`.
Mesh reference_nodes(const Mesh& mesh, double dim_x, double dim_y,
                     const AxisLines& lines = {nullptr, nullptr}) {
  Mesh reference = shape_with_lengths(mesh, dim_x, dim_y);
  if (lines[0] != nullptr || is_graded_axis(mesh, 0)) {
    reference.x_lines = lines[0] != nullptr ? *lines[0] : mesh.x_lines;
    reference.dim_x = reference.x_lines.back();
  }
  if (lines[1] != nullptr || is_graded_axis(mesh, 1)) {
    reference.y_lines = lines[1] != nullptr ? *lines[1] : mesh.y_lines;
    reference.dim_y = reference.y_lines.back();
  }
  if (mesh.level == 1) {
    size_mesh(reference);
  } else {
    size_lattice(reference);
  }
  reference.node_coords.allocate(reference.n_nodes);
  place_nodes(reference);
  return reference;
}

std::string row_text(const std::int32_t* row) {
  return text(row[0]) + " " + text(row[1]) + " " + text(row[2]);
}

// The volumes' nodes of "dados.ent" and the neighbours of
// "conectividades.ent" against those the shape numbers.
Disagreement check_numbers(const Mesh& mesh) {
  Disagreement nodes;
  Disagreement neighbours;
  const std::string shape = shape_name(mesh);
  auto compare = [&](std::int32_t v, const std::int32_t* want_nodes,
                     const std::int32_t* want_neighbours) {
    const std::int32_t* got_nodes = mesh.volume_nodes.row(v);
    const std::int32_t* got_neighbours = mesh.volume_neighbours.row(v);
    if (!nodes.is_found() && !std::equal(want_nodes, want_nodes + 3, got_nodes)) {
      nodes = {0, 4 + std::int64_t{mesh.n_nodes} + v,
               "volume " + text(v) + " has the nodes " + row_text(got_nodes) + ", where " + shape +
                   " has " + row_text(want_nodes)};
    }
    if (!neighbours.is_found() && !std::equal(want_neighbours, want_neighbours + 3, got_neighbours)) {
      neighbours = {1, v,
                    "volume " + text(v) + " has the neighbours " + row_text(got_neighbours) +
                        ", where " + shape + " has " + row_text(want_neighbours)};
    }
  };
  if (is_lattice(mesh)) {
    for_each_lattice_volume(lattice_of(mesh), [&](std::int32_t v, const LatticeVolume& volume) {
      compare(v, volume.nodes, volume.neighbours);
    });
  } else {
    // Level 1: its small fixed tables.
    Mesh reference = reference_nodes(mesh, mesh.dim_x, mesh.dim_y);
    reference.volume_nodes.allocate(reference.n_volumes);
    reference.volume_neighbours.allocate(reference.n_volumes);
    define_volumes(reference);
    find_volume_neighbours(reference);
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      compare(v, reference.volume_nodes.row(v), reference.volume_neighbours.row(v));
    }
  }
  return nodes.is_found() ? nodes : neighbours;
}

// The nodes of "dados.ent" and the barycentres of "baricentros.ent" against
// `reference`'s nodes and the barycentres computed from them, on the axes
// `is_checked` names: the first disagreement on each axis.
struct AxisDisagreements {
  Disagreement axis[2];
};

// The barycentres are compared where `first_differing` is null; otherwise
// those of the volumes it names (0: none) disagree on that axis.
AxisDisagreements check_reals(const Mesh& mesh, const Mesh& reference, const bool (&is_checked)[2],
                              const std::int32_t* first_differing) {
  AxisDisagreements found;
  constexpr const char* kAxis[] = {"x", "y"};
  const std::string lengths = field_text(reference.dim_x) + " x " + field_text(reference.dim_y);
  auto compare = [&](int file, std::int64_t line, const std::string& what, const double* got,
                     const double* want) {
    for (int a = 0; a < 2; ++a) {
      Disagreement& first = found.axis[a];
      if (!is_checked[a] || first.is_found() || is_written_alike(got[a], want[a])) continue;
      first = {file, line,
               what + "'s " + kAxis[a] + " is " + field_text(got[a]) + ", not the " +
                   field_text(want[a]) + " of " + shape_name(mesh) + " on lengths " + lengths};
    }
  };
  auto is_done = [&] {
    return (!is_checked[0] || found.axis[0].is_found()) && (!is_checked[1] || found.axis[1].is_found());
  };
  for (std::int32_t n = 1; n <= mesh.n_nodes && !is_done(); ++n) {
    compare(0, 4 + std::int64_t{n}, "node " + std::to_string(n), mesh.node_coords.row(n),
            reference.node_coords.row(n));
  }
  auto compare_barycentre = [&](std::int32_t v) {
    const std::int32_t* nodes = mesh.volume_nodes.row(v);
    double barycentre[2];
    volume_barycentre(reference.node_coords.row(nodes[0]), reference.node_coords.row(nodes[1]),
                      reference.node_coords.row(nodes[2]), barycentre);
    const double* got = mesh.barycentres.row(v);
    if (is_written_alike(got[0], barycentre[0]) &&
        is_written_alike(got[1], barycentre[1])) {
      return;
    }
    compare(2, v, "the barycentre of volume " + std::to_string(v), got, barycentre);
  };
  if (first_differing == nullptr) {
    for (std::int32_t v = 1; v <= mesh.n_volumes && !is_done(); ++v) compare_barycentre(v);
  } else {
    for (const int a : {0, 1}) {
      if (first_differing[a] != 0) compare_barycentre(first_differing[a]);
    }
  }
  return found;
}

// The reals against every choice of the `lengths`, each axis on its own (x
// depends on dim_x alone, y on dim_y), the first those of `as_read`, whose
// barycentres `first_differing` tells: the first disagreement of the choice
// that agrees longest, none where one agrees throughout.
Disagreement check_reals_for_some_lengths(const Mesh& mesh, const Mesh& as_read,
                                          const std::int32_t (&first_differing)[2],
                                          const std::vector<double> (&lengths)[2],
                                          const AxisLines& lines) {
  std::size_t choice[2] = {0, 0};
  bool is_settled[2] = {false, false};
  Disagreement best[2];
  while (!is_settled[0] || !is_settled[1]) {
    const bool is_checked[2] = {!is_settled[0], !is_settled[1]};
    const bool is_first = choice[0] == 0 && choice[1] == 0;
    const AxisDisagreements found =
        is_first ? check_reals(mesh, as_read, is_checked, first_differing)
                 : check_reals(mesh,
                               reference_nodes(mesh, lengths[0][choice[0]], lengths[1][choice[1]], lines),
                               is_checked, nullptr);
    for (int a = 0; a < 2; ++a) {
      if (is_settled[a]) continue;
      if (!found.axis[a].is_found()) {
        best[a] = {};
        is_settled[a] = true;
        continue;
      }
      if (!best[a].is_found() || best[a].is_before(found.axis[a])) best[a] = found.axis[a];
      if (choice[a] + 1 == lengths[a].size()) {
        is_settled[a] = true;
      } else {
        ++choice[a];
      }
    }
  }
  return best[1].is_found() && (!best[0].is_found() || best[1].is_before(best[0])) ? best[1]
                                                                                     : best[0];
}

// The lines of lattice `axis` that reproduce the reals read: each line one
// of the doubles written as the line read (lengths_written_as), chosen so
// that every node and barycentre computed from them is written as read.
// The files print each line rounded to 16 digits, and the double read back
// need not be the one written, nor give the same nodes between them; the
// lines themselves are written alike whichever is chosen. The lines read
// are those of the lattice nodes of row 1 (x) or column 1 (y): an axis read
// as equal steps may have been written from lines that are not, and print
// alike.
//
// A real on this axis depends on the two lines of its cell (its column on
// x, its row on y) alone: the cell whose read lines hold it. The lines are
// chosen from the first on, each choice kept while its cell's reals are
// computed (node_coords_of, volume_barycentre) as read, and given up for
// the next where none of the following line's choices keeps its cell; a
// line's choice that leads nowhere is not tried again. The read lines come
// first, and usually hold. Empty where no choice holds every cell (the
// check then reports the first real that disagrees with the lines read).
std::vector<double> choose_lattice_lines(const Mesh& mesh, int axis) {
  const Lattice lattice = lattice_of(mesh);
  const std::vector<double> read = lines_of_nodes(mesh, axis);
  const std::size_t cells = read.size() - 1;
  std::vector<std::vector<double>> choices;
  std::size_t most = 0;
  for (const double line : read) {
    choices.push_back(lengths_written_as(line));
    most = std::max(most, choices.back().size());
  }
  // The cell (0-based) whose read lines hold `value`; those beyond the
  // first or the last line are the first or the last cell's (the sides'
  // mirrors).
  const bool is_ascending = read.back() >= read.front();
  const auto cell_of = [&](double value) -> std::size_t {
    const auto above = is_ascending
                           ? std::upper_bound(read.begin(), read.end(), value)
                           : std::upper_bound(read.begin(), read.end(), value, std::greater<>());
    const auto index = static_cast<std::size_t>(above - read.begin());
    return std::clamp<std::size_t>(index, 1, cells) - 1;
  };
  // The reals of each cell: the nodes that are no lattice node (theirs are
  // lines, written alike whatever the choice), then every volume, as
  // indices grouped by cell (a negative index -v for volume v).
  std::vector<std::size_t> starts(cells + 2, 0);
  std::vector<std::int32_t> reals;
  const std::int32_t first_node = lattice.nx * lattice.ny + 1;
  const auto each_real = [&](auto&& visit) {
    for (std::int32_t n = first_node; n <= mesh.n_nodes; ++n) {
      visit(cell_of(mesh.node_coords(n, axis + 1)), n);
    }
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) visit(cell_of(mesh.barycentres(v, axis + 1)), -v);
  };
  each_real([&](std::size_t cell, std::int32_t) { ++starts[cell + 2]; });
  for (std::size_t c = 2; c < starts.size(); ++c) starts[c] += starts[c - 1];
  reals.resize(starts.back());
  each_real([&](std::size_t cell, std::int32_t real) { reals[starts[cell + 1]++] = real; });

  std::vector<double> lines = read;
  LatticeSpacings at = lattice_spacings(mesh);
  LatticeAxis& trial = axis == 0 ? at.x : at.y;
  trial.lines = lines.data();
  trial.equal = false;
  const auto coordinate = [&](std::int32_t n) {
    const NodeCoords node = node_coords_of(at, lattice, n);
    return axis == 0 ? node.x : node.y;
  };
  // Whether every real of `cell` is computed as read from the lines now set.
  const auto does_cell_agree = [&](std::size_t cell) {
    trial.length = lines[cells];
    for (std::size_t r = starts[cell]; r < starts[cell + 1]; ++r) {
      const std::int32_t real = reals[r];
      if (real > 0) {
        if (!is_written_alike(mesh.node_coords(real, axis + 1), coordinate(real))) return false;
        continue;
      }
      // The barycentre on this axis, the other coordinates 0 (each axis
      // sums its three in an order of its own).
      const std::int32_t* nodes = mesh.volume_nodes.row(-real);
      double p[3][2] = {};
      for (int corner = 0; corner < 3; ++corner) p[corner][axis] = coordinate(nodes[corner]);
      double barycentre[2];
      volume_barycentre(p[0], p[1], p[2], barycentre);
      if (!is_written_alike(mesh.barycentres(-real, axis + 1), barycentre[axis])) return false;
    }
    return true;
  };
  // pick[k]: line k's choice; next[k]: the next choice of line k to try;
  // dead[k * most + c]: no choice of the lines after k keeps their cells
  // with line k at choice c.
  std::vector<std::size_t> pick(cells + 1, 0);
  std::vector<std::size_t> next(cells + 1, 0);
  std::vector<char> dead((cells + 1) * most, 0);
  std::size_t k = 0;
  lines[0] = choices[0][0];
  next[0] = 1;
  for (;;) {
    if (k == cells) return lines;
    bool is_extended = false;
    while (next[k + 1] < choices[k + 1].size()) {
      const std::size_t c = next[k + 1]++;
      if (dead[(k + 1) * most + c] != 0) continue;
      lines[k + 1] = choices[k + 1][c];
      if (does_cell_agree(k)) {
        pick[++k] = c;
        if (k < cells) next[k + 1] = 0;
        is_extended = true;
        break;
      }
    }
    if (is_extended) continue;
    dead[k * most + pick[k]] = 1;
    if (k > 0) {
      --k;
      continue;
    }
    if (next[0] == choices[0].size()) return {};
    pick[0] = next[0]++;
    lines[0] = choices[0][pick[0]];
    next[1] = 0;
  }
}

// The records of node or volume `i` in the last record group of `file`, as
// the program writes them for `mesh`; empty for the files checked whole.
std::string repetition_records(OutputFile file, const Mesh& mesh, std::int32_t i) {
  std::string records;
  auto add_int = [&](std::int32_t value) {
    char field[kIntField8Width];
    int_field_8(field, value);
    records.append(field, sizeof(field));
  };
  auto add_pair = [&](const double* xy) {
    char field[kRealField25Width];
    for (int a = 0; a < 2; ++a) {
      real_field_25_15(field, xy[a]);
      records.append(field, sizeof(field));
    }
  };
  auto end_record = [&] { records += kLineEnd; };
  const std::int32_t* nodes = file == OutputFile::dados_malha || file == OutputFile::nos_malha
                                  ? nullptr
                                  : mesh.volume_nodes.row(i);
  switch (file) {
    case OutputFile::dados_malha: add_int(i); [[fallthrough]];
    case OutputFile::nos_malha: add_pair(mesh.node_coords.row(i)); end_record(); break;
    case OutputFile::malha:
    case OutputFile::malha_real:
      for (const int k : {0, 1, 2, 0}) {
        add_pair(mesh.node_coords.row(nodes[k]));
        end_record();
      }
      records += kSeparator.text;
      end_record();
      break;
    case OutputFile::nos_conectividade:
    case OutputFile::vol_conectividades: {
      const std::int32_t* row =
          file == OutputFile::nos_conectividade ? nodes : mesh.volume_neighbours.row(i);
      add_int(i);
      for (int k = 0; k < 3; ++k) add_int(row[k]);
      end_record();
      break;
    }
    case OutputFile::baricentros: add_pair(mesh.barycentres.row(i)); end_record(); break;
    default: break;
  }
  return records;
}

// `size` bytes of the file `path` at `offset`.
std::string read_at(const std::string& path, std::uint64_t offset, std::size_t size) {
  int os_error = 0;
  const platform::FileHandle file = platform::open_for_reading(path.c_str(), os_error);
  if (file == platform::kNoFile) fail_file(RunError::open_input, path, os_error);
  std::string bytes(size, '\0');
  std::size_t got = 0;
  bool is_read = platform::set_file_position(file, offset, os_error);
  while (is_read && got < size) {
    const long count = platform::read_file(file, bytes.data() + got, size - got, os_error);
    is_read = count > 0;
    if (is_read) got += static_cast<std::size_t>(count);
  }
  int close_error = 0;
  platform::close_file(file, close_error);
  if (!is_read) fail_file(RunError::read_input, path, os_error);
  return bytes;
}

// The first and the last node or volume of each file present beside the
// three read whole (whose sizes check_file_set has checked): the records
// that the mesh read gives there.
void check_companion_files(const Mesh& mesh, const std::string& folder) {
  for (const OutputFileEntry& entry : kOutputFiles) {
    const RecordGroup& last = entry.groups.back();
    const std::int64_t repeats = group_repeats(last.repeat, mesh);
    if (last.repeat == Repeat::once || repeats == 0 ||
        repetition_records(entry.file, mesh, 1).empty()) {
      continue;
    }
    const std::string path = path_in(folder, entry.name);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) continue;
    std::int64_t lines_before = 0;
    for (const RecordGroup& group : entry.groups.first(entry.groups.size() - 1)) {
      lines_before += group_repeats(group.repeat, mesh) * static_cast<std::int64_t>(group.records.size());
    }
    const auto bytes = static_cast<std::uint64_t>(group_bytes(last.records));
    const std::uint64_t first_offset = output_file_bytes(entry.file, mesh) - static_cast<std::uint64_t>(repeats) * bytes;
    for (const std::int64_t i : {std::int64_t{1}, repeats}) {
      const std::string want = repetition_records(entry.file, mesh, static_cast<std::int32_t>(i));
      const std::string got = read_at(path, first_offset + static_cast<std::uint64_t>(i - 1) * bytes, want.size());
      if (got == want) continue;
      // The record of the group that holds the first byte that differs.
      std::size_t at = 0;
      while (got[at] == want[at]) ++at;
      std::size_t record = 0;
      for (std::size_t start = 0;; ++record) {
        start += static_cast<std::size_t>(last.records[record].bytes());
        if (start > at) break;
      }
      const bool per_node = last.repeat == Repeat::per_node;
      fail_record(path,
                  lines_before + (i - 1) * static_cast<std::int64_t>(last.records.size()) +
                      static_cast<std::int64_t>(record) + 1,
                  "the record is not the one the mesh of " + std::string(kDadosEnt) + ", " +
                      kConectividadesEnt + " and " + kBaricentrosEnt + " gives for " +
                      (per_node ? "node " : "volume ") + text(i));
    }
  }
}

}  // namespace

// Whether the lattice nodes of the bottom row (axis 0) or of the left
// column (axis 1) are written as those of `length` on that axis: a few
// multiples of the spacing that tell most lengths apart before any table is
// placed.
bool does_side_agree(const Mesh& mesh, int axis, double length) {
  Mesh sized = shape_with_lengths(mesh, axis == 0 ? length : mesh.dim_x,
                                  axis == 0 ? mesh.dim_y : length);
  size_lattice(sized);
  const std::int32_t nx = sized.cells_x + 1;
  const std::int32_t n = axis == 0 ? nx : sized.cells_y + 1;
  const double spacing = axis == 0 ? sized.dx : sized.dy;
  for (std::int32_t i = 1; i <= n; ++i) {
    // As place_nodes places them: a lattice that is no level's has its far
    // side at the length itself.
    const double at = i == n && sized.level == 0 ? length : static_cast<double>(i - 1) * spacing;
    const std::int32_t node = axis == 0 ? i : (i - 1) * nx + 1;
    if (!is_written_alike(mesh.node_coords(node, axis + 1), at)) return false;
  }
  return true;
}

MeshContentCheck::MeshContentCheck(const Mesh& mesh)
    : mesh_(mesh), lengths_{lengths_written_as(mesh.dim_x), lengths_written_as(mesh.dim_y)} {
  // A graded axis's reals follow its lines, not its length.
  for (int a = 0; a < 2; ++a) {
    if (is_graded_axis(mesh, a)) lengths_[a].resize(1);
  }
  // The lengths whose bottom row and left column agree first.
  if (is_lattice(mesh)) {
    for (int a = 0; a < 2; ++a) {
      std::stable_partition(lengths_[a].begin(), lengths_[a].end(),
                            [&](double length) { return does_side_agree(mesh, a, length); });
    }
  }
  // The nodes against the choices of each length in turn, until one agrees.
  std::size_t choice[2] = {0, 0};
  bool is_settled[2] = {false, false};
  constexpr std::int32_t kNodesOnly[2] = {0, 0};
  for (;;) {
    reference_ = reference_nodes(mesh, lengths_[0][choice[0]], lengths_[1][choice[1]]);
    const bool is_checked[2] = {!is_settled[0], !is_settled[1]};
    const AxisDisagreements found = check_reals(mesh, reference_, is_checked, kNodesOnly);
    bool is_changed = false;
    for (int a = 0; a < 2; ++a) {
      if (is_settled[a]) continue;
      if (!found.axis[a].is_found()) {
        is_settled[a] = true;
        do_nodes_agree_[a] = true;
      } else if (choice[a] + 1 == lengths_[a].size()) {
        is_settled[a] = true;
        is_changed = is_changed || choice[a] != 0;
        choice[a] = 0;
      } else {
        ++choice[a];
        is_changed = true;
      }
    }
    if (is_settled[0] && is_settled[1] && !is_changed) break;
  }
  for (int a = 0; a < 2; ++a) std::swap(lengths_[a][0], lengths_[a][choice[a]]);
}

void MeshContentCheck::compare_barycentre(std::int32_t v, const double* read) {
  const std::int32_t* nodes = mesh_.volume_nodes.row(v);
  double barycentre[2];
  volume_barycentre(reference_.node_coords.row(nodes[0]), reference_.node_coords.row(nodes[1]),
                    reference_.node_coords.row(nodes[2]), barycentre);
  for (int a = 0; a < 2; ++a) {
    if (first_differing_[a] == 0 && !is_written_alike(read[a], barycentre[a])) {
      first_differing_[a] = v;
    }
  }
}

void MeshContentCheck::check(const std::string& folder) {
  Disagreement first = check_numbers(mesh_);
  // A lattice axis whose reals disagree with its lines as read, or with
  // every length's equal steps: the lines chosen to reproduce them, if any,
  // and the reals compared again.
  std::vector<double> chosen[2];
  AxisLines lines = {nullptr, nullptr};
  for (int a = 0; a < 2; ++a) {
    if (is_lattice(mesh_) && !first.is_found() &&
        (!do_nodes_agree_[a] || first_differing_[a] != 0)) {
      chosen[a] = choose_lattice_lines(mesh_, a);
      if (!chosen[a].empty()) lines[a] = &chosen[a];
    }
  }
  if (lines[0] != nullptr || lines[1] != nullptr) {
    reference_ = reference_nodes(mesh_, lengths_[0][0], lengths_[1][0], lines);
    const bool is_checked[2] = {true, true};
    constexpr std::int32_t kNodesOnly[2] = {0, 0};
    const AxisDisagreements found = check_reals(mesh_, reference_, is_checked, kNodesOnly);
    first_differing_[0] = first_differing_[1] = 0;
    for (std::int32_t v = 1; v <= mesh_.n_volumes; ++v) compare_barycentre(v, mesh_.barycentres.row(v));
    for (int a = 0; a < 2; ++a) do_nodes_agree_[a] = !found.axis[a].is_found();
  }
  if (!do_nodes_agree_[0] || !do_nodes_agree_[1] || first_differing_[0] != 0 ||
      first_differing_[1] != 0) {
    const Disagreement reals =
        check_reals_for_some_lengths(mesh_, reference_, first_differing_, lengths_, lines);
    if (reals.is_found() && reals.is_before(first)) first = reals;
  }
  if (first.is_found()) fail_record(path_in(folder, kReadFiles[first.file]), first.line, first.what);
  check_companion_files(mesh_, folder);
}

}  // namespace malha
