#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "mesh/allocate_mesh.h"
#include "mesh/check_finite_values.h"
#include "mesh/check_lattice.h"
#include "mesh/compute_barycentres.h"
#include "mesh/lattice.h"
#include "mesh/lattice_part.h"
#include "mesh/partition_lattice.h"
#include "mesh/size_mesh.h"
#include "system/fp_environment_kept.h"
#include "system/run_error.h"

namespace malha {
namespace {

constexpr const char* kFunction = "build_lattice_part";

// The index of `value` in the ascending `sorted`, which holds it.
std::int32_t index_in(const std::vector<std::int64_t>& sorted, std::int64_t value) {
  return static_cast<std::int32_t>(std::lower_bound(sorted.begin(), sorted.end(), value) -
                                   sorted.begin());
}

bool holds(const std::vector<std::int64_t>& sorted, std::int64_t value) {
  return std::binary_search(sorted.begin(), sorted.end(), value);
}

void sort_unique(std::vector<std::int64_t>& numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

// A global triangle of the whole lattice and its row there.
struct GlobalTriangle {
  std::int64_t number = 0;
  WideLatticeVolume row{};
};

// The builder of one part. The owned block is itself a lattice of fans
// (`block_`), numbered as the whole lattice numbers its own: its triangles
// row by row and its lattice nodes and centres row by row are the owned
// volumes and their nodes in the order of their global numbers. Only its
// boundary, where that numbering would give a fictitious volume of the
// block, leads to the halo or to the part's fictitious volumes, through
// `across_global_`.
class PartBuilder {
 public:
  PartBuilder(const Mesh& whole, const LatticePartition& partition, std::int32_t part)
      : whole_(whole),
        partition_(partition),
        lattice_(wide_lattice_of(partition.cells_x, partition.cells_y, partition.pattern)),
        w_(lattice_.side_edges),
        ring_(4 * w_) {
    const auto px = static_cast<std::size_t>(part % partition.parts_x);
    const auto py = static_cast<std::size_t>(part / partition.parts_x);
    x0_ = partition.x_starts[px];
    x1_ = partition.x_starts[px + 1];
    y0_ = partition.y_starts[py];
    y1_ = partition.y_starts[py + 1];
    block_.nx = x1_ - x0_ + 1;
    block_.ny = y1_ - y0_ + 1;
    block_.side_edges = w_;
    block_.fans_x = (x1_ - x0_) / w_;
    block_.fans_y = (y1_ - y0_) / w_;
    block_.n_real_nodes = block_.nx * block_.ny + (w_ == 1 ? (x1_ - x0_) * (y1_ - y0_) : 0);
    block_.n_real_volumes = ring_ * block_.fans_x * block_.fans_y;
    find_perimeter();
  }

  std::int64_t n_owned() const { return block_.n_real_volumes; }
  std::int64_t n_halo() const { return static_cast<std::int64_t>(halo_.size()); }
  std::int64_t n_fict() const { return static_cast<std::int64_t>(fict_.size()); }
  std::int64_t n_owned_nodes() const { return block_.n_real_nodes; }
  std::int64_t n_halo_nodes() const { return static_cast<std::int64_t>(halo_nodes_.size()); }
  std::int64_t n_fict_nodes() const { return static_cast<std::int64_t>(fict_nodes_.size()); }

  void build(MeshPart& part) {
    Mesh& mesh = part.mesh;
    place_owned_nodes(mesh);
    std::int32_t node = static_cast<std::int32_t>(n_owned_nodes());
    for (const std::int64_t g : halo_nodes_) place_node(mesh, ++node, g);
    for (const std::int64_t g : fict_nodes_) place_node(mesh, ++node, g);
    define_owned_volumes(mesh);
    std::int32_t v = static_cast<std::int32_t>(n_owned());
    for (const GlobalTriangle& halo : halo_) write_row(mesh, ++v, halo.row);
    for (const std::int64_t e : fict_) write_row(mesh, ++v, fictitious_volume(lattice_, e));
    compute_barycentres(mesh);
    number_globally(part);
  }

 private:
  // The block's boundary edges in its own order (anticlockwise from its
  // lower-left corner): the global triangle across each, or the global
  // fictitious volume on it; then the halo and the fictitious volumes in
  // the order of their global numbers, and the nodes they add.
  void find_perimeter() {
    const std::int64_t side_x = x1_ - x0_;
    const std::int64_t side_y = y1_ - y0_;
    const std::int64_t edges = 2 * (side_x + side_y);
    across_global_.resize(static_cast<std::size_t>(edges));
    for (std::int64_t a = 0; a < edges; ++a) {
      // The block's fan (r, s) and its triangle k on that edge, as the
      // fictitious volumes of a lattice find theirs.
      int side = 0;
      std::int64_t along = a;
      const std::int64_t sides[4] = {side_x, side_y, side_x, side_y};
      while (along >= sides[side]) along -= sides[side++];
      const std::int64_t fan_along = along / w_;
      const std::int64_t place = along % w_;
      std::int64_t r = 0;
      std::int64_t s = 0;
      switch (side) {
        case 0:
          r = 1;
          s = fan_along + 1;
          break;
        case 1:
          r = fan_along + 1;
          s = block_.fans_x;
          break;
        case 2:
          r = block_.fans_y;
          s = block_.fans_x - fan_along;
          break;
        default:
          r = block_.fans_y - fan_along;
          s = 1;
          break;
      }
      const GlobalTriangle own = global_triangle(y0_ / w_ + r, x0_ / w_ + s, side * w_ + place);
      std::int64_t across = 0;
      for (const std::int64_t n : own.row.neighbours) {
        if (n != 0 && !same_fan(n, own.number)) across = n;
      }
      across_global_[static_cast<std::size_t>(a)] = across;
      if (across > lattice_.n_real_volumes) {
        fict_.push_back(across - lattice_.n_real_volumes);
      } else {
        halo_.push_back(triangle(across));
      }
    }
    std::sort(halo_.begin(), halo_.end(),
              [](const GlobalTriangle& a, const GlobalTriangle& b) { return a.number < b.number; });
    std::sort(fict_.begin(), fict_.end());
    for (const GlobalTriangle& halo : halo_) {
      halo_numbers_.push_back(halo.number);
      for (const std::int64_t n : halo.row.nodes) {
        if (!is_owned_node(n)) halo_nodes_.push_back(n);
      }
    }
    for (const std::int64_t e : fict_) {
      fict_numbers_.push_back(lattice_.n_real_volumes + e);
      fict_nodes_.push_back(fictitious_volume(lattice_, e).nodes[0]);
    }
    sort_unique(halo_nodes_);
    sort_unique(fict_nodes_);
  }

  bool same_fan(std::int64_t a, std::int64_t b) const {
    return a <= lattice_.n_real_volumes && (a - 1) / ring_ == (b - 1) / ring_;
  }

  // Triangle k (from 0) of the whole lattice's fan (r, s), from 1.
  GlobalTriangle global_triangle(std::int64_t r, std::int64_t s, std::int64_t k) const {
    return {fan_volume_number(lattice_, r, s, k + 1), fan_volume(lattice_, r, s, k + 1)};
  }

  GlobalTriangle triangle(std::int64_t number) const {
    const std::int64_t fan = (number - 1) / ring_;
    return global_triangle(fan / lattice_.fans_x + 1, fan % lattice_.fans_x + 1,
                           (number - 1) % ring_);
  }

  // Lattice node (i, j) of the whole lattice, from 1, lies in the block.
  bool is_owned_node(std::int64_t g) const {
    const std::int64_t lattice_nodes = lattice_.nx * lattice_.ny;
    if (g > lattice_nodes) return false;  // a centre of the block is no triangle's apex here
    const std::int64_t i = (g - 1) % lattice_.nx;
    const std::int64_t j = (g - 1) / lattice_.nx;
    return i >= x0_ && i <= x1_ && j >= y0_ && j <= y1_;
  }

  std::int32_t local_node(std::int64_t g) const {
    if (is_owned_node(g)) {
      const std::int64_t i = (g - 1) % lattice_.nx - x0_;
      const std::int64_t j = (g - 1) / lattice_.nx - y0_;
      return static_cast<std::int32_t>(j * block_.nx + i + 1);
    }
    if (g > lattice_.n_real_nodes) {
      const std::int64_t before = n_owned_nodes() + n_halo_nodes();
      return static_cast<std::int32_t>(before + index_in(fict_nodes_, g) + 1);
    }
    return static_cast<std::int32_t>(n_owned_nodes() + index_in(halo_nodes_, g) + 1);
  }

  // The local number of global volume `g`, 0 when the part lacks it.
  std::int32_t local_volume(std::int64_t g) const {
    if (g > lattice_.n_real_volumes) {
      if (!holds(fict_numbers_, g)) return 0;
      return static_cast<std::int32_t>(n_owned() + n_halo() + index_in(fict_numbers_, g) + 1);
    }
    const std::int64_t fan = (g - 1) / ring_;
    const std::int64_t r = fan / lattice_.fans_x - y0_ / w_;
    const std::int64_t s = fan % lattice_.fans_x - x0_ / w_;
    if (r >= 0 && r < block_.fans_y && s >= 0 && s < block_.fans_x) {
      return static_cast<std::int32_t>(ring_ * (r * block_.fans_x + s) + (g - 1) % ring_ + 1);
    }
    if (!holds(halo_numbers_, g)) return 0;
    return static_cast<std::int32_t>(n_owned() + index_in(halo_numbers_, g) + 1);
  }

  // The coordinates of global node `g`, as place_nodes gives them to the
  // whole lattice.
  void place_node(Mesh& mesh, std::int32_t local, std::int64_t g) const {
    const std::int64_t lattice_nodes = lattice_.nx * lattice_.ny;
    const std::int64_t cells_x = lattice_.nx - 1;
    const auto at = [](std::int64_t index) { return static_cast<std::int32_t>(index); };
    NodeCoords xy;
    if (g <= lattice_nodes) {
      xy =
          lattice_node_coords(whole_, at((g - 1) % lattice_.nx + 1), at((g - 1) / lattice_.nx + 1));
    } else if (g <= lattice_.n_real_nodes) {
      const std::int64_t c = g - lattice_nodes - 1;
      xy = centre_node_coords(whole_, at(c % cells_x + 1), at(c / cells_x + 1));
    } else {
      xy = fictitious_node_coords(whole_, g - lattice_.n_real_nodes);
    }
    mesh.node_coords(local, 1) = xy.x;
    mesh.node_coords(local, 2) = xy.y;
  }

  // The block's lattice nodes row by row, then its centres.
  void place_owned_nodes(Mesh& mesh) const {
    std::int32_t node = 0;
    for (std::int64_t j = y0_ + 1; j <= y1_ + 1; ++j) {
      for (std::int64_t i = x0_ + 1; i <= x1_ + 1; ++i) {
        place_node(mesh, ++node, (j - 1) * lattice_.nx + i);
      }
    }
    if (w_ == 1) {
      const std::int64_t centres = lattice_.nx * lattice_.ny;
      for (std::int64_t j = y0_ + 1; j <= y1_; ++j) {
        for (std::int64_t i = x0_ + 1; i <= x1_; ++i) {
          place_node(mesh, ++node, centres + (j - 1) * (lattice_.nx - 1) + i);
        }
      }
    }
    if (whole_.level == 2) {
      // Level 2's corners lie at 0 and at the spacings themselves, as its
      // place_nodes puts them: the 1 x 1 lattice is one part.
      const double corners[4][2] = {
          {0.0, 0.0}, {whole_.dx, 0.0}, {0.0, whole_.dy}, {whole_.dx, whole_.dy}};
      for (std::int32_t n = 1; n <= 4; ++n) {
        mesh.node_coords(n, 1) = corners[n - 1][0];
        mesh.node_coords(n, 2) = corners[n - 1][1];
      }
    }
  }

  // The owned triangles from the block's own numbering; a number past the
  // block's real volumes is one of its boundary edges, and the volume
  // across it in the part is that of the whole lattice.
  void define_owned_volumes(Mesh& mesh) const {
    if (w_ == 2) {
      define_owned_fans<2>(mesh);
    } else {
      define_owned_fans<1>(mesh);
    }
  }

  template <int SideEdges>
  void define_owned_fans(Mesh& mesh) const {
    std::vector<std::int32_t> across_local(across_global_.size());
    for (std::size_t a = 0; a < across_global_.size(); ++a) {
      across_local[a] = local_volume(across_global_[a]);
    }
    const auto owned = static_cast<std::int32_t>(n_owned());
    for (std::int64_t r = 1; r <= block_.fans_y; ++r) {
      for (std::int64_t s = 1; s <= block_.fans_x; ++s) {
        detail::each_fan_volume<SideEdges>(
            block_, r, s, [&](std::int64_t k, const WideLatticeVolume& row) {
              const auto local = static_cast<std::int32_t>(fan_volume_number(block_, r, s, k));
              std::int32_t* nodes = mesh.volume_nodes.row(local);
              std::int32_t* neighbours = mesh.volume_neighbours.row(local);
              for (int c = 0; c < 3; ++c) {
                nodes[c] = static_cast<std::int32_t>(row.nodes[c]);
                const auto n = static_cast<std::int32_t>(row.neighbours[c]);
                neighbours[c] =
                    n > owned ? across_local[static_cast<std::size_t>(n - owned - 1)] : n;
              }
              // The whole lattice's order of the columns: a volume across
              // the block's edge may come before its neighbours in the fan.
              order_by_global(neighbours);
            });
      }
    }
  }

  // Puts row `local`'s neighbours in the order of their global numbers,
  // which the block's numbering gives all but the volume across the block's
  // edge: a halo volume below or left of the block precedes the fan's own.
  void order_by_global(std::int32_t* neighbours) const {
    const auto owned = static_cast<std::int32_t>(n_owned());
    if (neighbours[2] <= owned || neighbours[2] > owned + n_halo()) return;
    const std::int64_t halo = halo_[static_cast<std::size_t>(neighbours[2] - owned - 1)].number;
    if (halo < global_volume_of_owned(neighbours[0])) {
      std::rotate(neighbours, neighbours + 2, neighbours + 3);
    }
  }

  std::int64_t global_volume_of_owned(std::int32_t local) const {
    const std::int64_t i = local - 1;
    const std::int64_t fan = i / ring_;
    const std::int64_t r = fan / block_.fans_x + y0_ / w_;
    const std::int64_t s = fan % block_.fans_x + x0_ / w_;
    return ring_ * (r * lattice_.fans_x + s) + i % ring_ + 1;
  }

  // A halo or fictitious row: its nodes, and the neighbours the part holds
  // in the whole lattice's order, then zeros.
  void write_row(Mesh& mesh, std::int32_t local, const WideLatticeVolume& row) const {
    std::int32_t* nodes = mesh.volume_nodes.row(local);
    std::int32_t* neighbours = mesh.volume_neighbours.row(local);
    int held = 0;
    for (int c = 0; c < 3; ++c) {
      nodes[c] = local_node(row.nodes[c]);
      neighbours[c] = 0;
    }
    for (const std::int64_t n : row.neighbours) {
      const std::int32_t l = n == 0 ? 0 : local_volume(n);
      if (l != 0) neighbours[held++] = l;
    }
  }

  void number_globally(MeshPart& part) const {
    const std::int64_t fans_x = lattice_.fans_x;
    std::vector<std::int64_t> others = halo_numbers_;
    others.insert(others.end(), fict_numbers_.begin(), fict_numbers_.end());
    part.global_volumes = GlobalNumbers({{ring_ * ((y0_ / w_) * fans_x + x0_ / w_) + 1,
                                          ring_ * fans_x, ring_ * block_.fans_x, block_.fans_y}},
                                        std::move(others));
    std::vector<NumberRuns> node_runs = {
        {y0_ * lattice_.nx + x0_ + 1, lattice_.nx, block_.nx, block_.ny}};
    if (w_ == 1) {
      const std::int64_t cells_x = lattice_.nx - 1;
      node_runs.push_back(
          {lattice_.nx * lattice_.ny + y0_ * cells_x + x0_ + 1, cells_x, x1_ - x0_, y1_ - y0_});
    }
    std::vector<std::int64_t> nodes = halo_nodes_;
    nodes.insert(nodes.end(), fict_nodes_.begin(), fict_nodes_.end());
    part.global_nodes = GlobalNumbers(std::move(node_runs), std::move(nodes));
    for (const GlobalTriangle& halo : halo_) {
      const std::int64_t fan = (halo.number - 1) / ring_;
      const std::int64_t cell_x = (fan % fans_x) * w_;
      const std::int64_t cell_y = (fan / fans_x) * w_;
      const auto& xs = partition_.x_starts;
      const auto& ys = partition_.y_starts;
      const auto qx =
          static_cast<std::size_t>(std::upper_bound(xs.begin(), xs.end(), cell_x) - xs.begin() - 1);
      const auto qy =
          static_cast<std::size_t>(std::upper_bound(ys.begin(), ys.end(), cell_y) - ys.begin() - 1);
      part.halo_owners.push_back(static_cast<std::int32_t>(qy) * partition_.parts_x +
                                 static_cast<std::int32_t>(qx));
      const std::int64_t q_fans_x = (xs[qx + 1] - xs[qx]) / w_;
      const std::int64_t r = (cell_y - ys[qy]) / w_;
      const std::int64_t s = (cell_x - xs[qx]) / w_;
      part.halo_owner_locals.push_back(
          static_cast<std::int32_t>(ring_ * (r * q_fans_x + s) + (halo.number - 1) % ring_ + 1));
    }
  }

  const Mesh& whole_;
  const LatticePartition& partition_;
  WideLattice lattice_;
  std::int64_t w_;
  std::int64_t ring_;
  std::int64_t x0_ = 0, x1_ = 0, y0_ = 0, y1_ = 0;  // the block's cells: x0_ + 1 .. x1_
  WideLattice block_;
  std::vector<std::int64_t> across_global_;  // by the block's boundary edge
  std::vector<GlobalTriangle> halo_;         // ascending
  std::vector<std::int64_t> halo_numbers_;   // ascending
  std::vector<std::int64_t> fict_;           // the whole lattice's boundary edges, ascending
  std::vector<std::int64_t> fict_numbers_;   // their volumes, ascending
  std::vector<std::int64_t> halo_nodes_;     // ascending
  std::vector<std::int64_t> fict_nodes_;     // ascending
};

// Refuses a part whose own counts pass 32 bits.
void check_part_counts(const PartBuilder& builder, std::int32_t part) {
  const struct {
    const char* name;
    std::int64_t count;
  } totals[] = {
      {"volumes", builder.n_owned() + builder.n_halo() + builder.n_fict()},
      {"nodes", builder.n_owned_nodes() + builder.n_halo_nodes() + builder.n_fict_nodes()}};
  for (const auto& total : totals) {
    if (total.count <= INT32_MAX) continue;
    fail_argument(kFunction, "part " + std::to_string(part) + " would hold " +
                                 std::to_string(total.count) + " " + total.name +
                                 " (owned, halo and fictitious), past the " +
                                 std::to_string(INT32_MAX) + " a 32-bit count holds");
  }
}

// The partition of a lattice whose shape is checked, refusing `part`
// outside it.
LatticePartition checked_partition(std::int64_t cells_x, std::int64_t cells_y,
                                   LatticePattern pattern, std::int32_t part, std::int32_t parts) {
  LatticePartition partition = partition_lattice_as(cells_x, cells_y, pattern, parts, kFunction);
  if (part < 0 || part >= parts) {
    fail_argument(kFunction, "part (" + std::to_string(part) + ") is outside 0 to " +
                                 std::to_string(parts - 1));
  }
  return partition;
}

// Part `part` of `partition` of the lattice whose cells, pattern, lengths
// and any given lines `result.mesh` holds, all checked: the mesh is sized as
// the whole lattice, never allocated (its counts may pass 32 bits), then
// takes the part's counts and tables.
MeshPart part_of(MeshPart result, const LatticePartition& partition, std::int32_t part) {
  Mesh& mesh = result.mesh;
  const std::int32_t parts = partition.parts;
  const FpEnvironmentKept kept;
  size_lattice(mesh);
  PartBuilder builder(mesh, partition, part);
  check_part_counts(builder, part);
  result.part = part;
  result.parts = parts;
  result.n_owned = static_cast<std::int32_t>(builder.n_owned());
  result.n_halo = static_cast<std::int32_t>(builder.n_halo());
  mesh.n_real_volumes = result.n_owned + result.n_halo;
  mesh.n_fict_volumes = static_cast<std::int32_t>(builder.n_fict());
  mesh.n_volumes = mesh.n_real_volumes + mesh.n_fict_volumes;
  mesh.n_real_nodes = static_cast<std::int32_t>(builder.n_owned_nodes() + builder.n_halo_nodes());
  mesh.n_fict_nodes = static_cast<std::int32_t>(builder.n_fict_nodes());
  mesh.n_nodes = mesh.n_real_nodes + mesh.n_fict_nodes;
  const auto px = static_cast<std::size_t>(part % partition.parts_x);
  const auto py = static_cast<std::size_t>(part / partition.parts_x);
  mesh.part_first_x = static_cast<std::int32_t>(partition.x_starts[px]);
  mesh.part_first_y = static_cast<std::int32_t>(partition.y_starts[py]);
  mesh.part_cells_x =
      static_cast<std::int32_t>(partition.x_starts[px + 1] - partition.x_starts[px]);
  mesh.part_cells_y =
      static_cast<std::int32_t>(partition.y_starts[py + 1] - partition.y_starts[py]);
  mesh.n_halo_volumes = result.n_halo;
  allocate_mesh(mesh);
  builder.build(result);
  check_finite_values(mesh);
  if (parts > 1) mesh.level = 0;
  return result;
}

}  // namespace

MeshPart build_lattice_part(std::int64_t cells_x, std::int64_t cells_y, double dim_x, double dim_y,
                            LatticePattern pattern, std::int32_t part, std::int32_t parts) {
  return reporting_allocation([&] {
    check_lattice_shape(cells_x, cells_y, pattern, kFunction);
    check_lattice_lengths(dim_x, dim_y, kFunction);
    const LatticePartition partition = checked_partition(cells_x, cells_y, pattern, part, parts);
    MeshPart result;
    Mesh& mesh = result.mesh;
    mesh.cells_x = static_cast<std::int32_t>(cells_x);
    mesh.cells_y = static_cast<std::int32_t>(cells_y);
    mesh.pattern = pattern;
    mesh.dim_x = dim_x;
    mesh.dim_y = dim_y;
    return part_of(std::move(result), partition, part);
  });
}

MeshPart build_lattice_part(std::span<const double> xs, std::span<const double> ys,
                            LatticePattern pattern, std::int32_t part, std::int32_t parts) {
  return reporting_allocation([&] {
    check_lattice_lines(xs, ys, pattern, kFunction);
    const auto cells_x = static_cast<std::int64_t>(xs.size()) - 1;
    const auto cells_y = static_cast<std::int64_t>(ys.size()) - 1;
    const LatticePartition partition = checked_partition(cells_x, cells_y, pattern, part, parts);
    MeshPart result;
    Mesh& mesh = result.mesh;
    set_lattice_lines(mesh, xs, ys, pattern);
    return part_of(std::move(result), partition, part);
  });
}

}  // namespace malha
