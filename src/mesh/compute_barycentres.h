#pragma once

#include "mesh/mesh.h"

namespace malha {

void compute_barycentres(Mesh& mesh);

}  // namespace malha
