#pragma once

#include "mesh/mesh.h"

namespace malha {

void place_nodes(Mesh& mesh);

}  // namespace malha
