// Each name a call writes or reads, taken beforehand by a link to a file
// outside the folder, a pipe that nobody reads or a folder: no call waits,
// the outside file stays as it was (but where the eleven files are written
// through a link, as documented), and each call either writes what it
// writes in a clean folder or gives its report, naming the file.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/file_formats.h"
#include "malha/malha.h"
#include "support/run_malha.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

TEST(PlantedFiles, NoNameMakesACallWaitOrWriteOutsideItsFolder) {
  const Mesh mesh = build_mesh(3, 2.0, 1.0);
  const std::vector<double> u(static_cast<std::size_t>(mesh.n_real_volumes), 0.25);
  const auto series = [&](const fs::path& folder) {
    TimeSeries steps(mesh, folder, "s");
    steps.write(0.0, {{"u", u}});
    steps.write(1.0, {{"u", u}});
  };
  const auto program = [](const fs::path& folder) {  // killed at 5 s
    const testing::RunResult run = testing::run_malha(folder, "3\n2\n1\n0\n", {{}, false, 5});
    const std::string& err = run.err;  // "\r\nrun-time error CODE: OPERATION\r\n"
    if (run.exit_status > 128) throw Error("", "status " + std::to_string(run.exit_status), "");
    if (!err.empty()) throw Error(err.substr(17, 5), err.substr(24, err.find('\r', 2) - 24), "");
  };
  std::vector<std::string> eleven;
  for (const OutputFileEntry& entry : kOutputFiles) eleven.emplace_back(entry.name);
  struct Row {
    const char* what;
    std::function<void(const fs::path& folder)> call;
    std::vector<std::string> names;    // planted in turn
    const char* codes[3];              // link, pipe, folder: the report, or "" for success
    std::vector<std::string> written;  // as in a clean folder after a success
  };
  const Row rows[] = {
      {"the program", program, eleven, {"", "F4001", "F4001"},
       {eleven.begin(), eleven.end() - 1}},  // not the time
      {"write_mesh_files", [&](const fs::path& folder) { write_mesh_files(mesh, folder, 0.0); },
       eleven, {"", "F4001", "F4001"}, eleven},
      {"write_vtu", [&](const fs::path& folder) { write_vtu(mesh, folder / "g.vtu", {{"u", u}}); },
       {"g.vtu", "g.vtu.tmp", "g.vtu.AAAAAAAAAA.tmp"}, {"", "", "F4006"}, {"g.vtu"}},
      {"TimeSeries", series, {"s_0000.vtu", "s_0001.vtu", "s.pvd", "s.pvd.tmp", "s_0001.vtu.tmp"},
       {"", "", "F4006"}, {"s_0000.vtu", "s_0001.vtu", "s.pvd"}},
      {"read_mesh_files", [](const fs::path& folder) { read_mesh_files(folder); }, eleven,
       {"F4007", "F4004", "F4004"}, {}},
  };
  testing::TempDir clean;  // what each call writes where nothing is in its way
  for (const Row& row : rows) row.call(clean.path());
  const auto bytes_and_time = [](const fs::path& file) {
    return std::to_string(fs::last_write_time(file).time_since_epoch().count()) + read_file(file);
  };
  const char* const kPlants[] = {"link", "pipe", "folder"};
  for (const Row& row : rows) {
    for (const std::string& name : row.names) {
      for (const int plant : {0, 1, 2}) {
        SCOPED_TRACE(row.what + (", " + name) + " planted as a " + kPlants[plant]);
        testing::TempDir dir;
        const fs::path folder = dir / "work";
        const fs::path outside = dir / "outside";
        fs::create_directories(folder);
        if (row.written.empty()) write_mesh_files(mesh, folder, 0.0);  // a run to read back
        testing::write_file(outside, "not the folder's\r\n");
        fs::last_write_time(outside, fs::file_time_type::clock::now() - std::chrono::hours(1));
        const std::string outside_before = bytes_and_time(outside);
        fs::remove(folder / name);
        if (plant == 0) fs::create_symlink(outside, folder / name);
        if (plant == 1) mkfifo((folder / name).c_str(), 0644);
        if (plant == 2) fs::create_directory(folder / name);

        std::string result = "ok";
        alarm(6);  // a call that waits ends the test program (and fails it)
        try {
          row.call(folder);
        } catch (const Error& error) {
          result = error.code() + " " + error.operation();
        }
        alarm(0);
        // A temporary's name is never in the way.
        const std::string code = name.ends_with(".tmp") ? "" : row.codes[plant];
        const bool through_link = plant == 0 && code.empty() && row.names == eleven;
        if (!code.empty()) {
          EXPECT_TRUE(result.starts_with(code) && result.ends_with(name + ")")) << result;
        } else if (result != "ok") {
          ADD_FAILURE() << result;
        } else {
          for (const std::string& file : row.written) {
            EXPECT_EQ(read_file(folder / file), read_file(clean / file)) << file;
            EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / file)) ||
                        (through_link && file == name)) << file;
          }
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
          EXPECT_TRUE(!entry.path().extension().string().ends_with("tmp") ||
                      (plant == 2 && entry.path().filename() == name)) << entry.path();
        }
        if (!through_link) {
          EXPECT_EQ(bytes_and_time(outside), outside_before);
        }
      }
    }
  }
}

}  // namespace
}  // namespace malha
