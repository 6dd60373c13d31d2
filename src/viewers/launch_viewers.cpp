#include "viewers/launch_viewers.h"

#include <string>
#include <vector>

#include "formats/file_formats.h"
#include "process/console.h"
#include "process/process.h"

namespace malha {
namespace {

// The editor opens output files; the plotting program opens the plot
// scripts that the user keeps beside them.
constexpr const char* kEditor = "notepad";
constexpr const char* kPlotter = "wgnuplot";

struct ViewerLine {
  const char* program;
  const char* file;
  bool is_plot;  // run only when the user asked for plots
};

constexpr ViewerLine kViewerLines[] = {
    {kEditor, file_name(OutputFile::dados_gerais), false},
    {kEditor, file_name(OutputFile::dados_malha), false},
    {kPlotter, "malha_real.gnu", true},
    {kPlotter, "malha.gnu", true},
    {kPlotter, "malha_baricentros.gnu", true},
    {kEditor, file_name(OutputFile::vol_conectividades), false},
};

}  // namespace

void launch_viewers(std::int32_t show_plots) {
  // The viewers share the console: whatever they write starts on a line of
  // its own, after the last prompt.
  console_close_line();
  for (const ViewerLine& viewer : kViewerLines) {
    if (viewer.is_plot && show_plots != 1) continue;
    // A failing viewer does not concern the run.
    (void)run_command(std::string(viewer.program) + " " + viewer.file);
  }
}

int run_command(std::string_view line) {
  const std::size_t kept = line.find_last_not_of(' ');
  line = kept == std::string_view::npos ? std::string_view() : line.substr(0, kept + 1);
  if (line.size() > kMaxCommandLine) return -1;

  std::string processor = process::environment_value("COMSPEC");
  if (processor.empty()) processor = "cmd.exe";
  if (processor.size() > kMaxProcessorName) return -1;

  return process::run_process(processor, {"/c", std::string(line)});
}

}  // namespace malha
