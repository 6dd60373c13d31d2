#include "viewers/launch_viewers.h"

#include <string>
#include <vector>

#include "system/console.h"
#include "system/platform.h"

namespace malha {
namespace {

struct ViewerLine {
  const char* line;
  bool is_plot;  // run only when the user asked for plots
};

constexpr ViewerLine kViewerLines[] = {
    {"notepad dados_gerais.txt", false},
    {"notepad dados_malha.txt", false},
    {"wgnuplot malha_real.gnu", true},
    {"wgnuplot malha.gnu", true},
    {"wgnuplot malha_baricentros.gnu", true},
    {"notepad vol_conectividades.txt", false},
};

}  // namespace

void launch_viewers(std::int32_t show_plots) {
  // The viewers share the console: whatever they write starts on a line of
  // its own, after the last prompt.
  console_close_line();
  for (const ViewerLine& viewer : kViewerLines) {
    if (viewer.is_plot && show_plots != 1) continue;
    (void)run_command(viewer.line);  // a failing viewer does not concern the run
  }
}

int run_command(std::string_view line) {
  const std::size_t kept = line.find_last_not_of(' ');
  line = kept == std::string_view::npos ? std::string_view() : line.substr(0, kept + 1);
  if (line.size() > kMaxCommandLine) return -1;

  std::string processor = platform::environment_value("COMSPEC");
  if (processor.empty()) processor = "cmd.exe";
  if (processor.size() > kMaxProcessorName) return -1;

  return platform::run_process(processor, {"/c", std::string(line)});
}

}  // namespace malha
