// A temporary file's name beside the final one, what each end of a write
// leaves, and which leftovers a cleanup removes.

#include "sinks/temporary_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
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
  const std::regex temporary_name(R"(g\.vtu\.[A-Za-z0-9]{10}\.tmp)");
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
        EXPECT_TRUE(std::regex_match(name, temporary_name)) << name;
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
