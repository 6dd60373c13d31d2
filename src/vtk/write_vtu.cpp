#include "vtk/write_vtu.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "formats/byte_sink.h"
#include "readback/read_mesh_files.h"
#include "system/platform.h"
#include "system/run_error.h"

namespace malha {
namespace {

// The temporary file, a byte sink whose blocks go straight to the file. A
// failure removes the file (before its own report is thrown, or as another
// failure unwinds), so that nothing half-written remains; the report names the grid's final name.
class TemporaryFileSink : public ByteSink {
 public:
  static constexpr std::size_t kBlockBytes = 1024 * 1024;

  TemporaryFileSink(std::string path, std::string final_path)
      : ByteSink(path, kBlockBytes), path_(std::move(path)), final_path_(std::move(final_path)) {
    int os_error = 0;
    file_ = platform::open_for_writing(path_.c_str(), os_error);
    if (file_ == platform::kNoFile) fail_file(RunError::open, path_, os_error);
    if (!platform::cut_file(file_, 0, os_error)) abandon(RunError::write, os_error);
  }
  // Reached before `finish` only when the run ends early: the file goes.
  ~TemporaryFileSink() override {
    if (is_finished_) return;
    int ignored = 0;
    if (file_ != platform::kNoFile) platform::close_file(file_, ignored);
    platform::remove_file(path_.c_str(), ignored);
  }

  // Writes out the rest, closes the file and gives it its final name.
  void finish() {
    flush();
    int os_error = 0;
    const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
    if (!platform::close_file(file, os_error)) abandon(RunError::write, os_error);
    if (!platform::rename_file(path_.c_str(), final_path_.c_str(), os_error)) {
      abandon(RunError::replace, os_error);
    }
    is_finished_ = true;
  }
  void close() override { finish(); }

 private:
  void take_block(const char* data, std::size_t size) override {
    int os_error = 0;
    if (!platform::write_file(file_, data, size, os_error)) abandon(RunError::write, os_error);
  }

  [[noreturn]] void abandon(RunError error, int os_error) {
    int ignored = 0;
    const platform::FileHandle file = std::exchange(file_, platform::kNoFile);
    if (file != platform::kNoFile) platform::close_file(file, ignored);
    platform::remove_file(path_.c_str(), ignored);
    is_finished_ = true;  // nothing is left for the destructor to remove
    fail_file(error, final_path_, os_error);
  }

  std::string path_;
  std::string final_path_;
  platform::FileHandle file_ = platform::kNoFile;
  bool is_finished_ = false;
};

// Puts `text` into `sink`, a piece of at most a block at a time.
void put_text(TemporaryFileSink& sink, std::string_view text) {
  while (!text.empty()) {
    const std::size_t size = std::min(text.size(), TemporaryFileSink::kBlockBytes);
    std::memcpy(sink.room(size), text.data(), size);
    sink.commit(size);
    text.remove_prefix(size);
  }
}

// Stores `value` at `out` in little-endian byte order, whatever the
// machine's own order.
template <typename T>
void store_little_endian(char* out, T value) {
  using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t,
                                  std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint8_t>>;
  const Bits bits = std::bit_cast<Bits>(value);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &bits, sizeof(bits));
  } else {
    for (std::size_t i = 0; i < sizeof(bits); ++i) {
      out[i] = static_cast<char>(static_cast<std::uint8_t>(bits >> (8 * i)));
    }
  }
}

// One appended array: its XML attributes and its size. It is written one
// row at a time, a row being one node, one volume or one count.
struct DataArray {
  const char* name;
  const char* type;
  int components;  // values per tuple
  std::uint64_t rows;
  int row_values;  // values per row: the components, or 3 for the connectivity
  std::size_t value_bytes;
  std::size_t row_bytes() const { return static_cast<std::size_t>(row_values) * value_bytes; }
  std::uint64_t bytes() const { return rows * row_bytes(); }
};

constexpr std::size_t kByteCountBytes = 8;  // header_type UInt64

// The XML element of `array` at `offset` in the appended data, indented.
std::string element(const DataArray& array, std::uint64_t offset, bool is_field) {
  std::string text = "        <DataArray type=\"" + std::string(array.type) + "\" Name=\"" + array.name + "\"";
  if (is_field) {
    text = "      <DataArray type=\"" + std::string(array.type) + "\" Name=\"" + array.name +
           "\" NumberOfTuples=\"" + std::to_string(array.rows) + "\"";
  } else if (array.components > 1) {
    text += " NumberOfComponents=\"" + std::to_string(array.components) + "\"";
  }
  return text + " format=\"appended\" offset=\"" + std::to_string(offset) + "\"/>\n";
}

// Writes the byte count of `array`, then `write_row(i, out)` for every row
// i = 1 to rows, each filling the row's bytes at `out`.
template <typename WriteRow>
void put_array(ByteSink& file, const DataArray& array, WriteRow write_row) {
  store_little_endian(file.room(kByteCountBytes), array.bytes());
  file.commit(kByteCountBytes);
  const std::size_t row_bytes = array.row_bytes();
  for (std::uint64_t i = 1; i <= array.rows; ++i) {
    char* out = file.room(row_bytes);
    write_row(static_cast<std::int32_t>(i), out);
    file.commit(row_bytes);
  }
}

}  // namespace

void write_vtu(const Mesh& mesh, const std::string& folder) {
  const auto n_nodes = static_cast<std::uint64_t>(mesh.n_nodes);
  const auto n_volumes = static_cast<std::uint64_t>(mesh.n_volumes);
  const DataArray counts[] = {
      {"n_nodes", "Int32", 1, 1, 1, 4},
      {"n_volumes", "Int32", 1, 1, 1, 4},
      {"n_real_volumes", "Int32", 1, 1, 1, 4},
      {"n_fict_volumes", "Int32", 1, 1, 1, 4},
  };
  const DataArray node = {"node", "Int32", 1, n_nodes, 1, 4};
  const DataArray volume = {"volume", "Int32", 1, n_volumes, 1, 4};
  const DataArray fictitious = {"fictitious", "UInt8", 1, n_volumes, 1, 1};
  const DataArray neighbours = {"neighbours", "Int32", 3, n_volumes, 3, 4};
  const DataArray barycentre = {"barycentre", "Float64", 3, n_volumes, 3, 8};
  const DataArray points = {"Points", "Float64", 3, n_nodes, 3, 8};
  // The cell arrays have one component each: the connectivity is one list
  // of point numbers, three for each volume.
  const DataArray connectivity = {"connectivity", "Int32", 1, n_volumes, 3, 4};
  const DataArray offsets = {"offsets", "Int32", 1, n_volumes, 1, 4};
  const DataArray types = {"types", "UInt8", 1, n_volumes, 1, 1};

  // The arrays in the order of their elements in the XML text. Their data is
  // appended in the reverse order: a reader that rewrites the offsets one
  // array at a time, finding each array by its offset, then never takes an
  // offset it has already rewritten for one it has yet to read.
  const DataArray* const in_xml_order[] = {&counts[0], &counts[1], &counts[2], &counts[3],
                                           &node, &volume, &fictitious, &neighbours,
                                           &barycentre, &points, &connectivity, &offsets, &types};
  constexpr int kArrays = static_cast<int>(std::size(in_xml_order));
  std::uint64_t offset_of[kArrays] = {};
  std::uint64_t offset = 0;
  for (int i = kArrays - 1; i >= 0; --i) {
    offset_of[i] = offset;
    offset += kByteCountBytes + in_xml_order[i]->bytes();
  }
  int next = 0;
  auto next_element = [&](bool is_field = false) {
    const int i = next++;
    return element(*in_xml_order[i], offset_of[i], is_field);
  };
  std::string header =
      "<?xml version=\"1.0\"?>\n"
      "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
      "header_type=\"UInt64\">\n"
      "  <UnstructuredGrid>\n"
      "    <FieldData>\n";
  for (int i = 0; i < 4; ++i) header += next_element(true);
  header += "    </FieldData>\n    <Piece NumberOfPoints=\"" + std::to_string(n_nodes) +
            "\" NumberOfCells=\"" + std::to_string(n_volumes) + "\">\n      <PointData>\n";
  header += next_element();  // node
  header += "      </PointData>\n      <CellData>\n";
  for (int i = 0; i < 4; ++i) header += next_element();  // volume to barycentre
  header += "      </CellData>\n      <Points>\n";
  header += next_element();
  header += "      </Points>\n      <Cells>\n";
  for (int i = 0; i < 3; ++i) header += next_element();  // connectivity, offsets, types
  header +=
      "      </Cells>\n"
      "    </Piece>\n"
      "  </UnstructuredGrid>\n"
      "  <AppendedData encoding=\"raw\">\n"
      "   _";

  TemporaryFileSink file(path_in(folder, kVtuTemporaryFile), path_in(folder, kVtuFile));
  put_text(file, header);

  // The data, last array of the XML text first.
  constexpr std::uint8_t kTriangle = 5;
  put_array(file, types, [](std::int32_t, char* out) { store_little_endian(out, kTriangle); });
  // Each cell's end in the connectivity: the counts stay below 10^8, so
  // 3 x n_volumes fits an Int32.
  put_array(file, offsets, [](std::int32_t v, char* out) { store_little_endian(out, 3 * v); });
  // The viewers number points from 0.
  put_array(file, connectivity, [&](std::int32_t v, char* out) {
    const std::int32_t* row = mesh.volume_nodes.row(v);
    for (int col = 0; col < 3; ++col) store_little_endian(out + 4 * col, row[col] - 1);
  });
  put_array(file, points, [&](std::int32_t n, char* out) {
    const double* row = mesh.node_coords.row(n);
    store_little_endian(out, row[0]);
    store_little_endian(out + 8, row[1]);
    store_little_endian(out + 16, 0.0);
  });
  put_array(file, barycentre, [&](std::int32_t v, char* out) {
    const double* row = mesh.barycentres.row(v);
    store_little_endian(out, row[0]);
    store_little_endian(out + 8, row[1]);
    store_little_endian(out + 16, 0.0);
  });
  put_array(file, neighbours, [&](std::int32_t v, char* out) {
    const std::int32_t* row = mesh.volume_neighbours.row(v);
    for (int col = 0; col < 3; ++col) store_little_endian(out + 4 * col, row[col]);
  });
  put_array(file, fictitious, [&](std::int32_t v, char* out) {
    store_little_endian(out, static_cast<std::uint8_t>(v > mesh.n_real_volumes ? 1 : 0));
  });
  put_array(file, volume, [](std::int32_t v, char* out) { store_little_endian(out, v); });
  put_array(file, node, [](std::int32_t n, char* out) { store_little_endian(out, n); });
  const std::int32_t count_values[] = {mesh.n_nodes, mesh.n_volumes, mesh.n_real_volumes,
                                       mesh.n_fict_volumes};
  for (int i = 3; i >= 0; --i) {
    put_array(file, counts[i], [&](std::int32_t, char* out) { store_little_endian(out, count_values[i]); });
  }

  put_text(file, "\n  </AppendedData>\n</VTKFile>\n");
  file.finish();
}

}  // namespace malha
