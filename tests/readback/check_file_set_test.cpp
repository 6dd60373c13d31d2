// The labelled counts of "dados_malha.txt" and "dados_gerais.txt" against
// "dados.ent" and against each other, one changed count record at a time.

#include "readback/check_file_set.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "output/golden_files.h"
#include "readback/read_mesh_files.h"
#include "support/run_malha.h"
#include "system/error.h"

namespace malha {
namespace {

namespace fs = std::filesystem;

TEST(CheckFileSet, LabelledCountsMustAgreeWithDadosEntAndEachOther) {
  // Level 3 on 2 x 1: 8 real and 8 fictitious volumes, 9 real and 4
  // fictitious nodes, 13 in all.
  const fs::path golden = testing::kGoldenDir / "level3_2x1";
  Mesh mesh;
  read_mesh_files(mesh, golden.string());
  struct Change {
    const char* file;
    int line;   // 1 to 4, the count record
    int value;  // written in its columns 30 to 37
  };
  struct Row {
    const char* name;
    std::vector<Change> changes;
    std::string refusal;  // empty: accepted
  };
  const Row rows[] = {
      {"as written", {}, ""},
      {"real volumes", {{"dados_malha.txt", 1, 9}}, "the count of real volumes, 9, is not the 8 of"},
      {"fictitious volumes", {{"dados_gerais.txt", 2, 7}},
       "the count of fictitious volumes, 7, is not the 8 of"},
      {"nodes short of dados.ent", {{"dados_malha.txt", 4, 5}},
       "the count of fictitious nodes, 5, is not the 4 of the mesh in dados.ent"},
      {"negative", {{"dados_malha.txt", 3, -1}, {"dados_malha.txt", 4, 14}},
       "the count of real nodes, -1, is negative"},
      {"the two files differ", {{"dados_gerais.txt", 3, 10}, {"dados_gerais.txt", 4, 3}},
       "the count of real nodes, 10, is not the 9 of the mesh in dados.ent"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    testing::TempDir dir;
    fs::copy(golden, dir.path(), fs::copy_options::recursive);
    for (const Change& change : row.changes) {
      std::string bytes = testing::read_file(dir / change.file);
      char field[16];
      std::snprintf(field, sizeof(field), "%8d", change.value);
      bytes.replace(static_cast<std::size_t>(change.line - 1) * 39 + 29, 8, field);
      testing::write_file(dir / change.file, bytes);
    }
    std::string report;
    try {
      check_file_set(mesh, dir.path().string());
    } catch (const Error& error) {
      report = error.what();
      EXPECT_EQ(error.code(), "F4007");
    }
    if (row.refusal.empty()) {
      EXPECT_EQ(report, "");
    } else {
      EXPECT_NE(report.find(row.refusal), std::string::npos) << report;
    }
  }
}

}  // namespace
}  // namespace malha
