#pragma once
// Folder formats/: what the eleven output files look like, and the byte
// sinks they are written through; it builds on mesh/ and system/. The
// writers (output/), the reader (readback/), the viewer launch (viewers/)
// and the VTK grid (vtk/) take their file names, widths and lengths from
// here.
//
// Every file is a sequence of records, each ended by CR LF. A record layout
// is a literal text from column 1 (possibly empty) and then number fields
// side by side from a fixed column, the first field replacing any part of
// the text that reaches that column. A file is a sequence of record groups,
// each written once, or once per node, per volume or per real volume.
// Every record of every layout has a fixed length, so each file's size
// follows from the mesh's counts (`output_file_bytes`). Descriptions and
// arithmetic only: nothing here throws.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "mesh/mesh.h"

namespace malha {

// The record terminator, CR LF.
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr int kLineEndBytes = static_cast<int>(kLineEnd.size());
// The longest record the record writer accepts.
inline constexpr int kMaxRecordLength = 1024;

// The three field forms. A real field is d.ddd (1 + `fraction_digits`
// significant digits) and a 4-character exponent ("E+dd" or "+ddd"),
// right-aligned in `width` characters.
enum class Field : std::uint8_t { int_8, real_25_15, real_18_9 };

inline constexpr int kIntField8Width = 8;
inline constexpr int kRealExponentWidth = 4;

struct RealFieldForm {
  int width;
  int fraction_digits;
  // "d." and the fraction digits.
  constexpr int mantissa_width() const { return 2 + fraction_digits; }
  // The mantissa and the exponent: the field without its leading blanks and sign.
  constexpr int body_width() const { return mantissa_width() + kRealExponentWidth; }
};
inline constexpr RealFieldForm kRealField25 = {25, 15};
inline constexpr RealFieldForm kRealField18 = {18, 9};
inline constexpr int kRealField25Width = kRealField25.width;
inline constexpr int kRealField18Width = kRealField18.width;

constexpr int field_width(Field field) {
  switch (field) {
    case Field::int_8: return kIntField8Width;
    case Field::real_25_15: return kRealField25.width;
    case Field::real_18_9: return kRealField18.width;
  }
  return 0;
}

// One record layout: `text` from column 1, then `field_count` fields from
// column `field_column` on.
struct RecordLayout {
  std::string_view text;
  int field_column;
  std::array<Field, 4> fields;
  int field_count;

  // The column after the last field (1-based), where the record would go on.
  constexpr int fields_end() const {
    int column = field_column;
    for (int i = 0; i < field_count; ++i) column += field_width(fields[static_cast<std::size_t>(i)]);
    return column;
  }
  // Characters in the record, without its line end.
  constexpr int length() const {
    const int text_length = static_cast<int>(text.size());
    if (field_count == 0) return text_length;
    const int end = fields_end() - 1;
    return end > text_length ? end : text_length;
  }
  // Bytes in the file, line end included.
  constexpr int bytes() const { return length() + kLineEndBytes; }
  // Column of field `index` (from 0).
  constexpr int column_of(int index) const {
    int column = field_column;
    for (int i = 0; i < index; ++i) column += field_width(fields[static_cast<std::size_t>(i)]);
    return column;
  }
};

// A layout of number fields alone, from column 1.
constexpr RecordLayout fields_only(std::array<Field, 4> fields, int count) {
  return {{}, 1, fields, count};
}
// A literal alone.
constexpr RecordLayout text_only(std::string_view text) { return {text, 1, {}, 0}; }

// The layouts of the files. The labels are Windows-1252 text: \xFA is
// u acute, \xED i acute, \xF3 o acute, \xE7 c cedilla, \xE3 a tilde.
//
// Count line: the label from column 1, padded or cut to 29 characters, the
// count in int_field_8 in columns 30 to 37 (the 30-character label's final
// blank gives way to the field).
inline constexpr int kCountFieldColumn = 30;
inline constexpr std::array<RecordLayout, 4> kCountLines = {{
    {" N\xFAmero de volumes reais: ", kCountFieldColumn, {Field::int_8}, 1},
    {" N\xFAmero de volumes fict\xED" "cios: ", kCountFieldColumn, {Field::int_8}, 1},
    {" N\xFAmero de n\xF3s reais: ", kCountFieldColumn, {Field::int_8}, 1},
    {" N\xFAmero de n\xF3s fict\xED" "cios: ", kCountFieldColumn, {Field::int_8}, 1},
}};
// Time line: the label (29 characters), then the seconds in real_field_18_9.
inline constexpr std::string_view kTimeLabel = " tempo de processamento [s]: ";
inline constexpr RecordLayout kTimeLine = {
    kTimeLabel, static_cast<int>(kTimeLabel.size()) + 1, {Field::real_18_9}, 1};
// Node position header: an empty record, the title, an empty record.
inline constexpr std::array<RecordLayout, 3> kNodeHeader = {
    {text_only(""), text_only(" Posi\xE7\xE3o dos n\xF3s"), text_only("")}};
// A node number or volume number, then x and y.
inline constexpr RecordLayout kNumberedPair =
    fields_only({Field::int_8, Field::real_25_15, Field::real_25_15}, 3);
// x and y.
inline constexpr RecordLayout kPair = fields_only({Field::real_25_15, Field::real_25_15}, 2);
// A volume number and three node or neighbour numbers.
inline constexpr RecordLayout kIntegerRow4 =
    fields_only({Field::int_8, Field::int_8, Field::int_8, Field::int_8}, 4);
// Three node or neighbour numbers.
inline constexpr RecordLayout kIntegerRow3 =
    fields_only({Field::int_8, Field::int_8, Field::int_8}, 3);
// One count.
inline constexpr RecordLayout kSingleInteger = fields_only({Field::int_8}, 1);
// The free-form record with no values: one blank.
inline constexpr RecordLayout kSeparator = text_only(" ");
// Outline group of a triangle: the pairs of its corners A, B, C and A again,
// then the separator that breaks a plotted line.
inline constexpr std::array<RecordLayout, 5> kOutlineGroup = {
    {kPair, kPair, kPair, kPair, kSeparator}};

inline constexpr int kPairWidth = kPair.length();
inline constexpr int kPairRecordBytes = kPair.bytes();

// How often a group of records stands in its file.
enum class Repeat : std::uint8_t { once, per_node, per_volume, per_real_volume };

struct RecordGroup {
  Repeat repeat;
  std::span<const RecordLayout> records;
};

// The group's records repeated for `mesh`'s counts.
std::int64_t group_repeats(Repeat repeat, const Mesh& mesh);
// Bytes of one repetition of the group.
constexpr int group_bytes(std::span<const RecordLayout> records) {
  int bytes = 0;
  for (const RecordLayout& layout : records) bytes += layout.bytes();
  return bytes;
}

// The eleven files, in their opening order.
enum class OutputFile {
  dados_malha,
  nos_malha,
  malha,
  nos_conectividade,
  malha_real,
  vol_conectividades,
  baricentros,
  dados_ent,
  conectividades_ent,
  baricentros_ent,
  dados_gerais,
};

inline constexpr int kOutputFileCount = 11;

struct OutputFileEntry {
  OutputFile file;
  int stream;        // the program's own number for the open file
  const char* name;  // in the folder the files are written to
  std::span<const RecordGroup> groups;
};

namespace file_groups {

inline constexpr RecordGroup kDadosMalha[] = {
    {Repeat::once, kCountLines}, {Repeat::once, kNodeHeader}, {Repeat::per_node, {&kNumberedPair, 1}}};
inline constexpr RecordGroup kNosMalha[] = {{Repeat::per_node, {&kPair, 1}}};
inline constexpr RecordGroup kMalha[] = {{Repeat::per_volume, kOutlineGroup}};
inline constexpr RecordGroup kNosConectividade[] = {{Repeat::per_volume, {&kIntegerRow4, 1}}};
inline constexpr RecordGroup kMalhaReal[] = {{Repeat::per_real_volume, kOutlineGroup}};
inline constexpr RecordGroup kVolConectividades[] = {{Repeat::per_volume, {&kIntegerRow4, 1}}};
inline constexpr RecordGroup kBaricentros[] = {{Repeat::per_volume, {&kPair, 1}}};
// n_nodes, n_volumes, n_real_volumes, n_fict_volumes; the node pairs; the
// corners of each volume.
inline constexpr std::array<RecordLayout, 4> kDadosEntCounts = {
    {kSingleInteger, kSingleInteger, kSingleInteger, kSingleInteger}};
inline constexpr RecordGroup kDadosEnt[] = {{Repeat::once, kDadosEntCounts},
                                            {Repeat::per_node, {&kPair, 1}},
                                            {Repeat::per_volume, {&kIntegerRow3, 1}}};
inline constexpr RecordGroup kConectividadesEnt[] = {{Repeat::per_volume, {&kIntegerRow3, 1}}};
inline constexpr RecordGroup kBaricentrosEnt[] = {{Repeat::per_volume, {&kPair, 1}}};
inline constexpr RecordGroup kDadosGerais[] = {{Repeat::once, kCountLines},
                                               {Repeat::once, {&kTimeLine, 1}}};

}  // namespace file_groups

// Opening and closing order; the entry of a file is at its enum value.
inline constexpr std::array<OutputFileEntry, kOutputFileCount> kOutputFiles = {{
    {OutputFile::dados_malha, 10, "dados_malha.txt", file_groups::kDadosMalha},
    {OutputFile::nos_malha, 20, "nos_malha.txt", file_groups::kNosMalha},
    {OutputFile::malha, 30, "malha.txt", file_groups::kMalha},
    {OutputFile::nos_conectividade, 40, "nos_conectividade.txt", file_groups::kNosConectividade},
    {OutputFile::malha_real, 50, "malha_real.txt", file_groups::kMalhaReal},
    {OutputFile::vol_conectividades, 60, "vol_conectividades.txt", file_groups::kVolConectividades},
    {OutputFile::baricentros, 70, "baricentros.txt", file_groups::kBaricentros},
    {OutputFile::dados_ent, 80, "dados.ent", file_groups::kDadosEnt},
    {OutputFile::conectividades_ent, 90, "conectividades.ent", file_groups::kConectividadesEnt},
    {OutputFile::baricentros_ent, 100, "baricentros.ent", file_groups::kBaricentrosEnt},
    {OutputFile::dados_gerais, 110, "dados_gerais.txt", file_groups::kDadosGerais},
}};

constexpr const OutputFileEntry& output_file(OutputFile file) {
  return kOutputFiles[static_cast<std::size_t>(file)];
}
constexpr const char* file_name(OutputFile file) { return output_file(file).name; }

// The bytes `file` holds for `mesh` (its counts n_nodes, n_volumes and
// n_real_volumes).
std::uint64_t output_file_bytes(OutputFile file, const Mesh& mesh);

}  // namespace malha
