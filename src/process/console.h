#pragma once
// The console channel: prompts go to standard output, answers come from
// standard input.
//
// The console keeps one piece of state, the open-line flag: set when a line
// has been written without its line end. When both standard input and
// standard output are character devices (an interactive terminal), the line
// end of a prompt is written just before its answer is read, so the user
// types on the line below the prompt. Otherwise it is written just before the
// next prompt, and for the last prompt when the run ends. Line ends are
// carriage return and line feed. No function here throws.

#include <string_view>

namespace malha {

// Decides the rhythm from the standard streams. Called once, before the first
// prompt.
void console_start();

// Writes one prompt record: a line end first if a line is open, then `text`
// without a line end; the line is then open.
void console_write_prompt(std::string_view text);

// Around each read of an answer: in a terminal the open line is closed
// before the read, and the flag is cleared when the read ends.
void console_begin_read();
void console_end_read();

// Closes an open console line (written at every exit, normal or failed).
// Safe to call from a signal handler.
void console_close_line();

}  // namespace malha
