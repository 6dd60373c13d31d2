#include "process/console.h"

#include <csignal>

#include "process/process.h"

namespace malha {
namespace {

constexpr char kLineEnd[] = "\r\n";

struct ConsoleState {
  bool is_interactive = false;
  volatile std::sig_atomic_t has_open_line = 0;
};

ConsoleState g_console;

void write_line_end() {
  process::write_console(process::kStdout, kLineEnd, sizeof(kLineEnd) - 1);
  g_console.has_open_line = 0;
}

}  // namespace

void console_start() {
  g_console.is_interactive = process::is_char_device(process::kStdin) &&
                             process::is_char_device(process::kStdout);
}

void console_write_prompt(std::string_view text) {
  // The record's first character is a blank line-control character: it
  // asks for a line end when a line is open, and is not itself shown.
  if (g_console.has_open_line) write_line_end();
  process::write_console(process::kStdout, text.data(), text.size());
  g_console.has_open_line = 1;
}

void console_begin_read() {
  if (g_console.is_interactive && g_console.has_open_line) write_line_end();
}

void console_end_read() {
  if (g_console.is_interactive) g_console.has_open_line = 0;
}

void console_close_line() {
  if (g_console.has_open_line) write_line_end();
}

}  // namespace malha
