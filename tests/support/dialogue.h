#pragma once
// What end-to-end tests expect around the console dialogue.

#include <filesystem>
#include <set>
#include <string>

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

// The names of the entries of a directory.
inline std::set<std::string> names_in(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

}  // namespace malha::testing
