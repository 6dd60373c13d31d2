#include "mesh/compute_barycentres.h"

namespace malha {

void compute_barycentres(Mesh& mesh) { (void)mesh; }

}  // namespace malha
