#include "output/write_node_files.h"

namespace malha {

void write_node_files(OutputFiles& files, const Mesh& mesh) {
  RecordWriter& dados_malha = files[OutputFile::dados_malha];
  RecordWriter& nos_malha = files[OutputFile::nos_malha];
  NodePairTexts& pairs = files.node_pairs(mesh);

  // Windows-1252 text: \xE7 is c cedilla, \xE3 a tilde, \xF3 o acute.
  dados_malha.end_record();
  dados_malha.text(" Posi\xE7\xE3o dos n\xF3s");
  dados_malha.end_record();
  dados_malha.end_record();

  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) {
    const std::string_view pair = pairs(node);
    write_numbered_pair(dados_malha, node, pair);
    write_pair(nos_malha, pair);
  }
}

}  // namespace malha
