#include "output/write_processing_time.h"

namespace malha {

void write_processing_time(OutputFiles& files, double seconds) {
  RecordWriter& out = files[OutputFile::dados_gerais];
  begin_layout(out, kTimeLine);
  out.real_field_18_9(seconds);
  out.end_record();
}

}  // namespace malha
