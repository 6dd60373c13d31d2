#pragma once

#include "mesh/mesh.h"

namespace malha {

void define_volumes(Mesh& mesh);

}  // namespace malha
