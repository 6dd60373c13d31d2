#pragma once
// What the grid and collection writers share: the check of the names they
// carry inside XML attribute values, made before anything is written, and
// the grid written complete under its temporary name.

#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

#include "vtk/temporary_file.h"
#include "vtk/vtu.h"

namespace malha {

// True when `name` is printable ASCII (0x20 to 0x7E) without the characters
// that XML would need as entities: < > & " '.
inline bool is_xml_name(std::string_view name) {
  for (const char c : name) {
    if (c < 0x20 || c > 0x7E || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'') {
      return false;
    }
  }
  return true;
}

// write_vtu without the rename: the grid complete under its temporary name,
// which the caller renames (give_final_name) or lets go, removing it. With
// `removes_leftovers`, the temporary files that killed writes of `file` left
// go first (a series removes its own when it starts).
std::unique_ptr<TemporaryFile> write_complete_grid(const Mesh& mesh,
                                                   const std::filesystem::path& file,
                                                   std::span<const CellField> fields,
                                                   const VtuOptions& options,
                                                   bool removes_leftovers);

}  // namespace malha
