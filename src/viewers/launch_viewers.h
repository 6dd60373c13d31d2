#pragma once
// Folder viewers/: the launch of the editor and the plotting program after
// the files are written; it builds on formats/ (the file names) and system/.
//
// launch_viewers: shows the results of a run once every output file is
// closed.
//
// Runs, one after another and each waited for, the command lines
// "notepad dados_gerais.txt", "notepad dados_malha.txt", then, each only when
// `show_plots` is 1, "wgnuplot malha_real.gnu", "wgnuplot malha.gnu",
// "wgnuplot malha_baricentros.gnu", and last "notepad vol_conectividades.txt".
// A launch that fails is ignored: nothing is reported and the run goes on.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace malha {

void launch_viewers(std::int32_t show_plots);

// Longest command line after its trailing blanks are dropped, and longest
// command processor name.
inline constexpr std::size_t kMaxCommandLine = 1024;
inline constexpr std::size_t kMaxProcessorName = 260;

// Runs one command line through the command processor named by "COMSPEC"
// ("cmd.exe" when unset or empty) as `<processor> /c <line>`, trailing blanks
// of `line` dropped, and waits for it. Returns the processor's exit code, or
// -1 when it was not started: not found, not executable, a line longer than
// kMaxCommandLine or a processor name longer than kMaxProcessorName.
int run_command(std::string_view line);

}  // namespace malha
