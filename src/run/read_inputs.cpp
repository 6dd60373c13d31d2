#include "run/read_inputs.h"

namespace malha {

void read_inputs(Mesh& mesh) { (void)mesh; }

}  // namespace malha
