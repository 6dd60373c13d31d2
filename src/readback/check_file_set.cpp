#include "readback/check_file_set.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "formats/file_formats.h"
#include "readback/read_mesh_files.h"
#include "readback/record_reader.h"
#include "system/run_error.h"

namespace malha {
namespace {

std::string text(std::int64_t value) { return std::to_string(value); }

// The four labelled counts: real volumes, fictitious volumes, real nodes,
// fictitious nodes.
using LabelledCounts = std::array<std::int32_t, 4>;

constexpr const char* kCountNames[] = {"real volumes", "fictitious volumes", "real nodes",
                                       "fictitious nodes"};

// Reads the four count records of `reader`'s file and checks them against
// "dados.ent" (`mesh`) and against the labelled counts `earlier` of the file
// `earlier_name`, when given.
LabelledCounts read_labelled_counts(RecordReader& reader, const Mesh& mesh,
                                    const std::optional<LabelledCounts>& earlier,
                                    std::string_view earlier_name) {
  LabelledCounts counts {};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const RecordLayout& layout = kCountLines[i];
    const auto label_length = static_cast<std::size_t>(layout.field_column - 1);
    const char* record = reader.next(static_cast<std::size_t>(layout.length()),
                                     "the 4 labelled count records");
    // The label as the count line writes it: padded or cut to its column.
    std::string label(layout.text.substr(0, label_length));
    label.resize(label_length, ' ');
    if (std::string_view(record, label_length) != label) {
      reader.fail("columns 1 to " + text(static_cast<std::int64_t>(label_length)) +
                  " are not the label of the count of " + kCountNames[i]);
    }
    const std::int32_t count = read_int_field(reader, record + label_length, layout.field_column);
    counts[i] = count;
    const std::string named = std::string("the count of ") + kCountNames[i] + ", " + text(count);
    const std::int32_t in_dados_ent[] = {mesh.n_real_volumes, mesh.n_fict_volumes};
    if (i < 2 && count != in_dados_ent[i]) {
      reader.fail(named + ", is not the " + text(in_dados_ent[i]) + " of " + kDadosEnt);
    }

    if (count < 0) reader.fail(named + ", is negative");
    // The nodes' split is that of the shape "dados.ent" holds.
    const std::int32_t of_shape = i == 2 ? mesh.n_real_nodes : mesh.n_fict_nodes;
    if (i >= 2 && count != of_shape) {
      reader.fail(named + ", is not the " + text(of_shape) + " of the mesh in " + kDadosEnt);
    }
    if (i == 3 && std::int64_t{counts[2]} + count != mesh.n_nodes) {
      reader.fail("the real and fictitious nodes of lines 3 and 4 (" + text(counts[2]) + " and " +
                  text(count) + ") do not make the " + text(mesh.n_nodes) + " nodes of " +
                  kDadosEnt);
    }
    if (earlier && count != (*earlier)[i]) {
      reader.fail(named + ", is not the " + text((*earlier)[i]) + " of " +
                  std::string(earlier_name));
    }
  }
  return counts;
}

}  // namespace

void check_file_set(const Mesh& mesh, const std::string& folder) {
  std::optional<LabelledCounts> labelled;
  for (const OutputFileEntry& entry : kOutputFiles) {
    if (entry.file == OutputFile::dados_ent || entry.file == OutputFile::conectividades_ent ||
        entry.file == OutputFile::baricentros_ent) {
      continue;  // read whole already
    }
    const std::string path = path_in(folder, entry.name);
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) continue;
    RecordReader reader(path);
    if (entry.file == OutputFile::dados_malha || entry.file == OutputFile::dados_gerais) {
      labelled = read_labelled_counts(reader, mesh, labelled,
                                      file_name(OutputFile::dados_malha));
    }
    const std::uint64_t expected = output_file_bytes(entry.file, mesh);
    if (reader.size() != expected) {
      fail_contents(path, "the file holds " + text(static_cast<std::int64_t>(reader.size())) +
                              " bytes, " + (reader.size() < expected ? "short of" : "more than") +
                              " the " + text(static_cast<std::int64_t>(expected)) +
                              " bytes that the counts of " + kDadosEnt + " call for");
    }
  }
}

}  // namespace malha
