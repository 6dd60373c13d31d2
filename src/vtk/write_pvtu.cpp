#include <memory>
#include <string>

#include "system/run_error.h"
#include "vtk/temporary_file.h"
#include "vtk/vtu.h"
#include "vtk/vtu_checks.h"

namespace malha {
namespace {

constexpr const char* kFunction = "write_pvtu";

// Refuses what the collection cannot name as it is.
void check_collection(std::span<const std::filesystem::path> pieces,
                      std::span<const PvtuField> fields) {
  if (pieces.empty()) fail_argument(kFunction, "no piece is given");
  for (const std::filesystem::path& piece : pieces) {
    const std::string name = piece.generic_string();
    if (name.empty() || !is_xml_name(name)) {
      fail_argument(kFunction, "piece \"" + name +
                                   "\" is empty or holds a character other than printable "
                                   "ASCII, or one of < > & \" '");
    }
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string quoted = "\"" + fields[i].name + "\"";
    if (fields[i].name.empty() || !is_xml_name(fields[i].name)) {
      fail_argument(kFunction, "field name " + quoted +
                                   " is empty or holds a character other than printable ASCII, "
                                   "or one of < > & \" '");
    }
    if (fields[i].name == "global_volume") {
      fail_argument(kFunction,
                    "field name " + quoted + " is the name of the pieces' own cell data");
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (fields[j].name == fields[i].name) {
        fail_argument(kFunction, "field name " + quoted + " is given twice");
      }
    }
    if (fields[i].components < 1) {
      fail_argument(kFunction, "field " + quoted + " has " + std::to_string(fields[i].components) +
                                   " components, fewer than 1");
    }
  }
}

}  // namespace

void write_pvtu(const std::filesystem::path& file, std::span<const std::filesystem::path> pieces,
                std::span<const PvtuField> fields) {
  reporting_allocation([&] {
    check_collection(pieces, fields);
    std::string text =
        "<?xml version=\"1.0\"?>\n"
        "<VTKFile type=\"PUnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
        "header_type=\"UInt64\">\n"
        "  <PUnstructuredGrid GhostLevel=\"0\">\n"
        "    <PCellData>\n"
        "      <PDataArray type=\"Int64\" Name=\"global_volume\"/>\n";
    for (const PvtuField& field : fields) {
      text += "      <PDataArray type=\"Float64\" Name=\"" + field.name + "\"";
      if (field.components > 1) {
        text += " NumberOfComponents=\"" + std::to_string(field.components) + "\"";
      }
      text += "/>\n";
    }
    text +=
        "    </PCellData>\n"
        "    <PPoints>\n"
        "      <PDataArray type=\"Float64\" NumberOfComponents=\"3\"/>\n"
        "    </PPoints>\n";
    for (const std::filesystem::path& piece : pieces) {
      text += "    <Piece Source=\"" + piece.generic_string() + "\"/>\n";
    }
    text += "  </PUnstructuredGrid>\n</VTKFile>\n";
    TemporaryFile collection(file.string());
    collection.put_text(text);
    collection.finish();
  });
}

}  // namespace malha
