// Reading a run's files back: what the reader fills is what the program
// wrote, to the last byte of every field.

#include "readback/read_mesh_files.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>

#include "mesh/mesh.h"
#include "output/golden_files.h"
#include "output/memory_output.h"
#include "formats/number_fields.h"
#include "output/write_node_files.h"
#include "output/write_volume_files.h"
#include "support/dialogue.h"
#include "support/run_malha.h"
#include "readback/record_reader.h"
#include "support/test_mesh.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

// Level 3 on 2 x 1, whose files the tests below damage.
fs::path level3_folder() { return testing::kGoldenDir / "level3_2x1"; }

// Level 3's folder with `dados` for its "dados.ent" is refused at that
// file with `description`.
void expect_dados_refused(const std::string& dados, const std::string& description) {
  TempDir dir;
  for (const char* name : {kConectividadesEnt, kBaricentrosEnt}) {
    fs::copy_file(level3_folder() / name, dir / name);
  }
  testing::write_file(dir / kDadosEnt, dados);
  Mesh mesh;
  EXPECT_EQ(testing::thrown_report([&] { read_mesh_files(mesh, dir.path().string()); }),
            testing::error_report("F4007", "READ(" + path_in(dir.path().string(), kDadosEnt) + ")",
                                  description));
}

// The three files read back, written again from the mesh read.
void expect_rewritten_alike(const Mesh& mesh, const fs::path& folder) {
  testing::MemoryOutput output;
  write_node_files(output.files, mesh);  // the counts and nodes of "dados.ent"
  write_volume_files(output.files, mesh);
  const std::pair<OutputFile, const char*> files[] = {{OutputFile::dados_ent, kDadosEnt},
                                                      {OutputFile::conectividades_ent, kConectividadesEnt},
                                                      {OutputFile::baricentros_ent, kBaricentrosEnt}};
  for (const auto& [file, name] : files) {
    SCOPED_TRACE(name);
    const std::string difference =
        testing::first_difference(read_file(folder / name), output.bytes(file));
    EXPECT_TRUE(difference.empty()) << difference;
  }
}

TEST(ReadMeshFiles, WritingWhatWasReadGivesTheGoldenFilesAgain) {
  for (const char* name : {"level1_1x1", "level3_2x1", "level4_2x1"}) {
    SCOPED_TRACE(name);
    Mesh mesh;
    read_mesh_files(mesh, (testing::kGoldenDir / name).string());
    expect_rewritten_alike(mesh, testing::kGoldenDir / name);
  }
}

// A run's files against the mesh built in memory: the same counts and
// numbers, and reals within the 16 digits the files keep.
TEST(ReadMeshFiles, ReadsTheMeshARunBuilt) {
  TempDir dir;
  const testing::RunResult run = testing::run_malha(dir.path(), "6\n2.5\n0.7\n0\n");
  ASSERT_EQ(run.exit_status, 0) << run.err;
  Mesh mesh;
  read_mesh_files(mesh, dir.path().string());
  const Mesh built = testing::built_mesh(6, 2.5, 0.7);
  ASSERT_EQ(mesh.n_nodes, built.n_nodes);
  ASSERT_EQ(mesh.n_volumes, built.n_volumes);
  EXPECT_EQ(mesh.n_real_volumes, built.n_real_volumes);
  EXPECT_EQ(mesh.n_fict_volumes, built.n_fict_volumes);
  auto expect_close = [](double read, double exact) {
    EXPECT_LE(std::fabs(read - exact), 1e-15 * std::fmax(1.0, std::fabs(exact)));
  };
  for (std::int32_t n = 1; n <= mesh.n_nodes; ++n) {
    expect_close(mesh.node_coords(n, 1), built.node_coords(n, 1));
    expect_close(mesh.node_coords(n, 2), built.node_coords(n, 2));
  }
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
    EXPECT_EQ(testing::row_of(mesh.volume_nodes, v), testing::row_of(built.volume_nodes, v));
    EXPECT_EQ(testing::row_of(mesh.volume_neighbours, v), testing::row_of(built.volume_neighbours, v));
    expect_close(mesh.barycentres(v, 1), built.barycentres(v, 1));
    expect_close(mesh.barycentres(v, 2), built.barycentres(v, 2));
  }
  expect_rewritten_alike(mesh, dir.path());
}

// Node coordinates at the edges of the real field form: three-digit
// exponents without the letter, the smallest subnormal, negative values.
TEST(ReadMeshFiles, ReadsEveryExponentForm) {
  const double values[] = {1e-100, -4.9406564584124654e-324, 1e300, -2.5e-7,
                           76.09624449125756, 0.0, 2.2250738585072014e-308, -1.7976931348623157e308};
  // A level-1 mesh whose eight nodes hold these coordinates (twice over),
  // every volume on nodes 1 to 3 with its barycentre at node 1, written by
  // the program's writers.
  constexpr int kValues = static_cast<int>(std::size(values));
  Mesh written_mesh = testing::counted_mesh(1, 1.0, 1.0);
  const std::int32_t n_nodes = written_mesh.n_nodes;
  const std::int32_t n_volumes = written_mesh.n_volumes;
  written_mesh.node_coords.allocate(n_nodes);
  written_mesh.volume_nodes.allocate(n_volumes);
  written_mesh.volume_neighbours.allocate(n_volumes);
  written_mesh.barycentres.allocate(n_volumes);
  for (int i = 0; i < 2 * n_nodes; ++i) {
    written_mesh.node_coords(i / 2 + 1, i % 2 + 1) = values[i % kValues];
  }
  for (std::int32_t v = 1; v <= n_volumes; ++v) {
    for (int col = 1; col <= 3; ++col) {
      written_mesh.volume_nodes(v, col) = col;
      written_mesh.volume_neighbours(v, col) = 0;
    }
    written_mesh.barycentres(v, 1) = values[0];
    written_mesh.barycentres(v, 2) = values[1];
  }
  testing::MemoryOutput output;
  write_node_files(output.files, written_mesh);
  write_volume_files(output.files, written_mesh);
  // These tables are no mesh's, which the read-back refuses: their node
  // records are read by the record reader.
  TempDir dir;
  testing::write_file(dir / kDadosEnt, output.bytes(OutputFile::dados_ent));
  RecordReader reader((dir / kDadosEnt).string());
  for (int i = 0; i < 4; ++i) reader.next(static_cast<std::size_t>(kSingleInteger.length()), "counts");
  const char* record = nullptr;
  for (int i = 0; i < 2 * n_nodes; ++i) {
    SCOPED_TRACE(values[i % kValues]);
    if (i % 2 == 0) record = reader.next(static_cast<std::size_t>(kPair.length()), "nodes");
    const double read = read_real_field(reader, record + (i % 2) * kRealField25Width,
                                        1 + (i % 2) * kRealField25Width);
    char written[kRealField25Width];
    char rewritten[kRealField25Width];
    real_field_25_15(written, values[i % kValues]);
    real_field_25_15(rewritten, read);
    EXPECT_EQ(std::string(rewritten, kRealField25Width), std::string(written, kRealField25Width));
  }
}

// Random doubles of every magnitude (random bit patterns) and of the
// magnitudes a mesh holds, in both real field forms: each is read back as
// the double nearest to the field's decimal where that one is written as
// the field, else as a neighbour written so: the same bytes again.
TEST(ReadMeshFiles, EveryDoubleReadsBackAsItsField) {
  TempDir dir;
  testing::write_file(dir / "field", "x");
  const RecordReader reader((dir / "field").string());
  std::mt19937_64 random(20261210);
  std::uniform_real_distribution<double> typical(-1e6, 1e6);
  for (int i = 0; i < 200'000; ++i) {
    double value = i % 2 == 0 ? std::bit_cast<double>(random()) : typical(random) / (1 + i % 7);
    if (!std::isfinite(value)) continue;
    for (const RealFieldForm& form : {kRealField25, kRealField18}) {
      char field[kRealField25Width];
      char again[kRealField25Width];
      const auto write = form.width == kRealField25.width ? real_field_25_15 : real_field_18_9;
      write(field, value);
      const double read = read_real_field(reader, field, 1, form);
      write(again, read);
      const std::string_view text(field, static_cast<std::size_t>(form.width));
      ASSERT_EQ(std::string_view(again, text.size()), text) << value;
      // The field's decimal, converted by the standard library.
      const std::string_view shown = text.substr(text.find_first_not_of(' '));
      const std::size_t sign = shown.find_last_of("+-");
      std::string decimal(shown.substr(0, sign));
      if (shown[sign - 1] != 'E') decimal += 'E';
      decimal += shown.substr(sign);
      double nearest = 0.0;
      std::from_chars(decimal.data(), decimal.data() + decimal.size(), nearest);
      write(again, nearest);
      if (std::string_view(again, text.size()) == text) {
        ASSERT_EQ(read, nearest) << text;
      }
    }
  }
}

// Counts that agree with each other but are not those of a mesh level or a
// lattice are refused at line 4 of "dados.ent", before any node is read;
// first volumes that begin no lattice of the counts at volume 2's line.
TEST(ReadMeshFiles, CountsOfNoLevelNorLatticeAreRefused) {
  struct Case {
    const char* name;
    const char* counts;  // n_nodes, n_volumes, n_real_volumes, n_fict_volumes
    const char* description;
    const char* volume_2 = nullptr;  // level 3's second volume replaced by this
  };
  const char* none = " nodes (lines 1 to 4) are the counts of no level and no lattice";
  const std::string cases_none[] = {
      std::string("line 4: 6 real and 10 fictitious volumes and 13") + none,
      std::string("line 4: 1 real and 15 fictitious volumes and 13") + none,
      std::string("line 4: 0 real and 16 fictitious volumes and 13") + none,
      std::string("line 4: 8 real and 9 fictitious volumes and 13") + none};
  const Case cases[] = {
      {"real volumes of no lattice", "      13      16       6      10", cases_none[0].c_str()},
      {"one real volume (level 0)", "      13      16       1      15", cases_none[1].c_str()},
      {"no real volumes", "      13      16       0      16", cases_none[2].c_str()},
      {"level 26's volumes with level 3's nodes", "      136712524867108864   16384",
       "line 4: 67108864 real and 16384 fictitious volumes (lines 3 and 4) are those of the "
       "crossed lattice of 4096 x 4096 cells, with 33579009 nodes, not the 13 of line 1"},
      {"one fictitious volume more", "      13      17       8       9", cases_none[3].c_str()},
      {"one node more", "      14      16       8       8",
       "line 4: 8 real and 8 fictitious volumes (lines 3 and 4) are those of the fan lattice of "
       "2 x 2 cells, with 13 nodes, not the 14 of line 1"},
      {"level 3's counts, another first fan", "      13      16       8       8",
       "line 19: volumes 1 and 2 are not the first volumes of a lattice of these counts",
       "       5       2       6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dados = read_file(level3_folder() / kDadosEnt);
    std::string counts;
    for (int i = 0; i < 4; ++i) counts += std::string(c.counts + 8 * i, 8) + "\r\n";
    dados.replace(0, counts.size(), counts);
    if (c.volume_2 != nullptr) dados.replace(dados.find("       5       2       3"), 24, c.volume_2);
    expect_dados_refused(dados, c.description);
  }
}

TEST(ReadMeshFiles, NodesOffLatticeLinesAreRefused) {
  const struct {
    const char* name;
    int line;  // of the node record replaced
    const char* record;
    const char* description;
  } cases[] = {
      {"row 1 turning back", 6, "    3.000000000000000E+00    0.000000000000000E+00",
       "line 33: the lattice nodes of row 1 do not lie on lattice lines: x[2] (2) after x[1] "
       "(3): the lines are not strictly increasing or strictly decreasing"},
      {"a node off its column", 9, "    1.500000000000000E+00    5.000000000000000E-01",
       "line 33: lattice node 5 (line 9) does not lie on the lines of node 2 (line 6) and node "
       "4 (line 8)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string dados = read_file(level3_folder() / kDadosEnt);
    dados.replace(40 + static_cast<std::size_t>(c.line - 5) * 52, 50, c.record);  // 4 counts
    expect_dados_refused(dados, c.description);
  }
}

}  // namespace
}  // namespace malha
