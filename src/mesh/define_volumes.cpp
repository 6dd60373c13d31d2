#include "mesh/define_volumes.h"

namespace malha {

void define_volumes(Mesh& mesh) { (void)mesh; }

}  // namespace malha
