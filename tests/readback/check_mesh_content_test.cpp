// The read-back refuses what is not one run's files: every mix of two
// runs' files, and every damage that would change what the mesh holds;
// and writing what it read gives the same bytes again.

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "formats/file_formats.h"
#include "readback/read_mesh_files.h"
#include "malha/malha.h"
#include "support/dialogue.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

// Every field of a mesh and its four tables, as bytes.
std::string mesh_bytes(const Mesh& mesh) {
  std::string bytes(reinterpret_cast<const char*>(&mesh.level),
                    offsetof(Mesh, x_lines) - offsetof(Mesh, level));
  bytes.append(reinterpret_cast<const char*>(&mesh.dx),
               offsetof(Mesh, node_coords) - offsetof(Mesh, dx));
  for (const std::vector<double>* lines : {&mesh.x_lines, &mesh.y_lines}) {
    bytes.append(reinterpret_cast<const char*>(lines->data()), lines->size() * sizeof(double));
  }
  auto add = [&bytes](const auto& table) {
    if (table.rows() > 0) {
      bytes.append(reinterpret_cast<const char*>(table.row(1)),
                   static_cast<std::size_t>(table.rows()) * sizeof(*table.row(1)) * table.kColumns);
    }
  };
  add(mesh.node_coords);
  add(mesh.volume_nodes);
  add(mesh.volume_neighbours);
  add(mesh.barycentres);
  return bytes;
}

std::vector<std::string> folder_files(const fs::path& folder) {
  std::vector<std::string> files;
  for (const OutputFileEntry& entry : kOutputFiles) files.push_back(read_file(folder / entry.name));
  return files;
}

struct NamedMesh {
  const char* name;
  Mesh mesh;
};

// Two runs of one shape and other lengths: of the 2,046 folders that mix
// their eleven files, those that are not byte for byte one run's folder (a
// file both runs write alike may come from either) are refused at a line of
// a file, and the others are read as that run.
TEST(CheckMeshContent, EveryMixOfTwoRunsIsRefused) {
  struct Pair {
    const char* name;
    Mesh a;
    Mesh b;
  };
  const Pair pairs[] = {
      {"level 10, 2 x 1 and 3 x 1", build_mesh(10, 2.0, 1.0), build_mesh(10, 3.0, 1.0)},
      {"crossed 6 x 5, y 2.5 and 2.5000000000000004",
       build_lattice_mesh(6, 5, 1.5, 2.5), build_lattice_mesh(6, 5, 1.5, 2.5000000000000004)},
      {"fan 8 x 4 cells, 3 x 1 and 3 x -1", build_lattice_mesh(8, 4, 3.0, 1.0, LatticePattern::fan),
       build_lattice_mesh(8, 4, 3.0, -1.0, LatticePattern::fan)},
      {"graded crossed 6 x 5, x ratio 20 and 10",
       build_lattice_mesh(graded_lines(6, 1.5, 20.0), two_sided_lines(5, 2.5, 4.0)),
       build_lattice_mesh(graded_lines(6, 1.5, 10.0), two_sided_lines(5, 2.5, 4.0))},
  };
  for (const Pair& pair : pairs) {
    SCOPED_TRACE(pair.name);
    TempDir runs;
    const fs::path folders[2] = {runs / "a", runs / "b"};
    for (int r = 0; r < 2; ++r) {
      fs::create_directory(folders[r]);
      write_mesh_files(r == 0 ? pair.a : pair.b, folders[r]);
    }
    const std::vector<std::string> files[2] = {folder_files(folders[0]), folder_files(folders[1])};
    const std::string meshes[2] = {mesh_bytes(read_mesh_files(folders[0])),
                                   mesh_bytes(read_mesh_files(folders[1]))};
    int refused = 0;
    int read_as_a_run = 0;
    // The mixes in Gray code order, so that one file changes from each to
    // the next: bit f set takes file f from run b.
    const fs::path folder = runs / "mix";
    fs::create_directory(folder);
    auto link = [&](int f, int from) {
      const char* name = kOutputFiles[static_cast<std::size_t>(f)].name;
      fs::remove(folder / name);
      fs::create_hard_link(folders[from] / name, folder / name);
    };
    for (int f = 0; f < kOutputFileCount; ++f) link(f, 0);
    for (unsigned step = 1; step < (1u << kOutputFileCount); ++step) {
      const unsigned mix = step ^ (step >> 1);
      const int changed = std::countr_zero(step);
      link(changed, static_cast<int>((mix >> changed) & 1));
      if (mix + 1 == (1u << kOutputFileCount)) continue;  // run b's own folder
      bool is_run[2] = {true, true};
      for (int f = 0; f < kOutputFileCount; ++f) {
        const int from = static_cast<int>((mix >> f) & 1);
        is_run[1 - from] = is_run[1 - from] && files[0][static_cast<std::size_t>(f)] ==
                                                   files[1][static_cast<std::size_t>(f)];
      }
      std::string read;
      const std::string report =
          testing::thrown_report([&] { read = mesh_bytes(read_mesh_files(folder)); });
      if (is_run[0] || is_run[1]) {
        EXPECT_EQ(report, "") << "mix " << mix;
        EXPECT_TRUE(read == meshes[is_run[0] ? 0 : 1]) << "mix " << mix;
        ++read_as_a_run;
      } else {
        EXPECT_NE(report.find("run-time error F4007: READ("), std::string::npos)
            << "mix " << mix << ": " << report;
        ++refused;
      }
    }
    EXPECT_EQ(refused + read_as_a_run, 2046);
    EXPECT_GT(refused, 2000);
  }
}

// One random change to one file of a run's folder: a byte replaced, a line
// removed, doubled or swapped with the next, the file cut short, or the
// last digit of a node's or a barycentre's real one up or down (on graded
// lattices, whose lines read back as doubles that need not give the same
// reals, the change a tolerance would let through). The folder is refused,
// or it is read as the same mesh (a change the records cannot show, such as
// one outside the three files read whole and the records the check reads
// of the others).
TEST(CheckMeshContent, ADamagedFolderIsRefusedOrReadAlike) {
  const NamedMesh runs[] = {
      {"level 6, 2.5 x 0.7", build_mesh(6, 2.5, 0.7)},
      {"fan 6 x 4 cells", build_lattice_mesh(6, 4, 0.3, 7.0, LatticePattern::fan)},
      {"crossed 12 x 9, graded 20 and two-sided 5",
       build_lattice_mesh(graded_lines(12, 1.7, 20.0), two_sided_lines(9, 2.3, 5.0))},
      {"fan 8 x 6, graded 0.05 and 7",
       build_lattice_mesh(graded_lines(8, 3.1, 0.05), graded_lines(6, -0.9, 7.0),
                          LatticePattern::fan)}};
  // The reals of "dados.ent" (its node records, after the 4 counts) and of
  // "baricentros.ent": the file's index, the bytes before them, their records.
  const auto file_index = [](const char* name) {
    std::size_t f = 0;
    while (std::string_view(kOutputFiles[f].name) != name) ++f;
    return f;
  };
  const std::size_t kCountBytes = 4 * (kSingleInteger.length() + kLineEnd.size());
  const std::size_t kPairBytes = kPair.length() + kLineEnd.size();
  std::mt19937_64 random(39);
  for (const NamedMesh& run : runs) {
    SCOPED_TRACE(run.name);
    TempDir dir;
    const fs::path original = dir / "run";
    fs::create_directory(original);
    write_mesh_files(run.mesh, original);
    const std::string mesh = mesh_bytes(read_mesh_files(original));
    const std::vector<std::string> files = folder_files(original);
    const fs::path damaged = dir / "damaged";
    fs::copy(original, damaged);
    int refused = 0;
    for (int trial = 0; trial < 500; ++trial) {
      const int kind = static_cast<int>(random() % 6);
      const char* kinds[] = {"byte", "line removed", "line doubled", "lines swapped", "cut",
                             "last digit"};
      auto f = static_cast<std::size_t>(random() % kOutputFileCount);
      std::size_t at = 0;
      if (kind == 5) {
        const bool is_node = random() % 2 == 0;
        f = file_index(is_node ? kDadosEnt : kBaricentrosEnt);
        const auto records = static_cast<std::size_t>(is_node ? run.mesh.n_nodes : run.mesh.n_volumes);
        at = (is_node ? kCountBytes : 0) + random() % records * kPairBytes +
             (random() % 2 + 1) * kRealField25Width - kRealExponentWidth - 1;
      }
      std::string bytes = files[f];
      if (kind != 5) at = random() % bytes.size();
      const std::size_t line_start = bytes.rfind('\n', at) == std::string::npos ? 0 : bytes.rfind('\n', at) + 1;
      const std::size_t line_end = std::min(bytes.find('\n', at) + 1, bytes.size());
      const std::string line = bytes.substr(line_start, line_end - line_start);
      if (kind == 5) {
        bytes[at] = bytes[at] == '9' ? '8' : static_cast<char>(bytes[at] + 1);
      } else if (kind == 0) {
        const char replacements[] = "0123456789 -+.E\r\n9";
        bytes[at] = replacements[random() % (sizeof(replacements) - 1)];
      } else if (kind == 1) {
        bytes.erase(line_start, line.size());
      } else if (kind == 2) {
        bytes.insert(line_start, line);
      } else if (kind == 3 && line_end < bytes.size()) {
        const std::size_t next_end = std::min(bytes.find('\n', line_end) + 1, bytes.size());
        bytes = bytes.substr(0, line_start) + bytes.substr(line_end, next_end - line_end) + line +
                bytes.substr(next_end);
      } else {
        bytes.resize(at);
      }
      if (bytes == files[f]) continue;
      testing::write_file(damaged / kOutputFiles[f].name, bytes);
      std::string read;
      const std::string report =
          testing::thrown_report([&] { read = mesh_bytes(read_mesh_files(damaged)); });
      if (report.empty()) {
        EXPECT_TRUE(read == mesh) << kOutputFiles[f].name << ", " << kinds[kind] << " at byte " << at;
      } else {
        ++refused;
      }
      testing::write_file(damaged / kOutputFiles[f].name, files[f]);
    }
    EXPECT_GT(refused, 250);
  }
}

// A mesh written, read and written again gives the same eleven files, at
// random levels and lattices with random lengths. The named rows: a lattice
// whose node 1562 has an x that the double nearest to its 16 digits writes
// otherwise; lines i x L / 5, not the equal steps of L bit for bit (so
// placed as graded lines) but printed as them.
TEST(CheckMeshContent, WritingWhatWasReadGivesTheSameFiles) {
  std::vector<NamedMesh> runs;
  runs.push_back({"lattice 124 x 11, node 1562",
                  build_lattice_mesh(124, 11, 15932.948842382508, -556174.0814511782)});
  std::vector<double> xs(13);
  std::vector<double> ys(6);
  for (std::size_t i = 0; i < xs.size(); ++i) xs[i] = static_cast<double>(i) * (2.0 / 12);
  for (std::size_t i = 0; i < ys.size(); ++i) ys[i] = static_cast<double>(i) * 9.019e-05 / 5;
  xs.back() = 2.0;
  runs.push_back({"lattice 12 x 5, y lines i x L / 5", build_lattice_mesh(xs, ys)});
  ASSERT_EQ(runs.back().mesh.dy, 0.0);  // graded, as the row needs
  std::mt19937_64 random(3939);
  auto length = [&random] {
    const double mantissa = std::uniform_real_distribution<double>(-1.0, 1.0)(random);
    const int exponent = std::uniform_int_distribution<int>(-12, 12)(random);
    return mantissa == 0.0 ? 1.0 : std::ldexp(mantissa, exponent * 3);
  };
  for (int i = 0; i < 60; ++i) {
    const auto level = static_cast<std::int32_t>(1 + random() % 10);
    runs.push_back({"level", build_mesh(level, length(), length())});
    const bool fan = random() % 2 == 0;
    const std::int64_t cells_x = (1 + static_cast<std::int64_t>(random() % 30)) * (fan ? 2 : 1);
    const std::int64_t cells_y = (1 + static_cast<std::int64_t>(random() % 30)) * (fan ? 2 : 1);
    runs.push_back({"lattice", build_lattice_mesh(cells_x, cells_y, length(), length(),
                                                  fan ? LatticePattern::fan : LatticePattern::crossed)});
  }
  TempDir dir;
  TempDir again;
  for (const NamedMesh& run : runs) {
    SCOPED_TRACE(std::string(run.name) + " " + std::to_string(run.mesh.cells_x) + " x " +
                 std::to_string(run.mesh.cells_y) + " level " + std::to_string(run.mesh.level));
    write_mesh_files(run.mesh, dir.path());
    const std::vector<std::string> written = folder_files(dir.path());
    const Mesh read = read_mesh_files(dir.path());
    write_mesh_files(read, again.path());
    const std::vector<std::string> rewritten = folder_files(again.path());
    for (std::size_t f = 0; f < written.size(); ++f) {
      EXPECT_TRUE(written[f] == rewritten[f]) << kOutputFiles[f].name;
    }
  }
}

}  // namespace
}  // namespace malha
