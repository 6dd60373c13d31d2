#pragma once
// What the grid and collection writers check and turn into reports: the
// names they carry inside XML attribute values, checked before anything is
// written, and memory that cannot be had.

#include <new>
#include <string_view>

#include "system/run_error.h"

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

// Calls `write` and throws the ALLOCATE report where it ran out of memory;
// what it had begun has unwound (a TemporaryFile removes its file).
template <typename Write>
auto reporting_allocation(Write write) -> decltype(write()) {
  try {
    return write();
  } catch (const std::bad_alloc&) {
    fail(RunError::allocate);
  }
}

}  // namespace malha
