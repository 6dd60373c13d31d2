#include "output/write_volume_files.h"

#include <cstring>

#include "formats/number_fields.h"

namespace malha {
namespace {

// Four pair records and the one-blank record.
constexpr std::size_t kOutlineBytes = group_bytes(kOutlineGroup);
// Four int_field_8 and CR LF.
constexpr std::size_t kRowBytes = kIntegerRow4.bytes();
// The same row without its first field.
constexpr std::size_t kShortRowBytes = kIntegerRow3.bytes();
static_assert(kRowBytes - kShortRowBytes == kIntField8Width);

void end_record(char* at) { std::memcpy(at, kLineEnd.data(), kLineEnd.size()); }

// The outline of a triangle for a line-plotting program (its three
// corners, the first again to close it, and a one-blank record that breaks
// the line) at `outline`, and the corners' numbers after the first field of
// the row at `corners`. Each node's texts are copied before the next lookup,
// which may replace them.
void write_corners(char* outline, char* corners, NodePairTexts& nodes, const std::int32_t* abc) {
  for (int k = 0; k < 3; ++k) {
    const NodeTexts& texts = nodes.texts(abc[k]);
    std::memcpy(outline + k * kPairRecordBytes, texts.pair_record, kPairRecordBytes);
    std::memcpy(corners + (k + 1) * kIntField8Width, texts.number, kIntField8Width);
  }
  std::memcpy(outline + 3 * kPairRecordBytes, outline, kPairRecordBytes);
  char* separator = outline + 4 * kPairRecordBytes;
  std::memcpy(separator, kSeparator.text.data(), kSeparator.text.size());
  end_record(separator + kSeparator.text.size());
  end_record(corners + 4 * kIntField8Width);
}

// The three values as int_field_8 after the first field of a row, and CR LF.
void write_row_tail(char* row, const std::int32_t* values) {
  int_field_8(row + kIntField8Width, values[0]);
  int_field_8(row + 2 * kIntField8Width, values[1]);
  int_field_8(row + 3 * kIntField8Width, values[2]);
  end_record(row + 4 * kIntField8Width);
}

// Turns the int_field_8 text of n into that of n + 1, for n >= 1: the last
// digit goes up by one unless it is a 9 (or the field is asterisks), when
// the field is formatted again.
void next_number(char* text, std::int32_t next) {
  char& last = text[kIntField8Width - 1];
  if (last >= '0' && last <= '8') {
    ++last;
  } else {
    int_field_8(text, next);
  }
}

}  // namespace

// Every record is assembled in its file's block; a text that several files
// share is formatted once and copied: the node pairs and numbers (through
// the cache), the outline group into "malha_real.txt", the volume number
// (counted up from the previous one), the corners into "dados.ent", the
// neighbours into "conectividades.ent" and the barycentre into
// "baricentros.ent". "dados.ent" got its counts and node
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

  char number[kIntField8Width];
  int_field_8(number, 0);
  for (std::int32_t volume = 1; volume <= mesh.n_volumes; ++volume) {
    const std::int32_t* abc = mesh.volume_nodes.row(volume);
    next_number(number, volume);

    char* outline = malha.room(kOutlineBytes);
    char* corners = nos_conectividade.room(kRowBytes);
    std::memcpy(corners, number, kIntField8Width);
    write_corners(outline, corners, pairs, abc);
    malha.commit(kOutlineBytes);
    nos_conectividade.commit(kRowBytes);
    if (volume <= mesh.n_real_volumes) {
      std::memcpy(malha_real.room(kOutlineBytes), outline, kOutlineBytes);
      malha_real.commit(kOutlineBytes);
    }

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
