#pragma once

#include "mesh/mesh.h"

namespace malha {

void find_volume_neighbours(Mesh& mesh);

}  // namespace malha
