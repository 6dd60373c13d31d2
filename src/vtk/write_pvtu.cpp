#include "system/run_error.h"
#include "vtk/vtu.h"

namespace malha {

void write_vtu(const MeshPart& part, const std::filesystem::path& file,
               std::span<const CellField> fields) {
  (void)part;
  (void)file;
  (void)fields;
  fail_argument("write_vtu", "not written yet");
}

void write_pvtu(const std::filesystem::path& file, std::span<const std::filesystem::path> pieces,
                std::span<const PvtuField> fields) {
  (void)file;
  (void)pieces;
  (void)fields;
  fail_argument("write_pvtu", "not written yet");
}

}  // namespace malha
