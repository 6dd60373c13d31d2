// The plot scripts draw the files of a real run: each renders to a PNG image
// without a message from gnuplot, the same picture whatever the locale (none,
// C, or one of UTF-8).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/recording_program.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::shell_quote;

bool has_gnuplot() { return std::system("command -v gnuplot >/dev/null 2>&1") == 0; }

TEST(PlotScripts, RenderALevel5RunToPng) {
  if (!has_gnuplot()) GTEST_SKIP() << "gnuplot is not installed";
  testing::TempDir dir;
  const testing::RunResult run =
      testing::run_malha(dir.path(), "5\n2\n1\n0\n", {.environment = {{"COMSPEC", "true"}}});
  ASSERT_EQ(run.exit_status, 0) << run.err;

  // The locale variables the test process has are dropped first.
  const char* const locales[] = {"", "LANG=C", "LANG=C.UTF-8"};
  for (const char* script : {"malha_real.gnu", "malha.gnu", "malha_baricentros.gnu"}) {
    fs::copy_file(fs::path(MALHA_SOURCE_DIR) / "plots" / script, dir / script);
    std::string first_png;
    for (const char* locale : locales) {
      SCOPED_TRACE(std::string(script) + " " + locale);
      const std::string image = std::string(script) + ".png";
      const testing::ShellResult result = testing::run_shell(
          dir.path(), std::string("env -u LANG -u LC_ALL -u LANGUAGE -u LC_CTYPE ") + locale +
                          " gnuplot -e " +
                          shell_quote("set terminal pngcairo size 800,600; set output '" + image +
                                      "'") +
                          " " + script);
      EXPECT_EQ(result.exit_status, 0);
      EXPECT_EQ(result.err, "");  // no warning such as a file without valid points
      const std::string png = testing::read_file(dir / image);
      ASSERT_GT(png.size(), 8U);
      EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
      if (first_png.empty()) first_png = png;
      EXPECT_TRUE(png == first_png) << "another picture than with no locale";
    }
  }
}

}  // namespace
}  // namespace malha
