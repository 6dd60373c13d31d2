#include "output/write_volume_files.h"

#include <span>
#include <string_view>

#include "output/number_fields.h"

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

void write_record(RecordWriter& out, std::string_view text) {
  out.text(text);
  out.end_record();
}

}  // namespace

// Each file gets its records in its own order; the files are interleaved so
// that every text shared by several files is formatted once: the node pairs
// (through the table), and per volume its number, its corners, its
// neighbours and its barycentre. "dados.ent" gets its counts and node
// records first, so that its volume records can join the volume pass.
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

  for (const std::int32_t count :
       {mesh.n_nodes, mesh.n_volumes, mesh.n_real_volumes, mesh.n_fict_volumes}) {
    write_integer_row(dados_ent, std::span(&count, 1));
  }
  for (std::int32_t node = 1; node <= mesh.n_nodes; ++node) write_pair(dados_ent, pairs(node));

  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const std::int32_t* abc = mesh.volume_nodes.row(volume);

    write_outline_group(malha, pairs, abc);
    if (volume <= mesh.n_real_volumes) write_outline_group(malha_real, pairs, abc);

    char number[kIntField8Width];
    int_field_8(number, volume);
    char corners[3 * kIntField8Width];
    format_integer_row(corners, std::span(abc, 3));
    char neighbours[3 * kIntField8Width];
    format_integer_row(neighbours, std::span(mesh.volume_neighbours.row(volume), 3));

    nos_conectividade.text({number, sizeof(number)});
    write_record(nos_conectividade, {corners, sizeof(corners)});
    vol_conectividades.text({number, sizeof(number)});
    write_record(vol_conectividades, {neighbours, sizeof(neighbours)});
    write_record(conectividades_ent, {neighbours, sizeof(neighbours)});
    write_record(dados_ent, {corners, sizeof(corners)});

    const double* xy = mesh.barycentres.row(volume);
    char barycentre[kPairWidth];
    format_pair(barycentre, xy[0], xy[1]);
    write_pair(baricentros, {barycentre, kPairWidth});
    write_pair(baricentros_ent, {barycentre, kPairWidth});
  }
}

}  // namespace malha
