#include "output/write_count_records.h"

namespace malha {

// The labels are Windows-1252 text: \xFA is u acute, \xED i acute, \xF3 o acute.
void write_count_records(RecordWriter& out, const Mesh& mesh) {
  write_count_line(out, " N\xFAmero de volumes reais: ", mesh.n_real_volumes);
  write_count_line(out, " N\xFAmero de volumes fict\xED" "cios: ", mesh.n_fict_volumes);
  write_count_line(out, " N\xFAmero de n\xF3s reais: ", mesh.n_real_nodes);
  write_count_line(out, " N\xFAmero de n\xF3s fict\xED" "cios: ", mesh.n_fict_nodes);
}

}  // namespace malha
