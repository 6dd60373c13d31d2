// Each of the eleven files written by the program's writers and read back
// through its description: the records hold the mesh's values in the
// order the file promises, every field is the writer's text for the value
// it shows, and the file has the size its layouts give. The three files
// that malha-vtk reads also go through the reader itself.

#include "formats/file_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "output/memory_output.h"
#include "output/write_count_records.h"
#include "output/write_node_files.h"
#include "output/write_processing_time.h"
#include "output/write_volume_files.h"
#include "readback/read_mesh_files.h"
#include "support/file_records.h"
#include "support/run_malha.h"
#include "support/test_mesh.h"

namespace malha {

// The test messages show a file by its name.
void PrintTo(OutputFile file, std::ostream* out) { *out << file_name(file); }

namespace {

using testing::RecordValues;
using Records = std::vector<RecordValues>;

constexpr double kSeconds = 12.375;

// The records each file should hold for `mesh`, with the values exact.
Records count_records(const Mesh& mesh) {
  return {{{mesh.n_real_volumes}, {}},
          {{mesh.n_fict_volumes}, {}},
          {{mesh.n_real_nodes}, {}},
          {{mesh.n_fict_nodes}, {}}};
}

RecordValues pair(const MeshTable<double, 2>& table, std::int32_t row) {
  return {{}, {table(row, 1), table(row, 2)}};
}

Records node_pairs(const Mesh& mesh) {
  Records records;
  for (std::int32_t n = 1; n <= mesh.n_nodes; ++n) records.push_back(pair(mesh.node_coords, n));
  return records;
}

Records outlines(const Mesh& mesh, std::int32_t volumes) {
  Records records;
  for (std::int32_t v = 1; v <= volumes; ++v) {
    for (const int col : {1, 2, 3, 1}) records.push_back(pair(mesh.node_coords, mesh.volume_nodes(v, col)));
    records.push_back({});  // the separator
  }
  return records;
}

// One row per volume: its number first when `numbered`, then its three
// entries of `table`.
Records volume_rows(const MeshTable<std::int32_t, 3>& table, std::int32_t volumes, bool numbered) {
  Records records;
  for (std::int32_t v = 1; v <= volumes; ++v) {
    RecordValues row;
    if (numbered) row.ints.push_back(v);
    for (int col = 1; col <= 3; ++col) row.ints.push_back(table(v, col));
    records.push_back(row);
  }
  return records;
}

Records barycentres(const Mesh& mesh) {
  Records records;
  for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) records.push_back(pair(mesh.barycentres, v));
  return records;
}

Records joined(std::initializer_list<Records> parts) {
  Records all;
  for (const Records& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Records expected_records(OutputFile file, const Mesh& mesh) {
  switch (file) {
    case OutputFile::dados_malha: {
      Records numbered;
      for (std::int32_t n = 1; n <= mesh.n_nodes; ++n) {
        numbered.push_back({{n}, {mesh.node_coords(n, 1), mesh.node_coords(n, 2)}});
      }
      return joined({count_records(mesh), {{}, {}, {}}, numbered});
    }
    case OutputFile::nos_malha: return node_pairs(mesh);
    case OutputFile::malha: return outlines(mesh, mesh.n_volumes);
    case OutputFile::nos_conectividade: return volume_rows(mesh.volume_nodes, mesh.n_volumes, true);
    case OutputFile::malha_real: return outlines(mesh, mesh.n_real_volumes);
    case OutputFile::vol_conectividades: return volume_rows(mesh.volume_neighbours, mesh.n_volumes, true);
    case OutputFile::baricentros: return barycentres(mesh);
    case OutputFile::dados_ent:
      return joined({{{{mesh.n_nodes}, {}}, {{mesh.n_volumes}, {}}, {{mesh.n_real_volumes}, {}},
                      {{mesh.n_fict_volumes}, {}}},
                     node_pairs(mesh), volume_rows(mesh.volume_nodes, mesh.n_volumes, false)});
    case OutputFile::conectividades_ent: return volume_rows(mesh.volume_neighbours, mesh.n_volumes, false);
    case OutputFile::baricentros_ent: return barycentres(mesh);
    case OutputFile::dados_gerais: return joined({count_records(mesh), {{{}, {kSeconds}}}});
  }
  return {};
}

// A real read back from its 16 (or 10) digits: within half a unit of the
// last digit shown.
bool is_close(double read, double exact) {
  return std::fabs(read - exact) <= 1e-15 * std::fabs(exact);
}

void expect_same_records(const Records& read, const Records& expected) {
  ASSERT_EQ(read.size(), expected.size());
  for (std::size_t r = 0; r < read.size(); ++r) {
    SCOPED_TRACE(::testing::Message() << "record " << r + 1);
    EXPECT_EQ(read[r].ints, expected[r].ints);
    ASSERT_EQ(read[r].reals.size(), expected[r].reals.size());
    for (std::size_t k = 0; k < read[r].reals.size(); ++k) {
      EXPECT_TRUE(is_close(read[r].reals[k], expected[r].reals[k]))
          << read[r].reals[k] << " read for " << expected[r].reals[k];
    }
  }
}

// The eleven files of `mesh` as the run writes them, in `dir`.
void write_all_files(const Mesh& mesh, const testing::TempDir& dir) {
  testing::MemoryOutput output;
  write_count_records(output.files[OutputFile::dados_malha], mesh);
  write_count_records(output.files[OutputFile::dados_gerais], mesh);
  write_node_files(output.files, mesh);
  write_volume_files(output.files, mesh);
  write_processing_time(output.files, kSeconds);
  for (const OutputFileEntry& entry : kOutputFiles) {
    testing::write_file(dir / entry.name, output.bytes(entry.file));
  }
}

struct MeshCase {
  std::int32_t level;
  double dim_x;
  double dim_y;
};

// Each kind of mesh (levels 1 and 2, odd and even lattices), with equal and
// unequal lengths and a negative one.
const MeshCase kMeshes[] = {{1, 1.0, 1.0}, {2, 2.5, 0.7}, {3, 2.0, 1.0},
                            {4, 3.5, 1.25}, {5, -0.3, 7e10}, {8, 2.5, 0.7}};

class FileFormat : public ::testing::TestWithParam<OutputFile> {};

TEST_P(FileFormat, ReadsBackAsTheMeshThroughItsDescription) {
  const OutputFileEntry& entry = output_file(GetParam());
  for (const MeshCase& c : kMeshes) {
    SCOPED_TRACE(::testing::Message() << "level " << c.level << ", " << c.dim_x << " x " << c.dim_y);
    const Mesh mesh = testing::built_mesh(c.level, c.dim_x, c.dim_y);
    testing::TempDir dir;
    write_all_files(mesh, dir);
    EXPECT_EQ(std::filesystem::file_size(dir / entry.name), output_file_bytes(entry.file, mesh));
    expect_same_records(testing::read_records(dir / entry.name, entry.file, mesh),
                        expected_records(entry.file, mesh));
  }
}

std::vector<OutputFile> all_files() {
  std::vector<OutputFile> files;
  for (const OutputFileEntry& entry : kOutputFiles) files.push_back(entry.file);
  return files;
}

INSTANTIATE_TEST_SUITE_P(EachFile, FileFormat, ::testing::ValuesIn(all_files()),
                         [](const ::testing::TestParamInfo<OutputFile>& param_info) {
                           std::string name = file_name(param_info.param);
                           for (char& c : name) {
                             if (c == '.') c = '_';
                           }
                           return name;
                         });

// The three files that malha-vtk reads, through the reader itself: the
// counts and the tables come back.
TEST(FileFormats, TheReaderGivesBackTheMeshTheWritersWrote) {
  for (const MeshCase& c : kMeshes) {
    SCOPED_TRACE(::testing::Message() << "level " << c.level << ", " << c.dim_x << " x " << c.dim_y);
    const Mesh mesh = testing::built_mesh(c.level, c.dim_x, c.dim_y);
    testing::TempDir dir;
    write_all_files(mesh, dir);
    Mesh read;
    read_mesh_files(read, dir.path().string());
    EXPECT_EQ(read.n_nodes, mesh.n_nodes);
    EXPECT_EQ(read.n_volumes, mesh.n_volumes);
    EXPECT_EQ(read.n_real_volumes, mesh.n_real_volumes);
    EXPECT_EQ(read.n_fict_volumes, mesh.n_fict_volumes);
    for (std::int32_t n = 1; n <= mesh.n_nodes; ++n) {
      EXPECT_TRUE(is_close(read.node_coords(n, 1), mesh.node_coords(n, 1)) &&
                  is_close(read.node_coords(n, 2), mesh.node_coords(n, 2)))
          << "node " << n;
    }
    for (std::int32_t v = 1; v <= mesh.n_volumes; ++v) {
      EXPECT_EQ(testing::row_of(read.volume_nodes, v), testing::row_of(mesh.volume_nodes, v));
      EXPECT_EQ(testing::row_of(read.volume_neighbours, v), testing::row_of(mesh.volume_neighbours, v));
      EXPECT_TRUE(is_close(read.barycentres(v, 1), mesh.barycentres(v, 1)) &&
                  is_close(read.barycentres(v, 2), mesh.barycentres(v, 2)))
          << "volume " << v;
    }
  }
}

}  // namespace
}  // namespace malha
