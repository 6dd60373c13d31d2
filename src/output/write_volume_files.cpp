#include "output/write_volume_files.h"

#include <cstring>

#include "output/number_fields.h"

namespace malha {
namespace {

constexpr std::size_t kPairRecordBytes = kPairRecordWidth;
// Four pair records and the one-blank record.
constexpr std::size_t kOutlineBytes = 4 * kPairRecordBytes + 3;
// Four int_field_8 and CR LF.
constexpr std::size_t kRowBytes = 4 * kIntField8Width + 2;
// The same row without its first field.
constexpr std::size_t kShortRowBytes = kRowBytes - kIntField8Width;

void end_record(char* at) { std::memcpy(at, "\r\n", 2); }

// The outline of a triangle for a line-plotting program: its three corners,
// the first again to close it, and a one-blank record that breaks the line.
void write_outline_group(char* out, NodePairTexts& pairs, const std::int32_t* abc) {
  std::memcpy(out, pairs.record(abc[0]), kPairRecordBytes);
  std::memcpy(out + kPairRecordBytes, pairs.record(abc[1]), kPairRecordBytes);
  std::memcpy(out + 2 * kPairRecordBytes, pairs.record(abc[2]), kPairRecordBytes);
  std::memcpy(out + 3 * kPairRecordBytes, out, kPairRecordBytes);
  std::memcpy(out + 4 * kPairRecordBytes, " \r\n", 3);
}

// The three values as int_field_8 after the first field of a row, and CR LF.
void write_row_tail(char* row, const std::int32_t* values) {
  int_field_8(row + kIntField8Width, values[0]);
  int_field_8(row + 2 * kIntField8Width, values[1]);
  int_field_8(row + 3 * kIntField8Width, values[2]);
  end_record(row + 4 * kIntField8Width);
}

}  // namespace

// Every record is assembled in its file's block; a text that several files
// share is formatted once and copied: the node pairs (through the cache),
// the outline group into "malha_real.txt", the volume number, the corners
// into "dados.ent", the neighbours into "conectividades.ent" and the
// barycentre into "baricentros.ent". "dados.ent" got its counts and node
// records in the node pass.
void write_volume_files(OutputFiles& files, const Mesh& mesh) {
  ByteSink& malha = files.sink(OutputFile::malha);
  ByteSink& nos_conectividade = files.sink(OutputFile::nos_conectividade);
  ByteSink& malha_real = files.sink(OutputFile::malha_real);
  ByteSink& vol_conectividades = files.sink(OutputFile::vol_conectividades);
  ByteSink& baricentros = files.sink(OutputFile::baricentros);
  ByteSink& dados_ent = files.sink(OutputFile::dados_ent);
  ByteSink& conectividades_ent = files.sink(OutputFile::conectividades_ent);
  ByteSink& baricentros_ent = files.sink(OutputFile::baricentros_ent);
  NodePairTexts& pairs = files.node_pairs(mesh);

  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const std::int32_t* abc = mesh.volume_nodes.row(volume);

    char* outline = malha.room(kOutlineBytes);
    write_outline_group(outline, pairs, abc);
    malha.commit(kOutlineBytes);
    if (volume <= mesh.n_real_volumes) {
      std::memcpy(malha_real.room(kOutlineBytes), outline, kOutlineBytes);
      malha_real.commit(kOutlineBytes);
    }

    char* corners = nos_conectividade.room(kRowBytes);
    int_field_8(corners, volume);
    write_row_tail(corners, abc);
    nos_conectividade.commit(kRowBytes);
    std::memcpy(dados_ent.room(kShortRowBytes), corners + kIntField8Width, kShortRowBytes);
    dados_ent.commit(kShortRowBytes);

    char* neighbours = vol_conectividades.room(kRowBytes);
    std::memcpy(neighbours, corners, kIntField8Width);
    write_row_tail(neighbours, mesh.volume_neighbours.row(volume));
    vol_conectividades.commit(kRowBytes);
    std::memcpy(conectividades_ent.room(kShortRowBytes), neighbours + kIntField8Width,
                kShortRowBytes);
    conectividades_ent.commit(kShortRowBytes);

    const double* xy = mesh.barycentres.row(volume);
    char* barycentre = baricentros.room(kPairRecordBytes);
    format_pair(barycentre, xy[0], xy[1]);
    end_record(barycentre + kPairWidth);
    baricentros.commit(kPairRecordBytes);
    std::memcpy(baricentros_ent.room(kPairRecordBytes), barycentre, kPairRecordBytes);
    baricentros_ent.commit(kPairRecordBytes);
  }
}

}  // namespace malha
