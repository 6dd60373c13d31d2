// Stand-in for the Windows viewers (notepad.exe, wgnuplot.exe) in the checks
// of malha.exe under wine (run_under_wine.sh): a console program that appends
// to the file named by MALHA_VIEWER_LOG the line "start NAME COMMAND-LINE"
// (NAME: its own file name, COMMAND-LINE: exactly as the system handed it
// over), waits a fifth of a second, appends "end NAME" and exits with 0.
// The pause makes a launch that did not wait for the previous viewer show
// two starts in a row.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void append_line(const char* log, const std::string& line) {
  std::FILE* file = std::fopen(log, "ab");
  if (file == nullptr) std::exit(2);
  std::fwrite(line.data(), 1, line.size(), file);
  std::fputc('\n', file);
  std::fclose(file);
}

}  // namespace

int main() {
  const char* log = std::getenv("MALHA_VIEWER_LOG");
  if (log == nullptr || *log == '\0') return 2;
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name(path, length);
  name = name.substr(name.find_last_of("\\/") + 1);
  append_line(log, "start " + name + " " + GetCommandLineA());
  Sleep(200);
  append_line(log, "end " + name);
  return 0;
}
