#include "formats/byte_sink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

// Whole runs show that opening keeps an earlier run's file and that the
// first block replaces it; a file that gets no block is emptied at close.
TEST(FileSink, AFileThatReceivesNothingIsEmptiedAtClose) {
  TempDir dir;
  const fs::path path = dir / "baricentros.ent";
  write_file(path, "old content\r\n");
  FileSink sink(path.string());
  sink.close();
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(read_file(path), "");
}

// The cut that interrupts make: a file that has begun writing keeps only its
// written blocks, a file that has not keeps its content.
TEST(FileSink, CutIfStartedLeavesOnlyTheWrittenBlocks) {
  TempDir dir;
  const std::string old_content(3 * FileSink::kBlockBytes, 'Z');
  const fs::path started = dir / "malha.txt";
  const fs::path waiting = dir / "dados_gerais.txt";
  write_file(started, old_content);
  write_file(waiting, old_content);
  FileSink sink(started.string());
  FileSink idle(waiting.string());
  write_records(sink, 150'000);  // 1.5 MB: one block written, the rest buffered
  sink.cut_if_started();
  idle.cut_if_started();
  const std::string bytes = read_file(started);
  ASSERT_GT(bytes.size(), 0u);
  EXPECT_LE(bytes.size(), FileSink::kBlockBytes);
  EXPECT_EQ(bytes.size() % 10, 0u);  // whole records
  EXPECT_EQ(bytes.substr(0, 10), "       0\r\n");
  EXPECT_EQ(bytes.find('Z'), std::string::npos);
  EXPECT_EQ(read_file(waiting), old_content);
  sink.close();
  idle.close();
  EXPECT_EQ(read_file(started).size(), 150'000u * 10);
  EXPECT_EQ(read_file(waiting), "");
}

// A failure unwinding destroys the sinks before close: the one that has begun
// writing keeps only its written blocks, the other its old content.
TEST(FileSink, ASinkDestroyedBeforeCloseCutsWhatItStarted) {
  TempDir dir;
  const std::string old_content(3 * FileSink::kBlockBytes, 'Z');
  const fs::path started = dir / "malha.txt";
  const fs::path waiting = dir / "dados_gerais.txt";
  write_file(started, old_content);
  write_file(waiting, old_content);
  {
    FileSink sink(started.string());
    FileSink idle(waiting.string());
    write_records(sink, 150'000);
  }
  const std::string bytes = read_file(started);
  ASSERT_GT(bytes.size(), 0u);
  EXPECT_EQ(bytes.size() % 10, 0u);
  EXPECT_EQ(bytes.find('Z'), std::string::npos);
  EXPECT_EQ(read_file(waiting), old_content);
}

}  // namespace
}  // namespace malha
