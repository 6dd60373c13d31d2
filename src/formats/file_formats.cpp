#include "formats/file_formats.h"

namespace malha {
namespace {

constexpr bool is_in_enum_order() {
  for (std::size_t i = 0; i < kOutputFiles.size(); ++i) {
    if (static_cast<std::size_t>(kOutputFiles[i].file) != i) return false;
  }
  return true;
}
static_assert(is_in_enum_order(), "output_file() finds a file's entry at its enum value");

// The lengths that the layouts give; the record reader and the writers'
// blocks rely on them.
static_assert(kCountLines[1].length() == 37 && kCountLines[2].length() == 37);
static_assert(kTimeLine.length() == 47);
static_assert(group_bytes(kNodeHeader) == 22);
static_assert(kNumberedPair.length() == 58 && kPair.length() == 50);
static_assert(kIntegerRow4.length() == 32 && kIntegerRow3.length() == 24);
static_assert(kRealField25.body_width() == 21 && kRealField18.body_width() == 15);

}  // namespace

std::int64_t group_repeats(Repeat repeat, const Mesh& mesh) {
  switch (repeat) {
    case Repeat::once: return 1;
    case Repeat::per_node: return mesh.n_nodes;
    case Repeat::per_volume: return mesh.n_volumes;
    case Repeat::per_real_volume: return mesh.n_real_volumes;
  }
  return 0;
}

std::uint64_t output_file_bytes(OutputFile file, const Mesh& mesh) {
  std::uint64_t bytes = 0;
  for (const RecordGroup& group : output_file(file).groups) {
    bytes += static_cast<std::uint64_t>(group_repeats(group.repeat, mesh)) *
             static_cast<std::uint64_t>(group_bytes(group.records));
  }
  return bytes;
}

}  // namespace malha
