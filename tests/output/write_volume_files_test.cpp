#include "output/write_volume_files.h"

#include <gtest/gtest.h>

#include "output/memory_output.h"

namespace malha {
namespace {

using testing::records;

class WriteVolumeFilesLevel1 : public ::testing::Test {
 protected:
  void SetUp() override { write_volume_files(run_.files, run_.mesh); }
  std::string file(OutputFile f) { return run_.bytes(f); }

  testing::Level1Output run_;
};

TEST_F(WriteVolumeFilesLevel1, OutlineFiles) {
  const std::string real_groups = records({
      "    0.000000000000000E+00    0.000000000000000E+00",
      "    1.000000000000000E+00    0.000000000000000E+00",
      "    0.000000000000000E+00    1.000000000000000E+00",
      "    0.000000000000000E+00    0.000000000000000E+00",
      " ",
      "    1.000000000000000E+00    0.000000000000000E+00",
      "    1.000000000000000E+00    1.000000000000000E+00",
      "    0.000000000000000E+00    1.000000000000000E+00",
      "    1.000000000000000E+00    0.000000000000000E+00",
      " ",
  });
  EXPECT_EQ(file(OutputFile::malha_real), real_groups);
  EXPECT_EQ(file(OutputFile::malha),
            real_groups + records({
                              "    0.000000000000000E+00   -1.000000000000000E+00",
                              "    1.000000000000000E+00    0.000000000000000E+00",
                              "    0.000000000000000E+00    0.000000000000000E+00",
                              "    0.000000000000000E+00   -1.000000000000000E+00",
                              " ",
                              "    2.000000000000000E+00    1.000000000000000E+00",
                              "    1.000000000000000E+00    1.000000000000000E+00",
                              "    1.000000000000000E+00    0.000000000000000E+00",
                              "    2.000000000000000E+00    1.000000000000000E+00",
                              " ",
                              "    1.000000000000000E+00    2.000000000000000E+00",
                              "    0.000000000000000E+00    1.000000000000000E+00",
                              "    1.000000000000000E+00    1.000000000000000E+00",
                              "    1.000000000000000E+00    2.000000000000000E+00",
                              " ",
                              "   -1.000000000000000E+00    0.000000000000000E+00",
                              "    0.000000000000000E+00    0.000000000000000E+00",
                              "    0.000000000000000E+00    1.000000000000000E+00",
                              "   -1.000000000000000E+00    0.000000000000000E+00",
                              " ",
                          }));
}

TEST_F(WriteVolumeFilesLevel1, ConnectivityFiles) {
  EXPECT_EQ(file(OutputFile::nos_conectividade), records({
                                                      "       1       1       2       3",
                                                      "       2       2       4       3",
                                                      "       3       5       2       1",
                                                      "       4       6       4       2",
                                                      "       5       7       3       4",
                                                      "       6       8       1       3",
                                                  }));
  EXPECT_EQ(file(OutputFile::vol_conectividades), records({
                                                       "       1       2       3       6",
                                                       "       2       1       4       5",
                                                       "       3       1       0       0",
                                                       "       4       2       0       0",
                                                       "       5       2       0       0",
                                                       "       6       1       0       0",
                                                   }));
  EXPECT_EQ(file(OutputFile::conectividades_ent), records({
                                                       "       2       3       6",
                                                       "       1       4       5",
                                                       "       1       0       0",
                                                       "       2       0       0",
                                                       "       2       0       0",
                                                       "       1       0       0",
                                                   }));
}

TEST_F(WriteVolumeFilesLevel1, BarycentreFilesAreIdentical) {
  const std::string expected = records({
      "    3.333333333333333E-01    3.333333333333333E-01",
      "    6.666666666666666E-01    6.666666666666666E-01",
      "    3.333333333333333E-01   -3.333333333333333E-01",
      "    1.333333333333333E+00    6.666666666666666E-01",
      "    6.666666666666666E-01    1.333333333333333E+00",
      "   -3.333333333333333E-01    3.333333333333333E-01",
  });
  EXPECT_EQ(file(OutputFile::baricentros), expected);
  EXPECT_EQ(file(OutputFile::baricentros_ent), expected);
}

TEST_F(WriteVolumeFilesLevel1, UnlabelledMeshFile) {
  EXPECT_EQ(file(OutputFile::dados_ent), records({"       8", "       6", "       2", "       4"}) +
                                              testing::kLevel1NodePairs +
                                              records({
                                                  "       1       2       3",
                                                  "       2       4       3",
                                                  "       5       2       1",
                                                  "       6       4       2",
                                                  "       7       3       4",
                                                  "       8       1       3",
                                              }));
}

TEST_F(WriteVolumeFilesLevel1, WritesNothingToTheSummaryAndNodeFiles) {
  for (const OutputFile f : {OutputFile::dados_gerais, OutputFile::dados_malha,
                             OutputFile::nos_malha}) {
    EXPECT_EQ(file(f), "");
  }
}

}  // namespace
}  // namespace malha
