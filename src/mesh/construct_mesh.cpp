#include "mesh/construct_mesh.h"

#include "mesh/allocate_mesh.h"
#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/place_nodes.h"
#include "mesh/size_mesh.h"

namespace malha {

void construct_mesh(Mesh& mesh) {
  size_mesh(mesh);
  allocate_mesh(mesh);
  place_nodes(mesh);
  define_volumes(mesh);
  find_volume_neighbours(mesh);
  compute_barycentres(mesh);
}

}  // namespace malha
