// write_vtu and TimeSeries: grids read back array by array (every byte of
// the appended data accounted for, the fields bit for bit), a series with
// its collection, each refused call leaving the folder as it was, and a
// series killed while it writes.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "malha/malha.h"
#include "support/run_malha.h"
#include "vtk/vtu.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

// One array of a grid file as read back.
struct ReadArray {
  std::string section;  // FieldData, PointData, CellData, Points or Cells
  std::string name;
  std::string type;
  int components = 1;
  std::string bytes;  // the appended bytes after the byte count
};

struct ReadGrid {
  std::int64_t points = -1;
  std::int64_t cells = -1;
  std::vector<ReadArray> arrays;  // in XML order

  const ReadArray* find(const std::string& section, const std::string& name) const {
    for (const ReadArray& array : arrays) {
      if (array.section == section && array.name == name) return &array;
    }
    return nullptr;
  }
};

std::string attribute(const std::string& element, const std::string& name) {
  const std::string start = " " + name + "=\"";
  const std::size_t at = element.find(start);
  if (at == std::string::npos) return {};
  const std::size_t from = at + start.size();
  return element.substr(from, element.find('"', from) - from);
}

// Reads a grid file back; an empty `error` says that its XML text, byte
// counts and offsets account for every byte of the file.
ReadGrid read_grid(const fs::path& file, std::string& error) {
  ReadGrid grid;
  const std::string bytes = read_file(file);
  const std::string marker = "  <AppendedData encoding=\"raw\">\n   _";
  const std::size_t data_at = bytes.find(marker);
  if (!bytes.starts_with("<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\"") ||
      data_at == std::string::npos) {
    error = "no grid header";
    return grid;
  }
  const std::size_t base = data_at + marker.size();
  const std::string xml = bytes.substr(0, data_at);
  std::string section;
  std::vector<std::uint64_t> offsets;
  for (std::size_t at = xml.find('<', 1); at != std::string::npos; at = xml.find('<', at + 1)) {
    const std::string element = xml.substr(at, xml.find('>', at) + 1 - at);
    if (element[1] == '/') continue;
    const std::string name = element.substr(1, element.find_first_of(" />", 1) - 1);
    if (name == "Piece") {
      grid.points = std::stoll(attribute(element, "NumberOfPoints"));
      grid.cells = std::stoll(attribute(element, "NumberOfCells"));
    } else if (name == "DataArray") {
      ReadArray array{section, attribute(element, "Name"), attribute(element, "type"), 1, {}};
      const std::string components = attribute(element, "NumberOfComponents");
      if (!components.empty()) array.components = std::stoi(components);
      if (attribute(element, "format") != "appended") error = "not appended: " + array.name;
      offsets.push_back(std::stoull(attribute(element, "offset")));
      grid.arrays.push_back(array);
    } else {
      section = name;
    }
  }
  // The arrays, sorted by offset, must follow one another without a gap,
  // and the closing text must follow the last.
  std::vector<std::size_t> order(grid.arrays.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
  std::uint64_t at = 0;
  for (const std::size_t i : order) {
    if (offsets[i] != at || base + at + 8 > bytes.size()) {
      error = "array " + grid.arrays[i].name + " is not where the previous one ends";
      return grid;
    }
    std::uint64_t size = 0;
    std::memcpy(&size, bytes.data() + base + at, 8);
    if (base + at + 8 + size > bytes.size()) {
      error = "array " + grid.arrays[i].name + " runs past the end of the file";
      return grid;
    }
    grid.arrays[i].bytes = bytes.substr(base + at + 8, size);
    at += 8 + size;
  }
  if (bytes.substr(base + at) != "\n  </AppendedData>\n</VTKFile>\n")
    error = "wrong end after the data";
  return grid;
}

// The bytes of `values` as they stand in memory (little-endian here).
template <typename T>
std::string bytes_of(const std::vector<T>& values) {
  return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// Field values that hold what a text form could lose: signed zeros, a
// NaN with a payload, infinities, a subnormal, and many digits.
std::vector<double> awkward_values(std::size_t count, double seed) {
  const double specials[] = {-0.0,
                             std::bit_cast<double>(std::uint64_t{0x7FF8000000001234}),
                             std::numeric_limits<double>::infinity(),
                             4.9e-324,
                             0.1,
                             -1e308};
  std::vector<double> values(count);
  for (std::size_t i = 0; i < count; ++i) {
    values[i] = i < std::size(specials) ? specials[i] : seed + std::sqrt(static_cast<double>(i));
  }
  return values;
}

// Every file in `dir` (not below it) with its bytes.
std::map<std::string, std::string> folder_state(const fs::path& dir) {
  std::map<std::string, std::string> state;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    state[entry.path().filename().string()] =
        entry.is_regular_file() ? read_file(entry.path()) : "<folder>";
  }
  return state;
}

struct GridCase {
  const char* name;
  std::int32_t level;
  double dim_x, dim_y;
  VtuOptions options;
};

const GridCase kGrids[] = {
    {"level 1, real volumes", 1, 1.0, 1.0, {}},
    {"level 2, real volumes", 2, 2.0, 1.0, {}},
    {"level 7, real volumes", 7, 0.3, 7.0, {}},
    {"level 6, with the fictitious volumes", 6, 2.0, 1.0, {.include_fictitious = true}},
    {"level 5, with the tables", 5, 1.0, 3.0, {.include_tables = true}},
    {"level 8, everything", 8, -2.0, 1.0, {.include_fictitious = true, .include_tables = true}},
};

TEST(WriteVtu, GridsReadBackArrayByArray) {
  for (const GridCase& c : kGrids) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const Mesh mesh = build_mesh(c.level, c.dim_x, c.dim_y);
    const bool all = c.options.include_fictitious;
    const std::int32_t points = all ? mesh.n_nodes : mesh.n_real_nodes;
    const std::int32_t cells = all ? mesh.n_volumes : mesh.n_real_volumes;
    const std::vector<double> scalar = awkward_values(static_cast<std::size_t>(cells), 1.0);
    const std::vector<double> vector = awkward_values(2 * static_cast<std::size_t>(cells), -3.0);
    write_vtu(mesh, dir / "grid.vtu", {{"temperature", scalar}, {"flux (W/m^2)", vector, 2}},
              c.options);

    EXPECT_EQ(folder_state(dir.path()).size(), 1u);  // no temporary file
    std::string error;
    const ReadGrid grid = read_grid(dir / "grid.vtu", error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(grid.points, points);
    EXPECT_EQ(grid.cells, cells);

    std::vector<std::string> names;
    for (const ReadArray& array : grid.arrays) names.push_back(array.section + "/" + array.name);
    std::vector<std::string> expected_names;
    if (c.options.include_tables) {
      expected_names = {"FieldData/n_nodes", "FieldData/n_volumes", "FieldData/n_real_volumes",
                        "FieldData/n_fict_volumes", "PointData/node"};
    }
    expected_names.push_back("CellData/volume");
    if (all) expected_names.push_back("CellData/fictitious");
    if (c.options.include_tables) {
      expected_names.push_back("CellData/neighbours");
      expected_names.push_back("CellData/barycentre");
    }
    for (const char* name : {"CellData/temperature", "CellData/flux (W/m^2)", "Points/Points",
                             "Cells/connectivity", "Cells/offsets", "Cells/types"}) {
      expected_names.push_back(name);
    }
    EXPECT_EQ(names, expected_names);

    // The fields, bit for bit.
    EXPECT_TRUE(grid.find("CellData", "temperature")->bytes == bytes_of(scalar));
    EXPECT_TRUE(grid.find("CellData", "flux (W/m^2)")->bytes == bytes_of(vector));
    EXPECT_EQ(grid.find("CellData", "flux (W/m^2)")->components, 2);
    EXPECT_EQ(grid.find("CellData", "temperature")->type, "Float64");

    // The mesh.
    std::vector<double> xyz;
    for (std::int32_t n = 1; n <= points; ++n) {
      xyz.insert(xyz.end(), {mesh.node_coords(n, 1), mesh.node_coords(n, 2), 0.0});
    }
    std::vector<std::int32_t> connectivity, offsets, volume;
    std::vector<std::uint8_t> types(static_cast<std::size_t>(cells), 5), fictitious;
    std::vector<std::int32_t> neighbours;
    std::vector<double> barycentre;
    for (std::int32_t v = 1; v <= cells; ++v) {
      for (int col = 1; col <= 3; ++col) {
        connectivity.push_back(mesh.volume_nodes(v, col) - 1);
        neighbours.push_back(mesh.volume_neighbours(v, col));
      }
      offsets.push_back(3 * v);
      volume.push_back(v);
      fictitious.push_back(v > mesh.n_real_volumes ? 1 : 0);
      barycentre.insert(barycentre.end(), {mesh.barycentres(v, 1), mesh.barycentres(v, 2), 0.0});
    }
    EXPECT_TRUE(grid.find("Points", "Points")->bytes == bytes_of(xyz));
    EXPECT_TRUE(grid.find("Cells", "connectivity")->bytes == bytes_of(connectivity));
    EXPECT_TRUE(grid.find("Cells", "offsets")->bytes == bytes_of(offsets));
    EXPECT_TRUE(grid.find("Cells", "types")->bytes == bytes_of(types));
    EXPECT_TRUE(grid.find("CellData", "volume")->bytes == bytes_of(volume));
    if (all) {
      EXPECT_TRUE(grid.find("CellData", "fictitious")->bytes == bytes_of(fictitious));
    }
    if (c.options.include_tables) {
      EXPECT_TRUE(grid.find("CellData", "neighbours")->bytes == bytes_of(neighbours));
      EXPECT_TRUE(grid.find("CellData", "barycentre")->bytes == bytes_of(barycentre));
      std::vector<std::int32_t> nodes(static_cast<std::size_t>(points));
      for (std::int32_t n = 0; n < points; ++n) nodes[static_cast<std::size_t>(n)] = n + 1;
      EXPECT_TRUE(grid.find("PointData", "node")->bytes == bytes_of(nodes));
      EXPECT_TRUE(grid.find("FieldData", "n_fict_volumes")->bytes ==
                  bytes_of(std::vector<std::int32_t>{mesh.n_fict_volumes}));
    }
  }
}

// What a refused call is given: a folder that already holds a grid and a
// collection, the mesh, and a series that has written one step.
struct Fixture {
  fs::path dir;
  const Mesh& mesh;
  std::vector<double> values;       // one per real volume
  std::vector<double> long_values;  // one more
  std::optional<TimeSeries> series;

  void write(std::vector<CellField> fields, VtuOptions options = {},
             const char* file = "grid.vtu") {
    write_vtu(mesh, dir / file, fields, options);
  }
  CellField field(const char* name) const { return {name, values}; }
};

// How a row runs: in this process, or in a child with a file-size limit
// (a write that fails as a full disk would), or in a child without root's
// right to write anywhere.
enum class Where { here, small_file_limit, unprivileged };

struct Refusal {
  const char* name;
  const char* code;  // the report's code
  void (*call)(Fixture& f);
  Where where = Where::here;
};

Mesh mesh_with_too_few_nodes() {
  Mesh mesh = build_mesh(4, 1.0, 1.0);
  mesh.n_nodes -= 1;
  return mesh;
}

Mesh mesh_with_a_real_volume_on_a_fictitious_node() {
  Mesh mesh = build_mesh(4, 1.0, 1.0);
  mesh.volume_nodes(3, 2) = mesh.n_real_nodes + 1;
  return mesh;
}

const Refusal kRefusals[] = {
    {"a field too short", "S5002",
     [](Fixture& f) {
       f.write({{"u", std::span<const double>(f.values).first(f.values.size() - 1)}});
     }},
    {"a field too long", "S5002",
     [](Fixture& f) {
       f.write({{"u", f.long_values}});
     }},
    {"a vector field with a value per volume", "S5002",
     [](Fixture& f) {
       f.write({{"u", f.values, 2}});
     }},
    {"components 0", "S5002",
     [](Fixture& f) {
       f.write({{"u", {}, 0}});
     }},
    {"components -1", "S5002",
     [](Fixture& f) {
       f.write({{"u", f.values, -1}});
     }},
    {"an empty name", "S5002", [](Fixture& f) { f.write({f.field("")}); }},
    {"a name given twice", "S5002",
     [](Fixture& f) {
       f.write({f.field("u"), f.field("v"), f.field("u")});
     }},
    {"the name volume", "S5002", [](Fixture& f) { f.write({f.field("volume")}); }},
    {"the name fictitious with the fictitious volumes", "S5002",
     [](Fixture& f) { f.write({f.field("fictitious")}, {.include_fictitious = true}); }},
    {"the name barycentre with the tables", "S5002",
     [](Fixture& f) { f.write({f.field("barycentre")}, {.include_tables = true}); }},
    {"a name with <", "S5002", [](Fixture& f) { f.write({f.field("a<b")}); }},
    {"a name with &", "S5002", [](Fixture& f) { f.write({f.field("a&b")}); }},
    {"a name with a quote", "S5002", [](Fixture& f) { f.write({f.field("a\"b")}); }},
    {"a name with an apostrophe", "S5002", [](Fixture& f) { f.write({f.field("a'b")}); }},
    {"a name with a line end", "S5002", [](Fixture& f) { f.write({f.field("a\nb")}); }},
    {"a name with a tab", "S5002", [](Fixture& f) { f.write({f.field("a\tb")}); }},
    {"a name in UTF-8", "S5002", [](Fixture& f) { f.write({f.field("press\xC3\xA3o")}); }},
    {"a name with DEL", "S5002", [](Fixture& f) { f.write({f.field("a\x7F")}); }},
    {"counts that disagree with the tables", "S5002",
     [](Fixture& f) { write_vtu(mesh_with_too_few_nodes(), f.dir / "grid.vtu"); }},
    {"a volume naming a node beyond the real ones", "S5002",
     [](Fixture& f) { write_vtu(mesh_with_a_real_volume_on_a_fictitious_node(), f.dir / "grid.vtu"); }},
    // Refused before any file is made: no OPEN report in a folder the user
    // may not write in.
    {"a volume naming a node beyond the real ones, in a folder the user may not write in",
     "S5002",
     [](Fixture& f) { write_vtu(mesh_with_a_real_volume_on_a_fictitious_node(), f.dir / "grid.vtu"); },
     Where::unprivileged},
    {"a series of a mesh whose counts disagree", "S5002",
     [](Fixture& f) { TimeSeries(mesh_with_too_few_nodes(), f.dir, "s"); }},
    {"a missing folder", "F4001", [](Fixture& f) { f.write({}, {}, "missing/grid.vtu"); }},
    {"a final name taken by a folder", "F4006", [](Fixture& f) { f.write({}, {}, "t.pvd"); }},
    {"a file too large for the file-size limit", "F4002",
     [](Fixture& f) { f.write({f.field("u")}); }, Where::small_file_limit},
    {"a folder the user may not write in", "F4001", [](Fixture& f) { f.write({f.field("u")}); },
     Where::unprivileged},
    {"a series name that is empty", "S5002", [](Fixture& f) { TimeSeries(f.mesh, f.dir, ""); }},
    {"a series name with /", "S5002", [](Fixture& f) { TimeSeries(f.mesh, f.dir, "a/b"); }},
    {"a series name with \\", "S5002", [](Fixture& f) { TimeSeries(f.mesh, f.dir, "a\\b"); }},
    {"a series name with <", "S5002", [](Fixture& f) { TimeSeries(f.mesh, f.dir, "a<b"); }},
    {"a series in a missing folder", "F4001",
     [](Fixture& f) { TimeSeries(f.mesh, f.dir / "missing", "s"); }},
    {"a series in a file", "F4001",
     [](Fixture& f) { TimeSeries(f.mesh, f.dir / "grid.vtu", "s"); }},
    {"a collection name taken by a folder", "F4006",
     [](Fixture& f) { TimeSeries(f.mesh, f.dir, "t").write(0.0, {}); }},
    {"a time NaN", "S5002", [](Fixture& f) { f.series->write(std::nan(""), {}); }},
    {"a time +inf", "S5002",
     [](Fixture& f) { f.series->write(std::numeric_limits<double>::infinity(), {}); }},
    {"a time -inf", "S5002",
     [](Fixture& f) { f.series->write(-std::numeric_limits<double>::infinity(), {}); }},
    {"a time equal to the last", "S5002", [](Fixture& f) { f.series->write(1.0, {}); }},
    {"a time before the last", "S5002", [](Fixture& f) { f.series->write(0.5, {}); }},
    {"a step with a field too short", "S5002",
     [](Fixture& f) {
       f.series->write(2.0,
                       std::vector<CellField>{{"u", std::span<const double>(f.values).first(3)}});
     }},
    {"a step too large for the file-size limit", "F4002",
     [](Fixture& f) { f.series->write(2.0, std::vector<CellField>{f.field("u")}); },
     Where::small_file_limit},
    {"a step in a folder the user may not write in", "F4001",
     [](Fixture& f) { f.series->write(2.0, std::vector<CellField>{f.field("u")}); },
     Where::unprivileged},
};

// Runs `call` in a child process limited as `where` says; returns the code
// of the report it threw ("none" when it threw nothing).
std::string code_in_child(Where where, const std::function<std::string()>& call) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    if (where == Where::small_file_limit) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit = {1000, 1000};  // less than any grid
      setrlimit(RLIMIT_FSIZE, &limit);
    } else if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(2);
    }
    const std::string code = call();
    const ssize_t ignored = ::write(pipe_ends[1], code.data(), code.size());
    (void)ignored;
    _exit(0);
  }
  close(pipe_ends[1]);
  std::string code;
  char buffer[64];
  for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof(buffer))) > 0;)
    code.append(buffer, static_cast<std::size_t>(got));
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return code;
}

TEST(WriteVtu, RefusedCallsLeaveTheFolderAsItWas) {
  const Mesh mesh = build_mesh(4, 1.0, 1.0);
  for (const Refusal& r : kRefusals) {
    SCOPED_TRACE(r.name);
    TempDir dir;
    // The folder the call writes in: open to the unprivileged child, and
    // read-only for it.
    const fs::path folder = dir / "data";
    fs::create_directory(folder);
    const auto n_real = static_cast<std::size_t>(mesh.n_real_volumes);
    Fixture f{
        folder, mesh, std::vector<double>(n_real, 0.5), std::vector<double>(n_real + 1, 0.5), {}};
    write_file(folder / "grid.vtu", "an earlier grid");
    fs::create_directory(folder / "t.pvd");
    f.series.emplace(mesh, folder, "s");
    f.series->write(1.0, {});
    const auto before = folder_state(folder);

    std::string code = "none";
    auto run = [&]() -> std::string {
      try {
        r.call(f);
      } catch (const Error& error) {
        return error.code();
      }
      return "none";
    };
    if (r.where == Where::here) {
      code = run();
    } else {
      if (r.where == Where::unprivileged) {
        // Readable by all, writable by none but root, who becomes nobody.
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
      }
      code = code_in_child(r.where, run);
      fs::permissions(folder, fs::perms::owner_all);
    }
    EXPECT_EQ(code, r.code);
    EXPECT_EQ(folder_state(folder), before);
  }
}

TEST(TimeSeries, WritesEachStepAndTheCollection) {
  TempDir dir;
  const Mesh mesh = build_mesh(5, 2.0, 1.0);
  TimeSeries series(mesh, dir.path(), "heat");
  const double times[] = {0.0, 0.25, 1.0 / 3.0, 1e-3 + 1.0};
  std::vector<std::vector<double>> values;
  for (const double time : times) {
    values.push_back(awkward_values(static_cast<std::size_t>(mesh.n_real_volumes), time));
    series.write(time, {{"u", values.back()}});
  }
  EXPECT_EQ(series.steps(), 4u);
  EXPECT_EQ(read_file(dir / "heat.pvd"),
            "<?xml version=\"1.0\"?>\n"
            "<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
            "  <Collection>\n"
            "    <DataSet timestep=\"0\" group=\"\" part=\"0\" file=\"heat_0000.vtu\"/>\n"
            "    <DataSet timestep=\"0.25\" group=\"\" part=\"0\" file=\"heat_0001.vtu\"/>\n"
            "    <DataSet timestep=\"0.3333333333333333\" group=\"\" part=\"0\" "
            "file=\"heat_0002.vtu\"/>\n"
            "    <DataSet timestep=\"1.001\" group=\"\" part=\"0\" file=\"heat_0003.vtu\"/>\n"
            "  </Collection>\n"
            "</VTKFile>\n");
  for (std::size_t step = 0; step < 4; ++step) {
    SCOPED_TRACE(step);
    std::string error;
    const ReadGrid grid = read_grid(series.step_file(step), error);
    ASSERT_EQ(error, "");
    EXPECT_TRUE(grid.find("CellData", "u")->bytes == bytes_of(values[step]));
  }
  EXPECT_EQ(folder_state(dir.path()).size(), 5u);  // no temporary file
  EXPECT_EQ(series.step_file(9999).filename(), "heat_9999.vtu");
  EXPECT_EQ(series.step_file(10000).filename(), "heat_10000.vtu");
  EXPECT_EQ(series.collection_file(), dir / "heat.pvd");
}

TEST(TimeSeries, ANewSeriesRemovesItsNamesakesTemporaries) {
  TempDir dir;
  const Mesh mesh = build_mesh(3, 1.0, 1.0);
  for (const char* name : {"s.pvd.tmp", "s_0003.vtu.tmp", "s_12345.vtu.tmp", "s_003.vtu.tmp",
                           "s_00x3.vtu.tmp", "other.pvd.tmp", "s_0003.vtu", "s.pvd"}) {
    write_file(dir / name, "left");
  }
  const TimeSeries series(mesh, dir.path(), "s");
  std::vector<std::string> left;
  for (const auto& [name, bytes] : folder_state(dir.path())) left.push_back(name);
  EXPECT_EQ(left, (std::vector<std::string>{"other.pvd.tmp", "s.pvd", "s_0003.vtu", "s_003.vtu.tmp",
                                            "s_00x3.vtu.tmp"}));
}

// Writers of one name beside each other, threads or processes, 30 calls
// each: a writer's cleanup of leftover temporaries leaves the others' live
// ones, so every call succeeds, and the final files are whole and nothing
// else is left.
TEST(WriteVtu, WritersOfOneNameBesideEachOtherAllSucceed) {
  const Mesh mesh = build_mesh(12, 2.0, 1.0);
  const std::vector<double> values = awkward_values(static_cast<std::size_t>(mesh.n_real_volumes), 1);
  const std::vector<CellField> fields {{"u", values}};
  const std::function<void(const fs::path&)> grid = [&](const fs::path& dir) {
    write_vtu(mesh, dir / "g.vtu", fields);
  };
  const std::function<void(const fs::path&)> series = [&](const fs::path& dir) {
    TimeSeries(mesh, dir, "s").write(0.0, fields);
  };
  TempDir alone;
  grid(alone.path());
  series(alone.path());
  struct Row {
    const char* name;
    const std::function<void(const fs::path&)>& write;
    int threads, processes;
    std::vector<std::string> files;
  };
  const Row rows[] = {{"write_vtu, 4 threads", grid, 4, 1, {"g.vtu"}},
                      {"TimeSeries, 4 threads", series, 4, 1, {"s.pvd", "s_0000.vtu"}},
                      {"write_vtu, 2 processes", grid, 1, 2, {"g.vtu"}},
                      {"TimeSeries, 2 processes", series, 1, 2, {"s.pvd", "s_0000.vtu"}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    std::atomic<int> failures {0};
    const auto thirty_calls = [&] {
      for (int call = 0; call < 30; ++call) {
        try {
          row.write(dir.path());
        } catch (const Error& error) {
          if (failures++ == 0) ADD_FAILURE() << error.what();
        }
      }
    };
    std::vector<pid_t> children;
    for (int process = 1; process < row.processes; ++process) {
      children.push_back(fork());
      if (children.back() == 0) {
        thirty_calls();
        _exit(failures.load());
      }
    }
    std::vector<std::thread> threads;
    for (int thread = 1; thread < row.threads; ++thread) threads.emplace_back(thirty_calls);
    thirty_calls();
    for (std::thread& thread : threads) thread.join();
    for (const pid_t child : children) {
      int status = 0;
      waitpid(child, &status, 0);
      failures += WIFEXITED(status) ? WEXITSTATUS(status) : 30;
    }
    EXPECT_EQ(failures.load(), 0);
    const auto state = folder_state(dir.path());
    EXPECT_EQ(state.size(), row.files.size());
    for (const std::string& file : row.files) {
      EXPECT_TRUE(state.contains(file) && state.at(file) == read_file(alone / file)) << file;
    }
  }
}

// The steps that the collection in `dir` lists, or nothing when it is absent.
std::vector<std::pair<std::string, std::string>> listed_steps(const fs::path& dir,
                                                              std::string& error) {
  std::vector<std::pair<std::string, std::string>> steps;
  if (!fs::exists(dir / "s.pvd")) return steps;
  const std::string text = read_file(dir / "s.pvd");
  if (!text.ends_with("  </Collection>\n</VTKFile>\n")) error = "collection incomplete";
  // Each data set: <DataSet timestep="T" group="" part="0" file="F"/>.
  const std::string open = "<DataSet timestep=\"";
  const std::string middle = "\" group=\"\" part=\"0\" file=\"";
  for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
    const std::size_t time_begin = at + open.size();
    const std::size_t time_end = text.find('"', time_begin);
    if (time_end == std::string::npos || text.compare(time_end, middle.size(), middle) != 0) {
      continue;
    }
    const std::size_t file_begin = time_end + middle.size();
    const std::size_t file_end = text.find('"', file_begin);
    if (file_end == std::string::npos || text.compare(file_end, 3, "\"/>") != 0) continue;
    steps.emplace_back(text.substr(time_begin, time_end - time_begin),
                       text.substr(file_begin, file_end - file_begin));
  }
  return steps;
}

// Step k's field: k + the volume's number.
std::vector<double> step_values(const Mesh& mesh, int step) {
  std::vector<double> values(static_cast<std::size_t>(mesh.n_real_volumes));
  for (std::size_t v = 0; v < values.size(); ++v) values[v] = step + static_cast<double>(v + 1);
  return values;
}

// Writes `steps` steps of the series "s" in `dir`, step k at time k / 8.
void write_series(const Mesh& mesh, const fs::path& dir, int steps) {
  TimeSeries series(mesh, dir, "s");
  for (int step = 0; step < steps; ++step) {
    const std::vector<double> values = step_values(mesh, step);
    series.write(step / 8.0, std::vector<CellField>{{"u", values}});
  }
}

TEST(TimeSeries, AKilledSeriesListsOnlyCompleteSteps) {
  const Mesh mesh = build_mesh(10, 2.0, 1.0);
  constexpr int kSteps = 200;
  // One uncut series sets the moments of the kills.
  TempDir whole;
  const auto start = std::chrono::steady_clock::now();
  write_series(mesh, whole.path(), kSteps);
  const std::chrono::duration<double> duration = std::chrono::steady_clock::now() - start;

  for (int kill = 0; kill < 10; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
      try {
        write_series(mesh, dir.path(), kSteps);
      } catch (...) {
        _exit(3);
      }
      _exit(0);
    }
    std::this_thread::sleep_for(duration * (kill + 0.5) / 10.0);
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    std::string error;
    const auto steps = listed_steps(dir.path(), error);
    ASSERT_EQ(error, "");
    for (std::size_t k = 0; k < steps.size(); ++k) {
      EXPECT_EQ(std::stod(steps[k].first), static_cast<double>(k) / 8.0);
      char name[32];
      std::snprintf(name, sizeof(name), "s_%04zu.vtu", k);
      EXPECT_EQ(steps[k].second, name);
    }
    // Every grid under a final name is complete, listed or not (the one
    // renamed just before the kill is not listed yet).
    std::size_t grids = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (!name.ends_with(".vtu")) continue;
      ++grids;
      const int step = std::stoi(name.substr(2));
      const ReadGrid grid = read_grid(entry.path(), error);
      ASSERT_EQ(error, "") << name;
      EXPECT_TRUE(grid.find("CellData", "u")->bytes == bytes_of(step_values(mesh, step))) << name;
    }
    EXPECT_TRUE(grids == steps.size() || grids == steps.size() + 1) << grids << " grids";
    // A new series of the same name clears what the killed one left.
    const TimeSeries again(mesh, dir.path(), "s");
    for (const auto& [name, bytes] : folder_state(dir.path()))
      EXPECT_FALSE(name.ends_with(".tmp")) << name;
  }
}

}  // namespace
}  // namespace malha
