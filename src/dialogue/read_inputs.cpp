#include "dialogue/read_inputs.h"

#include <string_view>

#include "dialogue/list_input.h"
#include "process/console.h"
#include "process/process.h"
#include "system/run_error.h"

namespace malha {
namespace {

class StandardInput final : public ByteSource {
 public:
  long read(char* buffer, std::size_t size) override {
    return process::read_console(process::kStdin, buffer, size);
  }
};

void end_on_error(AnswerStatus status) {
  switch (status) {
    case AnswerStatus::value:
    case AnswerStatus::no_value:
      return;
    case AnswerStatus::end_of_input:
      fail(RunError::read_end_of_input);
    case AnswerStatus::read_error:
      fail(RunError::read_failed);
    case AnswerStatus::bad_integer:
      fail(RunError::read_bad_integer);
    case AnswerStatus::bad_real:
      fail(RunError::read_bad_real);
    case AnswerStatus::integer_range:
      fail(RunError::read_integer_range);
    case AnswerStatus::real_range:
      fail(RunError::read_real_range);
    case AnswerStatus::bad_repeat:
      fail(RunError::read_bad_repeat);
  }
  fail(RunError::read_failed);
}

AnswerStatus read_answer(ListReader& reader, std::int32_t& field) {
  return reader.read_integer(field);
}
AnswerStatus read_answer(ListReader& reader, double& field) { return reader.read_real(field); }

// One question: the prompt, then one answer into `field`.
template <typename T>
void ask(ListReader& reader, std::string_view prompt, T& field) {
  console_write_prompt(prompt);
  console_begin_read();
  end_on_error(read_answer(reader, field));
  console_end_read();
}

}  // namespace

void read_inputs(Mesh& mesh) {
  StandardInput input;
  read_inputs(mesh, input);
}

void read_inputs(Mesh& mesh, ByteSource& input) {
  ListReader reader(input);
  ask(reader, " Informe o nivel da malha ", mesh.level);
  ask(reader, " Informe a dimensao x ", mesh.dim_x);
  ask(reader, " Informe a dimensao y ", mesh.dim_y);
  ask(reader, " Mostrar graficos? 0: nao; 1: sim ", mesh.show_plots);
}

}  // namespace malha
