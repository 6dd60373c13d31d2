#include "mesh/find_volume_neighbours.h"

namespace malha {

void find_volume_neighbours(Mesh& mesh) { (void)mesh; }

}  // namespace malha
