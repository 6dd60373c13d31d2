#include "output/byte_sink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "output/output_files.h"
#include "output/record_writer.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

void write_records(ByteSink& sink, int count) {
  RecordWriter out(sink);
  for (int i = 0; i < count; ++i) {
    out.int_field_8(i);
    out.end_record();
  }
}

TEST(FileSink, ReplacesALongerFileWithoutATrace) {
  TempDir dir;
  const fs::path path = dir / "malha.txt";
  write_file(path, std::string(5 * 1024 * 1024, 'o'));
  FileSink sink(path.string());
  write_records(sink, 3);
  sink.close();
  EXPECT_EQ(read_file(path), "       0\r\n       1\r\n       2\r\n");
}

TEST(FileSink, ManyBlocksArriveInOrder) {
  TempDir dir;
  const fs::path path = dir / "nos_malha.txt";
  FileSink sink(path.string());
  const int count = 300'000;  // about 3 MB: several blocks
  write_records(sink, count);
  sink.close();
  const std::string bytes = read_file(path);
  ASSERT_EQ(bytes.size(), static_cast<std::size_t>(count) * 10);
  EXPECT_EQ(bytes.substr(bytes.size() - 10), "  299999\r\n");
  EXPECT_EQ(bytes.substr(10 * 123456, 10), "  123456\r\n");
}

TEST(FileSink, KeepsTheOldContentUntilTheFirstBlockIsWritten) {
  TempDir dir;
  const fs::path path = dir / "dados.ent";
  write_file(path, "old content\r\n");
  {
    FileSink sink(path.string());
    write_records(sink, 2);  // still in the buffer
    EXPECT_EQ(read_file(path), "old content\r\n");
    sink.close();
  }
  EXPECT_EQ(read_file(path), "       0\r\n       1\r\n");
}

TEST(FileSink, AFileThatReceivesNothingIsEmptiedAtClose) {
  TempDir dir;
  const fs::path path = dir / "baricentros.ent";
  write_file(path, "old content\r\n");
  FileSink sink(path.string());
  sink.close();
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(read_file(path), "");
}

TEST(FileSinkDeathTest, AFullDeviceIsAWriteFailure) {
  TempDir dir;
  const fs::path path = dir / "malha.txt";
  fs::create_symlink("/dev/full", path);
  const auto write_to_full = [&] {
    FileSink sink(path.string());
    write_records(sink, 1);
    sink.close();
  };
  EXPECT_EXIT(write_to_full(), ::testing::ExitedWithCode(1),
              "run-time error F4002: WRITE\\(.*malha.txt\\)");
}

TEST(FileSinkDeathTest, ADirectoryInTheWayIsAnOpenFailure) {
  TempDir dir;
  const fs::path path = dir / "dados_gerais.txt";
  fs::create_directory(path);
  EXPECT_EXIT(FileSink(path.string()), ::testing::ExitedWithCode(1),
              "run-time error F4001: OPEN\\(.*dados_gerais.txt\\)");
}

// When the k-th file cannot be opened, the files opened before it keep what
// an earlier run left in them, and the files after it are not created.
TEST(OpenOutputFilesDeathTest, FailedOpenLeavesEarlierFilesUntouched) {
  TempDir dir;
  write_file(dir / "dados_malha.txt", "earlier dados_malha\r\n");
  write_file(dir / "nos_malha.txt", "earlier nos_malha\r\n");
  fs::create_directory(dir / "malha.txt");
  const auto open_all = [&] {
    if (chdir(dir.path().c_str()) != 0) return;
    OutputFiles files;
    open_output_files(files);
  };
  EXPECT_EXIT(open_all(), ::testing::ExitedWithCode(1), "OPEN\\(malha.txt\\)");
  EXPECT_EQ(read_file(dir / "dados_malha.txt"), "earlier dados_malha\r\n");
  EXPECT_EQ(read_file(dir / "nos_malha.txt"), "earlier nos_malha\r\n");
  EXPECT_FALSE(fs::exists(dir / "nos_conectividade.txt"));
}

}  // namespace
}  // namespace malha
