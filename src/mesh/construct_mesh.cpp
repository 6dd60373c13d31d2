#include "mesh/construct_mesh.h"

#include "mesh/allocate_mesh.h"
#include "mesh/compute_barycentres.h"
#include "mesh/define_volumes.h"
#include "mesh/find_volume_neighbours.h"
#include "mesh/place_nodes.h"
#include "mesh/size_mesh.h"

namespace malha {

namespace {

void construct_sized_mesh(Mesh& mesh) {
  allocate_mesh(mesh);
  place_nodes(mesh);
  define_volumes(mesh);
  find_volume_neighbours(mesh);
  compute_barycentres(mesh);
}

}  // namespace

void construct_mesh(Mesh& mesh) {
  size_mesh(mesh);
  construct_sized_mesh(mesh);
}

void construct_lattice_mesh(Mesh& mesh) {
  size_lattice(mesh);
  construct_sized_mesh(mesh);
}

}  // namespace malha
