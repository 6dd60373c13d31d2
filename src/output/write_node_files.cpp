#include "output/write_node_files.h"

#include <cstring>
#include <span>

#include "output/number_fields.h"

namespace malha {

void write_node_files(OutputFiles& files, const Mesh& mesh) {
  RecordWriter& dados_malha = files[OutputFile::dados_malha];
  // Windows-1252 text: \xE7 is c cedilla, \xE3 a tilde, \xF3 o acute.
  dados_malha.end_record();
  dados_malha.text(" Posi\xE7\xE3o dos n\xF3s");
  dados_malha.end_record();
  dados_malha.end_record();

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
  constexpr std::size_t kNumberedBytes = kIntField8Width + kPairWidth + 2;
  constexpr std::size_t kBareBytes = kPairWidth + 2;
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) {
    char* record = numbered.room(kNumberedBytes);
    int_field_8(record, node);
    const double* xy = mesh.node_coords.row(node);
    format_pair(record + kIntField8Width, xy[0], xy[1]);
    std::memcpy(record + kIntField8Width + kPairWidth, "\r\n", 2);
    numbered.commit(kNumberedBytes);
    std::memcpy(bare.room(kBareBytes), record + kIntField8Width, kBareBytes);
    bare.commit(kBareBytes);
    std::memcpy(dados_ent_bare.room(kBareBytes), record + kIntField8Width, kBareBytes);
    dados_ent_bare.commit(kBareBytes);
  }
}

}  // namespace malha
