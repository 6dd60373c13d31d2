#include "mesh/define_volumes.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_mesh.h"

namespace malha {
namespace {

using testing::Row;

struct VolumeTableCase {
  const char* name;
  int level;
  int first_volume;        // the rows below start at this volume
  std::vector<Row> rows;
};

TEST(DefineVolumes, WorkedVolumeTables) {
  const VolumeTableCase cases[] = {
      {"level 1", 1, 1, {{1, 2, 3}, {2, 4, 3}, {5, 2, 1}, {6, 4, 2}, {7, 3, 4}, {8, 1, 3}}},
      {"level 2", 2, 1,
       {{5, 1, 2}, {5, 2, 4}, {5, 4, 3}, {5, 3, 1}, {6, 2, 1}, {7, 4, 2}, {8, 3, 4}, {9, 1, 3}}},
      {"level 3", 3, 1,
       {{5, 1, 2}, {5, 2, 3}, {5, 3, 6}, {5, 6, 9}, {5, 9, 8}, {5, 8, 7}, {5, 7, 4}, {5, 4, 1},
        {10, 2, 1}, {10, 3, 2}, {11, 6, 3}, {11, 9, 6}, {12, 8, 9}, {12, 7, 8}, {13, 4, 7},
        {13, 1, 4}}},
      {"level 4", 4, 1,
       {{10, 1, 2}, {10, 2, 5}, {10, 5, 4}, {10, 4, 1}, {11, 2, 3}, {11, 3, 6},
        {11, 6, 5}, {11, 5, 2}, {12, 4, 5}, {12, 5, 8}, {12, 8, 7}, {12, 7, 4},
        {13, 5, 6}, {13, 6, 9}, {13, 9, 8}, {13, 8, 5}, {14, 2, 1}, {15, 3, 2},
        {16, 6, 3}, {17, 9, 6}, {18, 8, 9}, {19, 7, 8}, {20, 4, 7}, {21, 1, 4}}},
      {"level 5, first volume of the second block", 5, 9, {{9, 3, 4}}},
      {"level 5, fictitious volumes", 5, 33,
       {{26, 2, 1}, {26, 3, 2}, {27, 4, 3}, {27, 5, 4}, {28, 10, 5}, {28, 15, 10},
        {29, 20, 15}, {29, 25, 20}, {30, 24, 25}, {30, 23, 24}, {31, 22, 23},
        {31, 21, 22}, {32, 16, 21}, {32, 11, 16}, {33, 6, 11}, {33, 1, 6}}},
  };
  for (const VolumeTableCase& c : cases) {
    SCOPED_TRACE(c.name);
    Mesh mesh = testing::sized_mesh(c.level, 2.0, 1.0);
    define_volumes(mesh);
    testing::expect_rows(mesh.volume_nodes, c.first_volume, c.rows);
  }
}

}  // namespace
}  // namespace malha
