// Names that a call writes or reads, each taken beforehand by a link to a
// file outside the folder, a pipe that nobody reads or a folder: no call
// waits, none changes a file outside the folder (but the documented writing
// of the eleven files through a link), and each either writes what it would
// write anyway or gives its report, naming the file.

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "formats/file_formats.h"
#include "malha/malha.h"
#include "support/run_malha.h"
#include "vtk/vtu.h"

namespace malha {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

enum class Plant { link_outside, pipe, folder };
constexpr Plant kPlants[] = {Plant::link_outside, Plant::pipe, Plant::folder};
const char* const kPlantNames[] = {"link to a file outside", "pipe without reader", "folder"};

// A call in `folder`, run in a child process; what it throws is its result.
using Call = std::function<void(const fs::path& folder)>;

// "ok", the report's code and operation, or "no answer in 5 s".
std::string result_within_5_seconds(const Call& call, const fs::path& folder) {
  int ends[2];
  if (pipe(ends) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);  // the program it starts goes with it at a kill
    close(ends[0]);
    std::string result = "ok";
    try {
      call(folder);
    } catch (const Error& error) {
      result = error.code() + " " + error.operation();
    } catch (const std::exception& error) {
      result = error.what();
    }
    [[maybe_unused]] const ssize_t written = write(ends[1], result.data(), result.size());
    _exit(0);
  }
  close(ends[1]);
  std::string result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{ends[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) {
      kill(-child, SIGKILL);
      result = "no answer in 5 s";
      break;
    }
    char buffer[512];
    const ssize_t got = read(ends[0], buffer, sizeof(buffer));
    if (got <= 0) break;
    result.append(buffer, static_cast<std::size_t>(got));
  }
  close(ends[0]);
  waitpid(child, nullptr, 0);
  return result;
}

// What a folder holds, each entry as its kind and bytes (a link as its
// target), and the outside file with its modification time.
std::map<std::string, std::string> state_of(const fs::path& dir) {
  std::map<std::string, std::string> state;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
    const fs::path name = fs::relative(entry.path(), dir);
    if (entry.is_symlink()) {
      state[name.string()] = "link " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      const auto time = fs::last_write_time(entry.path()).time_since_epoch().count();
      state[name.string()] = std::to_string(time) + " " + read_file(entry.path());
    } else {
      state[name.string()] = entry.is_directory() ? "folder" : "special";
    }
  }
  return state;
}

std::vector<std::string> eleven_names() {
  std::vector<std::string> names;
  for (const OutputFileEntry& entry : kOutputFiles) names.emplace_back(entry.name);
  return names;
}

struct Row {
  const char* call_name;
  Call call;
  std::vector<std::string> names;
  // For each plant: the code of the report expected ("" when the call
  // succeeds), whose operation names the planted file.
  const char* codes[3];
  // What the folder must hold after a success, beside the planted name.
  std::function<void(const fs::path& folder, const std::string& planted)> check;
  // What the folder holds before the call.
  std::function<void(const fs::path& folder)> prepare = [](const fs::path&) {};
};

TEST(PlantedFiles, NoNameMakesACallWaitOrWriteOutsideItsFolder) {
  const Mesh mesh = build_mesh(3, 2.0, 1.0);
  const std::vector<double> u(static_cast<std::size_t>(mesh.n_real_volumes), 0.25);
  // What each call writes in a folder where nothing is in its way.
  TempDir clean;
  write_mesh_files(mesh, clean.path(), 0.0);
  write_vtu(mesh, clean / "g.vtu", {{"u", u}});
  {
    TimeSeries series(mesh, clean.path(), "s");
    series.write(0.0, {{"u", u}});
    series.write(1.0, {{"u", u}});
  }
  const auto same_as_clean = [&](const fs::path& folder, const std::vector<std::string>& names,
                                 const std::string& planted) {
    for (const std::string& name : names) {
      // A link planted at one of the eleven names is written through.
      EXPECT_EQ(read_file(folder / name), read_file(clean / name)) << name;
      if (name != planted) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / name))) << name;
      }
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name != planted) {
        EXPECT_FALSE(name.ends_with(".tmp")) << name;
      }
    }
  };
  std::vector<std::string> files = eleven_names();
  std::vector<std::string> files_but_time = files;
  std::erase(files_but_time, std::string(file_name(OutputFile::dados_gerais)));

  const Row rows[] = {
      {"the program",
       [](const fs::path& folder) {
         const testing::RunResult run = testing::run_malha(folder, "3\n2\n1\n0\n");
         // The program's report, as the library's would read.
         const std::size_t at = run.err.find("run-time error ");
         if (at != std::string::npos) {
           const std::string line = run.err.substr(at + 15, run.err.find('\r', at) - at - 15);
           throw Error(line.substr(0, 5), line.substr(7), "");
         }
       },
       files,
       {"", "F4001", "F4001"},
       [&](const fs::path& folder, const std::string& planted) {
         // The processing time is the one part that differs from run to run.
         same_as_clean(folder, files_but_time, planted);
       }},
      {"write_mesh_files",
       [&](const fs::path& folder) { write_mesh_files(mesh, folder, 0.0); },
       files,
       {"", "F4001", "F4001"},
       [&](const fs::path& folder, const std::string& planted) {
         same_as_clean(folder, files, planted);
       }},
      {"write_vtu",
       [&](const fs::path& folder) { write_vtu(mesh, folder / "g.vtu", {{"u", u}}); },
       {"g.vtu", "g.vtu.tmp", "g.vtu.AAAAAAAAAA.tmp"},
       {"", "", "F4006"},
       [&](const fs::path& folder, const std::string& planted) {
         same_as_clean(folder, {"g.vtu"}, planted);
       }},
      {"TimeSeries",
       [&](const fs::path& folder) {
         TimeSeries series(mesh, folder, "s");
         series.write(0.0, {{"u", u}});
         series.write(1.0, {{"u", u}});
       },
       {"s_0000.vtu", "s_0001.vtu", "s.pvd", "s.pvd.tmp", "s_0001.vtu.tmp"},
       {"", "", "F4006"},
       [&](const fs::path& folder, const std::string& planted) {
         same_as_clean(folder, {"s_0000.vtu", "s_0001.vtu", "s.pvd"}, planted);
       }},
      {"read_mesh_files",
       [](const fs::path& folder) { read_mesh_files(folder); },
       files,
       {"F4007", "F4004", "F4004"},
       [](const fs::path&, const std::string&) {},
       [&](const fs::path& folder) { write_mesh_files(mesh, folder, 0.0); }},
  };

  for (const Row& row : rows) {
    for (const std::string& name : row.names) {
      for (const Plant plant : kPlants) {
        const auto p = static_cast<std::size_t>(plant);
        SCOPED_TRACE(std::string(row.call_name) + ", " + name + ": " + kPlantNames[p]);
        TempDir dir;
        const fs::path folder = dir / "work";
        const fs::path outside = dir / "outside";
        fs::create_directories(folder);
        fs::create_directories(outside);
        row.prepare(folder);
        write_file(outside / "file", "not the folder's\r\n");
        fs::last_write_time(outside / "file", fs::file_time_type::clock::now() - std::chrono::hours(1));
        const fs::path at = folder / name;
        fs::remove(at);
        // A name that is planted stays a temporary's only where it is a
        // temporary's name (the series' step and collection names are final).
        const bool is_temporary = name.ends_with(".tmp");
        switch (plant) {
          case Plant::link_outside: fs::create_symlink(outside / "file", at); break;
          case Plant::pipe: ASSERT_EQ(mkfifo(at.c_str(), 0644), 0); break;
          case Plant::folder: fs::create_directory(at); break;
        }
        const auto outside_before = state_of(outside);

        const std::string result = result_within_5_seconds(row.call, folder);
        const std::string code = is_temporary ? "" : row.codes[p];
        // Only the eleven files are written through a link, as documented.
        const bool is_written_through =
            plant == Plant::link_outside && code.empty() && row.names == files && !is_temporary;
        if (code.empty()) {
          EXPECT_EQ(result, "ok");
          // What stays of the plant: a folder at a temporary's name, which
          // is not in the way, and a link written through.
          const bool stays = (plant == Plant::folder && is_temporary) || is_written_through;
          if (result == "ok") row.check(folder, stays ? name : std::string());
        } else {
          EXPECT_EQ(result.substr(0, 5), code) << result;
          EXPECT_NE(result.find(name + ")"), std::string::npos) << result;
        }
        if (is_written_through) {
          // The bytes of the processing time (before the last line end)
          // differ from run to run.
          const auto without_time = [&](std::string bytes) {
            if (name == file_name(OutputFile::dados_gerais)) bytes.resize(bytes.size() - 20);
            return bytes;
          };
          EXPECT_EQ(without_time(read_file(outside / "file")), without_time(read_file(clean / name)));
        } else {
          EXPECT_EQ(state_of(outside), outside_before);
        }
      }
    }
  }
}

}  // namespace
}  // namespace malha
