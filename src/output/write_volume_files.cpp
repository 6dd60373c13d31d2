#include "output/write_volume_files.h"

#include <span>

namespace malha {
namespace {

// The outline of a triangle for a line-plotting program: its three corners,
// the first again to close it, and a one-blank record that breaks the line.
void write_outline_group(RecordWriter& out, NodePairTexts& pairs, const std::int32_t* abc) {
  write_pair(out, pairs(abc[0]));
  write_pair(out, pairs(abc[1]));
  write_pair(out, pairs(abc[2]));
  write_pair(out, pairs(abc[0]));
  out.free_form_record();
}

}  // namespace

void write_volume_files(OutputFiles& files, const Mesh& mesh) {
  RecordWriter& malha = files[OutputFile::malha];
  RecordWriter& nos_conectividade = files[OutputFile::nos_conectividade];
  RecordWriter& malha_real = files[OutputFile::malha_real];
  RecordWriter& vol_conectividades = files[OutputFile::vol_conectividades];
  RecordWriter& baricentros = files[OutputFile::baricentros];
  RecordWriter& dados_ent = files[OutputFile::dados_ent];
  RecordWriter& conectividades_ent = files[OutputFile::conectividades_ent];
  RecordWriter& baricentros_ent = files[OutputFile::baricentros_ent];
  NodePairTexts& pairs = files.node_pairs(mesh);

  // Every file that covers all volumes, one volume at a time.
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const std::int32_t* abc = mesh.volume_nodes.row(volume);
    const std::int32_t* neighbours = mesh.volume_neighbours.row(volume);

    write_outline_group(malha, pairs, abc);

    nos_conectividade.int_field_8(volume);
    write_integer_row(nos_conectividade, std::span(abc, 3));

    vol_conectividades.int_field_8(volume);
    write_integer_row(vol_conectividades, std::span(neighbours, 3));
    write_integer_row(conectividades_ent, std::span(neighbours, 3));

    // Both barycentre files hold the same records: format the pair once.
    const double* xy = mesh.barycentres.row(volume);
    char barycentre[kPairWidth];
    format_pair(barycentre, xy[0], xy[1]);
    write_pair(baricentros, {barycentre, kPairWidth});
    write_pair(baricentros_ent, {barycentre, kPairWidth});
  }

  for (std::int32_t volume = 1; volume <= mesh.n_real_volumes; ++volume) {
    write_outline_group(malha_real, pairs, mesh.volume_nodes.row(volume));
  }

  for (const std::int32_t count :
       {mesh.n_nodes, mesh.n_volumes, mesh.n_real_volumes, mesh.n_fict_volumes}) {
    write_integer_row(dados_ent, std::span(&count, 1));
  }
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) write_pair(dados_ent, pairs(node));
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    write_integer_row(dados_ent, std::span(mesh.volume_nodes.row(volume), 3));
  }
}

}  // namespace malha
