#pragma once
// What the grid and collection writers check and turn into reports: the
// names they carry inside XML attribute values, checked before anything is
// written.

#include <string_view>

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

}  // namespace malha
