#pragma once
// allocate_table: storage for `rows` rows of a table whose every element is
// then written once, in one pass, so its pages are asked for at once, as for
// the mesh's own arrays. Throws std::bad_alloc when the memory cannot be had.

#include <cstddef>
#include <cstdint>

#include "mesh/mesh.h"
#include "system/platform.h"

namespace malha {

template <typename T, int Cols>
void allocate_table(MeshTable<T, Cols>& table, std::int32_t rows) {
  table.allocate(rows);
  if (rows > 0) {
    platform::supply_pages(table.row(1), static_cast<std::size_t>(rows) * Cols * sizeof(T));
  }
}

}  // namespace malha
