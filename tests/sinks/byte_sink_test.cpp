#include "sinks/byte_sink.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "output/record_writer.h"
#include "support/dialogue.h"
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

// An early end: the cut an interrupt makes (cut_if_started), and a failure
// unwinding, which destroys the sinks before close. A file that has begun
// writing keeps only its written blocks, a file that has not its content.
TEST(FileSink, AnEarlyEndLeavesOnlyTheWrittenBlocks) {
  const std::string old_content(3 * FileSink::kBlockBytes, 'Z');
  for (const bool is_interrupt : {true, false}) {
    SCOPED_TRACE(is_interrupt ? "interrupt" : "failure unwinding");
    TempDir dir;
    const fs::path started = dir / "malha.txt";
    const fs::path waiting = dir / "dados_gerais.txt";
    write_file(started, old_content);
    write_file(waiting, old_content);
    {
      FileSink sink(started.string());
      FileSink idle(waiting.string());
      write_records(sink, 150'000);  // 1.5 MB: one block written, the rest buffered
      if (is_interrupt) {
        sink.cut_if_started();
        idle.cut_if_started();
      }
      const std::string bytes = read_file(started);
      if (is_interrupt) {
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
    }
    if (!is_interrupt) {
      const std::string bytes = read_file(started);
      ASSERT_GT(bytes.size(), 0u);
      EXPECT_EQ(bytes.size() % 10, 0u);
      EXPECT_EQ(bytes.find('Z'), std::string::npos);
      EXPECT_EQ(read_file(waiting), old_content);
    }
  }
}

// A rerun over an earlier file: between any two blocks the file holds the
// old content whole or a beginning of the new one, and at close the new one.
// Equal blocks are compared, not written: a file equal throughout keeps its
// inode; a difference replaces it, the equal beginning copied over.
TEST(FileSink, ARerunHoldsTheOldFileOrABeginningOfTheNewOne) {
  const std::size_t block = FileSink::kBlockBytes;
  std::string pattern(block * 7 / 2, ' ');
  for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>('a' + i % 23);
  const auto changed_at = [&](std::size_t at) {
    std::string bytes = pattern;
    bytes[at] = '#';
    return bytes;
  };
  struct Case {
    const char* name;
    std::string old_bytes;
    std::string new_bytes;
    bool keeps_inode;
  };
  const Case cases[] = {
      {"the same bytes", pattern, pattern, true},
      {"a difference in the third block", pattern, changed_at(block * 5 / 2), false},
      {"a difference in the last byte", pattern, changed_at(pattern.size() - 1), false},
      {"a difference in the first byte", pattern, changed_at(0), false},
      {"a shorter old file", pattern.substr(0, block), pattern, false},
      {"a longer old file", pattern + "tail", pattern, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path path = dir / "malha.txt";
    write_file(path, c.old_bytes);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    {
      FileSink sink(path.string());
      sink.reserve(c.new_bytes.size());
      for (std::size_t at = 0; at < c.new_bytes.size(); at += block / 2) {
        const std::size_t size = std::min(block / 2, c.new_bytes.size() - at);
        std::memcpy(sink.room(size), c.new_bytes.data() + at, size);
        sink.commit(size);
        const std::string now = read_file(path);
        ASSERT_TRUE(now == c.old_bytes || c.new_bytes.compare(0, now.size(), now) == 0)
            << "after " << at + size << " bytes the file holds " << now.size() << " bytes";
      }
      sink.close();
    }
    ASSERT_TRUE(read_file(path) == c.new_bytes);
    struct stat after {};
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino == before.st_ino, c.keeps_inode);
    EXPECT_EQ(testing::names_in(dir.path()), std::set<std::string>{"malha.txt"});
  }
}

}  // namespace
}  // namespace malha
