#include "vtk/vtu.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "formats/byte_sink.h"
#include "system/run_error.h"
#include "vtk/temporary_file.h"
#include "vtk/vtu_checks.h"

namespace malha {
namespace {

constexpr std::string_view kFunction = "write_vtu";

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

// Where an array's element stands in the XML text.
enum class Section { field_data, point_data, cell_data, points, cells };

// One appended array: its XML attributes, its size, and how its rows are
// written (a row being one count, one node or one volume).
struct DataArray {
  std::string name;
  const char* type;
  int components;  // values per tuple
  std::uint64_t rows;
  std::uint64_t row_values;  // values per row: the components, or 3 for the connectivity
  std::size_t value_bytes;
  Section section;
  std::function<void(ByteSink&)> put_rows;

  std::size_t row_bytes() const { return static_cast<std::size_t>(row_values) * value_bytes; }
  std::uint64_t bytes() const { return rows * row_bytes(); }
};

constexpr std::size_t kByteCountBytes = 8;  // header_type UInt64

// Calls `write_row(i, out)` for the rows i = 0 to rows - 1, each filling
// `row_bytes` bytes at `out`, a block's worth of rows into the sink at once.
template <typename WriteRow>
void put_rows(ByteSink& sink, std::uint64_t rows, std::size_t row_bytes, WriteRow write_row) {
  const std::uint64_t per_block = TemporaryFile::kBlockBytes / row_bytes;
  for (std::uint64_t first = 0; first < rows; first += per_block) {
    const std::uint64_t count = std::min(per_block, rows - first);
    const std::size_t size = static_cast<std::size_t>(count) * row_bytes;
    char* out = sink.room(size);
    for (std::uint64_t i = 0; i < count; ++i) write_row(first + i, out + i * row_bytes);
    sink.commit(size);
  }
}

// Puts `values` into the sink as little-endian doubles.
void put_doubles(ByteSink& sink, std::span<const double> values) {
  if constexpr (std::endian::native == std::endian::little) {
    const char* bytes = reinterpret_cast<const char*>(values.data());
    std::size_t left = values.size_bytes();
    while (left > 0) {
      const std::size_t size = std::min(left, TemporaryFile::kBlockBytes);
      std::memcpy(sink.room(size), bytes, size);
      sink.commit(size);
      bytes += size;
      left -= size;
    }
  } else {
    put_rows(sink, values.size(), 8,
             [&](std::uint64_t i, char* out) { store_little_endian(out, values[i]); });
  }
}

// Puts rows 1 to `rows` of a table of x, y as little-endian x, y, 0.
void put_xyz_rows(ByteSink& sink, const MeshTable<double, 2>& table, std::uint64_t rows) {
  put_rows(sink, rows, 24, [&](std::uint64_t i, char* out) {
    const double* row = table.row(static_cast<std::int32_t>(i + 1));
    store_little_endian(out, row[0]);
    store_little_endian(out + 8, row[1]);
    store_little_endian(out + 16, 0.0);
  });
}

// The XML element of `array` at `offset` in the appended data, indented.
std::string element(const DataArray& array, std::uint64_t offset) {
  std::string text;
  if (array.section == Section::field_data) {
    text = "      <DataArray type=\"" + std::string(array.type) + "\" Name=\"" + array.name +
           "\" NumberOfTuples=\"" + std::to_string(array.rows) + "\"";
  } else {
    text =
        "        <DataArray type=\"" + std::string(array.type) + "\" Name=\"" + array.name + "\"";
    if (array.components > 1) {
      text += " NumberOfComponents=\"" + std::to_string(array.components) + "\"";
    }
  }
  return text + " format=\"appended\" offset=\"" + std::to_string(offset) + "\"/>\n";
}

// Refuses fields the grid of `cells` cells cannot carry; `taken` are the
// names of the grid's own cell arrays.
void check_fields(std::span<const CellField> fields, std::uint64_t cells,
                  const std::vector<std::string>& taken) {
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const CellField& field = fields[i];
    const std::string quoted = "\"" + field.name + "\"";
    if (field.name.empty()) fail_argument(kFunction, "a field has an empty name");
    if (!is_xml_name(field.name)) {
      fail_argument(kFunction,
                    "field name " + quoted +
                        " holds a character other than printable ASCII, or one of < > & \" '");
    }
    if (std::find(taken.begin(), taken.end(), field.name) != taken.end()) {
      fail_argument(kFunction, "field name " + quoted + " is the name of the grid's own cell data");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (fields[j].name == field.name) {
        fail_argument(kFunction, "field name " + quoted + " is given twice");
      }
    }
    if (field.components < 1) {
      fail_argument(kFunction, "field " + quoted + " has " + std::to_string(field.components) +
                                   " components, fewer than 1");
    }
    const std::uint64_t expected = cells * static_cast<std::uint64_t>(field.components);
    if (field.values.size() != expected) {
      fail_argument(kFunction, "field " + quoted + " has " + std::to_string(field.values.size()) +
                                   " values, not " + std::to_string(cells) + " cells x " +
                                   std::to_string(field.components) +
                                   " components = " + std::to_string(expected));
    }
  }
}

}  // namespace

std::unique_ptr<TemporaryFile> write_complete_grid(const Mesh& mesh,
                                                   const std::filesystem::path& file,
                                                   std::span<const CellField> fields,
                                                   const VtuOptions& options,
                                                   bool removes_leftovers) {
  const bool all = options.include_fictitious;
  check_grid_mesh(mesh, kFunction, options);
  const GridSelection whole{all ? mesh.n_volumes : mesh.n_real_volumes,
                            all ? mesh.n_nodes : mesh.n_real_nodes, nullptr};
  return write_complete_grid(mesh, file, fields, options, removes_leftovers, whole);
}

std::unique_ptr<TemporaryFile> write_complete_grid(const Mesh& mesh,
                                                   const std::filesystem::path& file,
                                                   std::span<const CellField> fields,
                                                   const VtuOptions& options,
                                                   bool removes_leftovers,
                                                   const GridSelection& selection) {
  const bool all = options.include_fictitious;
  const auto points = static_cast<std::uint64_t>(selection.points);
  const auto cells = static_cast<std::uint64_t>(selection.cells);
  const GlobalNumbers* global = selection.global_volumes;

  std::vector<std::string> taken = {global != nullptr ? "global_volume" : "volume"};
  if (all) taken.emplace_back("fictitious");
  if (options.include_tables) {
    taken.emplace_back("neighbours");
    taken.emplace_back("barycentre");
  }
  check_fields(fields, cells, taken);

  // The arrays in the order of their elements in the XML text.
  std::vector<DataArray> arrays;
  arrays.reserve(12 + fields.size());
  if (options.include_tables) {
    const std::pair<const char*, std::int32_t> counts[] = {
        {"n_nodes", mesh.n_nodes},
        {"n_volumes", mesh.n_volumes},
        {"n_real_volumes", mesh.n_real_volumes},
        {"n_fict_volumes", mesh.n_fict_volumes},
    };
    for (const auto& [name, count] : counts) {
      // A copy to capture: clang before 16 cannot capture a structured binding.
      const std::int32_t value = count;
      arrays.push_back({name, "Int32", 1, 1, 1, 4, Section::field_data, [value](ByteSink& sink) {
                          store_little_endian(sink.room(4), value);
                          sink.commit(4);
                        }});
    }
    arrays.push_back({"node", "Int32", 1, points, 1, 4, Section::point_data, [&](ByteSink& sink) {
                        put_rows(sink, points, 4, [](std::uint64_t n, char* out) {
                          store_little_endian(out, static_cast<std::int32_t>(n + 1));
                        });
                      }});
  }
  if (global != nullptr) {
    arrays.push_back({"global_volume", "Int64", 1, cells, 1, 8, Section::cell_data,
                      [&](ByteSink& sink) {
                        put_rows(sink, cells, 8, [global](std::uint64_t v, char* out) {
                          store_little_endian(out, (*global)[static_cast<std::size_t>(v)]);
                        });
                      }});
  } else {
    arrays.push_back({"volume", "Int32", 1, cells, 1, 4, Section::cell_data, [&](ByteSink& sink) {
                        put_rows(sink, cells, 4, [](std::uint64_t v, char* out) {
                          store_little_endian(out, static_cast<std::int32_t>(v + 1));
                        });
                      }});
  }
  if (all) {
    const auto n_real = static_cast<std::uint64_t>(mesh.n_real_volumes);
    arrays.push_back(
        {"fictitious", "UInt8", 1, cells, 1, 1, Section::cell_data, [&, n_real](ByteSink& sink) {
           put_rows(sink, cells, 1, [n_real](std::uint64_t v, char* out) {
             store_little_endian(out, static_cast<std::uint8_t>(v >= n_real ? 1 : 0));
           });
         }});
  }
  if (options.include_tables) {
    arrays.push_back(
        {"neighbours", "Int32", 3, cells, 3, 4, Section::cell_data, [&](ByteSink& sink) {
           put_rows(sink, cells, 12, [&](std::uint64_t v, char* out) {
             const std::int32_t* row = mesh.volume_neighbours.row(static_cast<std::int32_t>(v + 1));
             for (int col = 0; col < 3; ++col) store_little_endian(out + 4 * col, row[col]);
           });
         }});
    arrays.push_back({"barycentre", "Float64", 3, cells, 3, 8, Section::cell_data,
                      [&](ByteSink& sink) { put_xyz_rows(sink, mesh.barycentres, cells); }});
  }
  for (const CellField& field : fields) {
    const auto components = static_cast<std::uint64_t>(field.components);
    arrays.push_back({field.name, "Float64", field.components, cells, components, 8,
                      Section::cell_data,
                      [&field](ByteSink& sink) { put_doubles(sink, field.values); }});
  }
  arrays.push_back({"Points", "Float64", 3, points, 3, 8, Section::points,
                    [&](ByteSink& sink) { put_xyz_rows(sink, mesh.node_coords, points); }});
  // The connectivity is one list of point numbers, three for each volume;
  // the viewers number points from 0.
  arrays.push_back({"connectivity", "Int32", 1, cells, 3, 4, Section::cells, [&](ByteSink& sink) {
                      put_rows(sink, cells, 12, [&](std::uint64_t v, char* out) {
                        const std::int32_t* row =
                            mesh.volume_nodes.row(static_cast<std::int32_t>(v + 1));
                        for (int col = 0; col < 3; ++col) {
                          store_little_endian(out + 4 * col, row[col] - 1);
                        }
                      });
                    }});
  // Each cell's end in the connectivity; past the Int32 range (meshes of
  // more than 715 million volumes) as Int64.
  const bool is_wide =
      3 * cells > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  arrays.push_back({"offsets", is_wide ? "Int64" : "Int32", 1, cells, 1, is_wide ? 8u : 4u,
                    Section::cells, [&](ByteSink& sink) {
                      if (is_wide) {
                        put_rows(sink, cells, 8, [](std::uint64_t v, char* out) {
                          store_little_endian(out, static_cast<std::int64_t>(3 * (v + 1)));
                        });
                      } else {
                        put_rows(sink, cells, 4, [](std::uint64_t v, char* out) {
                          store_little_endian(out, static_cast<std::int32_t>(3 * (v + 1)));
                        });
                      }
                    }});
  constexpr std::uint8_t kTriangle = 5;
  arrays.push_back({"types", "UInt8", 1, cells, 1, 1, Section::cells, [&](ByteSink& sink) {
                      put_rows(sink, cells, 1, [](std::uint64_t, char* out) {
                        store_little_endian(out, kTriangle);
                      });
                    }});

  // The data is appended in the reverse order of the elements: a reader
  // that rewrites the offsets one array at a time, finding each array by its
  // offset, then never takes an offset it has already rewritten for one it
  // has yet to read.
  std::vector<std::uint64_t> offset_of(arrays.size());
  std::uint64_t offset = 0;
  for (std::size_t i = arrays.size(); i-- > 0;) {
    offset_of[i] = offset;
    offset += kByteCountBytes + arrays[i].bytes();
  }

  std::string header =
      "<?xml version=\"1.0\"?>\n"
      "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
      "header_type=\"UInt64\">\n"
      "  <UnstructuredGrid>\n";
  struct Part {
    Section section;
    const char* open;
    const char* close;
  };
  const Part parts[] = {
      {Section::field_data, "    <FieldData>\n", "    </FieldData>\n"},
      {Section::point_data, "      <PointData>\n", "      </PointData>\n"},
      {Section::cell_data, "      <CellData>\n", "      </CellData>\n"},
      {Section::points, "      <Points>\n", "      </Points>\n"},
      {Section::cells, "      <Cells>\n", "      </Cells>\n"},
  };
  for (const Part& part : parts) {
    if (part.section == Section::point_data) {
      header += "    <Piece NumberOfPoints=\"" + std::to_string(points) + "\" NumberOfCells=\"" +
                std::to_string(cells) + "\">\n";
    }
    std::string elements;
    for (std::size_t i = 0; i < arrays.size(); ++i) {
      if (arrays[i].section == part.section) elements += element(arrays[i], offset_of[i]);
    }
    if (!elements.empty()) header += part.open + elements + part.close;
  }
  header +=
      "    </Piece>\n"
      "  </UnstructuredGrid>\n"
      "  <AppendedData encoding=\"raw\">\n"
      "   _";

  if (removes_leftovers) {
    // What a killed write of the same file left.
    const std::string name = file.filename().string();
    int ignored = 0;
    const auto is_leftover = [&](std::string_view entry) {
      return is_temporary_name_of(entry, name);
    };
    remove_leftovers(file.parent_path(), is_leftover, ignored);
  }
  auto sink = std::make_unique<TemporaryFile>(file.string());
  sink->put_text(header);
  for (std::size_t i = arrays.size(); i-- > 0;) {
    store_little_endian(sink->room(kByteCountBytes), arrays[i].bytes());
    sink->commit(kByteCountBytes);
    arrays[i].put_rows(*sink);
  }
  sink->put_text("\n  </AppendedData>\n</VTKFile>\n");
  sink->complete();
  return sink;
}

void write_vtu(const MeshPart& part, const std::filesystem::path& file,
               std::span<const CellField> fields) {
  reporting_allocation([&] {
    const Mesh& mesh = part.mesh;
    const VtuOptions options;
    check_grid_mesh(mesh, kFunction, options);
    if (part.n_owned < 0 || part.n_owned > mesh.n_real_volumes ||
        part.global_volumes.size() != static_cast<std::size_t>(mesh.n_volumes)) {
      fail_argument(kFunction, "the part's counts disagree with its mesh");
    }
    // The owned volumes' nodes come first: the points are those up to the
    // highest they name.
    std::int32_t points = 0;
    for (std::int32_t v = 1; v <= part.n_owned; ++v) {
      const std::int32_t* row = mesh.volume_nodes.row(v);
      points = std::max({points, row[0], row[1], row[2]});
    }
    const GridSelection owned{part.n_owned, points, &part.global_volumes};
    write_complete_grid(mesh, file, fields, options, true, owned)->give_final_name();
  });
}

void write_vtu(const Mesh& mesh, const std::filesystem::path& file,
               std::span<const CellField> fields, const VtuOptions& options) {
  reporting_allocation(
      [&] { write_complete_grid(mesh, file, fields, options, true)->give_final_name(); });
}

}  // namespace malha
