#pragma once
// What end-to-end tests expect around the console dialogue and the run-time
// error report.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/run_malha.h"
#include "system/error.h"

namespace malha::testing {

// Standard output of a redirected run that has shown the first `count`
// prompts: each prompt text followed by CR LF.
inline std::string redirected_prompts(int count = 4) {
  static const char* const kPrompts[] = {
      " Informe o nivel da malha ",
      " Informe a dimensao x ",
      " Informe a dimensao y ",
      " Mostrar graficos? 0: nao; 1: sim ",
  };
  std::string out;
  for (int i = 0; i < count; ++i) out += std::string(kPrompts[i]) + "\r\n";
  return out;
}

// The run-time error report as standard error shows it, for example
// error_report("R1001", "READ(CON)", "end of input before a value was read").
inline std::string error_report(const std::string& code, const std::string& operation,
                                const std::string& description) {
  return "\r\nrun-time error " + code + ": " + operation + "\r\n- " + description + "\r\n";
}

// The report that `action` throws as malha::Error, or "" when it completes.
template <typename Action>
std::string thrown_report(Action action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "";
}

// The code of the report that `action` throws as malha::Error ("S5002"), or
// "" when it completes.
template <typename Action>
std::string thrown_code(Action action) {
  try {
    action();
  } catch (const Error& error) {
    return error.code();
  }
  return "";
}

// The names of the entries of a directory.
inline std::set<std::string> names_in(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Runs `input` in a directory holding one output file of an earlier run and
// checks a run that ends before any output file is opened: the first
// `prompts_shown` prompts, `report`, exit status 1, and the directory left as
// it was.
inline void expect_failure_before_output(const std::string& input, int prompts_shown,
                                         const std::string& report,
                                         const RunOptions& options = {}) {
  TempDir dir;
  write_file(dir / "dados_gerais.txt", "earlier run\r\n");
  const RunResult result = run_malha(dir.path(), input, options);
  EXPECT_EQ(result.out, redirected_prompts(prompts_shown));
  EXPECT_EQ(result.err, report);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(names_in(dir.path()), std::set<std::string>{"dados_gerais.txt"});
  EXPECT_EQ(read_file(dir / "dados_gerais.txt"), "earlier run\r\n");
}

}  // namespace malha::testing
