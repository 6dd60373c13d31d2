// A temporary file's name beside the final one, what each end of a write
// leaves, and which leftovers a cleanup removes.

#include "sinks/temporary_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "support/dialogue.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::names_in;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

// "g.vtu." + ten ASCII letters or digits + ".tmp".
bool is_random_temporary_of_g_vtu(const std::string& name) {
  const std::string head = "g.vtu.";
  const std::string tail = ".tmp";
  if (name.size() != head.size() + 10 + tail.size() || !name.starts_with(head) ||
      !name.ends_with(tail)) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(head.size()),
                     name.end() - static_cast<std::ptrdiff_t>(tail.size()), [](char c) {
                       return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9');
                     });
}

TEST(TemporaryFile, IsNamedBesideTheFinalFileAndGoesHoweverTheWriteEnds) {
  struct Row {
    const char* name;
    std::function<void(TemporaryFile&)> end;  // the sink is destroyed after it
    const char* final_bytes;
  };
  const Row rows[] = {
      {"finished", [](TemporaryFile& sink) { sink.finish(); }, "new"},
      {"destroyed while written", [](TemporaryFile&) {}, "old"},
      {"completed, destroyed before the rename", [](TemporaryFile& sink) { sink.complete(); },
       "old"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    write_file(dir / "g.vtu", "old");
    {
      TemporaryFile sink((dir / "g.vtu").string());
      TemporaryFile other((dir / "g.vtu").string());
      sink.put_text("new");
      const std::set<std::string> names = names_in(dir.path());
      ASSERT_EQ(names.size(), 3u);  // the final file and two temporaries
      for (const std::string& name : names) {
        if (name == "g.vtu") continue;
        EXPECT_TRUE(is_random_temporary_of_g_vtu(name)) << name;
        EXPECT_TRUE(is_temporary_name_of(name, "g.vtu")) << name;
      }
      row.end(sink);
    }
    EXPECT_EQ(names_in(dir.path()), std::set<std::string> {"g.vtu"});
    EXPECT_EQ(read_file(dir / "g.vtu"), row.final_bytes);
  }
}

// What killed writers of "g.vtu" left goes; other names, and the temporary
// of a writer still writing, stay.
TEST(TemporaryFile, TheCleanupRemovesOnlyLeftoversNoWriterHolds) {
  TempDir dir;
  for (const char* name : {"g.vtu.tmp", "g.vtu.AbCdE01234.tmp", "g.vtu.AbCdE0123.tmp",
                           "g.vtu.AbCdE_1234.tmp", "h.vtu.AbCdE01234.tmp", "g.vtu"}) {
    write_file(dir / name, "left");
  }
  TemporaryFile live((dir / "g.vtu").string());
  std::set<std::string> expected = {"g.vtu.AbCdE0123.tmp", "g.vtu.AbCdE_1234.tmp",
                                    "h.vtu.AbCdE01234.tmp", "g.vtu"};
  expected.merge(names_in(dir.path()));
  for (const char* gone : {"g.vtu.tmp", "g.vtu.AbCdE01234.tmp"}) expected.erase(gone);
  int os_error = 0;
  ASSERT_TRUE(remove_leftovers(
      dir.path(), [](std::string_view name) { return is_temporary_name_of(name, "g.vtu"); },
      os_error));
  EXPECT_EQ(names_in(dir.path()), expected);
  live.finish();
}

}  // namespace
}  // namespace malha
