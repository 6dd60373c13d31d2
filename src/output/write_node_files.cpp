#include "output/write_node_files.h"

#include <cstring>
#include <span>

#include "formats/number_fields.h"

namespace malha {

void write_node_files(OutputFiles& files, const Mesh& mesh) {
  RecordWriter& dados_malha = files[OutputFile::dados_malha];
  for (const RecordLayout& header : kNodeHeader) {
    dados_malha.text(header.text);
    dados_malha.end_record();
  }

  RecordWriter& dados_ent = files[OutputFile::dados_ent];
  for (const std::int32_t count :
       {mesh.n_nodes, mesh.n_volumes, mesh.n_real_volumes, mesh.n_fict_volumes}) {
    write_integer_row(dados_ent, std::span(&count, 1));
  }

  // Each pair is formatted once, straight into the block of
  // "dados_malha.txt", and copied from there to the other two files.
  ByteSink& numbered = files.sink(OutputFile::dados_malha);
  ByteSink& bare = files.sink(OutputFile::nos_malha);
  ByteSink& dados_ent_bare = files.sink(OutputFile::dados_ent);
  constexpr std::size_t kNumberedBytes = kNumberedPair.bytes();
  constexpr std::size_t kBareBytes = kPairRecordBytes;
  constexpr int kPairAt = kNumberedPair.column_of(1) - 1;
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) {
    char* record = numbered.room(kNumberedBytes);
    int_field_8(record, node);
    const double* xy = mesh.node_coords.row(node);
    format_pair(record + kPairAt, xy[0], xy[1]);
    std::memcpy(record + kNumberedPair.length(), kLineEnd.data(), kLineEnd.size());
    numbered.commit(kNumberedBytes);
    std::memcpy(bare.room(kBareBytes), record + kPairAt, kBareBytes);
    bare.commit(kBareBytes);
    std::memcpy(dados_ent_bare.room(kBareBytes), record + kPairAt, kBareBytes);
    dados_ent_bare.commit(kBareBytes);
  }
}

}  // namespace malha
