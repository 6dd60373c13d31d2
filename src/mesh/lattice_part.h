#pragma once
// A lattice cut into parts, each built on its own: every process of a
// parallel solver builds only its part, with its halo and every global
// number, in time and memory in proportion to that part and with no
// communication. Installed as <malha/mesh/lattice_part.h>; no MPI here.
//
// A partition is a grid of parts_x x parts_y blocks of cells; part p is the
// block (p % parts_x, p / parts_x), x fastest. Global numbers are those
// build_lattice_mesh gives the whole lattice, 1-based, in 64 bits.
//
// Throws malha::Error: ARGUMENT, naming the reason and the limit, for
// parts below 1, a part outside 0 to parts - 1, more parts than a grid of
// blocks can give at least one cell each (one 2 x 2 block in the fan
// pattern), and a part whose own counts pass 32 bits; the lattice refusals of
// build_lattice_mesh but the whole lattice's 32-bit counts (cells up to 2^30
// a side); ALLOCATE and MATH as build_lattice_mesh.

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "../mesh/mesh.h"
#include "../system/error.h"

namespace malha {

// The lattice a level's mesh is (levels 2 to 30; level 1 is no lattice),
// to cut it into parts: build_lattice_part(lattice.cells_x,
// lattice.cells_y, dim_x, dim_y, lattice.pattern, part, parts) is part of
// build_mesh(level, dim_x, dim_y). Throws the LEVEL report outside 1 to 30,
// ARGUMENT for level 1.
struct LevelLattice {
  std::int64_t cells_x = 0;
  std::int64_t cells_y = 0;
  LatticePattern pattern = LatticePattern::crossed;
};
LevelLattice lattice_of_level(std::int32_t level);

// How `cells_x` x `cells_y` cells are cut into `parts` blocks. The block
// grid's counts are the factor pair of `parts` nearest each other that fits
// the cells, the larger count along the side with more cells (x on a tie);
// the cells are split as evenly as the pattern allows (whole 2 x 2 blocks in
// the fan pattern). Block column i holds cells x_starts[i] + 1 to
// x_starts[i + 1]; x_starts[0] = 0, x_starts[parts_x] = cells_x; rows alike.
struct LatticePartition {
  std::int64_t cells_x = 0;
  std::int64_t cells_y = 0;
  LatticePattern pattern = LatticePattern::crossed;
  std::int32_t parts = 0;
  std::int32_t parts_x = 0;
  std::int32_t parts_y = 0;
  std::vector<std::int64_t> x_starts;  // parts_x + 1 cell boundaries
  std::vector<std::int64_t> y_starts;  // parts_y + 1 cell boundaries
};

LatticePartition partition_lattice(std::int64_t cells_x, std::int64_t cells_y,
                                   LatticePattern pattern, std::int32_t parts);

// The owned volumes of the parts before `part` (0 to parts): a solver that
// numbers each part's owned volumes from owned_offset(partition, part) has
// one contiguous numbering of all real volumes without communication.
std::int64_t owned_offset(const LatticePartition& partition, std::int32_t part);

// The global numbers of a part's volumes or nodes, read as a vector is:
// numbers[local - 1]. The owned ones are computed from the rows of the
// owned block, `runs` rows of `length` consecutive numbers each, row i from
// first + i x step; the others are held. So a part takes no 8 bytes a
// volume for them.
struct NumberRuns {
  std::int64_t first = 0;
  std::int64_t step = 0;
  std::int64_t length = 0;
  std::int64_t runs = 0;
};

class GlobalNumbers {
 public:
  GlobalNumbers() = default;
  GlobalNumbers(std::vector<NumberRuns> blocks, std::vector<std::int64_t> rest)
      : blocks_(std::move(blocks)), rest_(std::move(rest)) {}

  std::int64_t operator[](std::size_t index) const {
    for (const NumberRuns& block : blocks_) {
      const auto count = static_cast<std::size_t>(block.length * block.runs);
      if (index < count) {
        const auto i = static_cast<std::int64_t>(index);
        return block.first + (i / block.length) * block.step + i % block.length;
      }
      index -= count;
    }
    return rest_[index];
  }

  std::size_t size() const {
    std::size_t count = rest_.size();
    for (const NumberRuns& block : blocks_)
      count += static_cast<std::size_t>(block.length * block.runs);
    return count;
  }

 private:
  std::vector<NumberRuns> blocks_;
  std::vector<std::int64_t> rest_;
};

// One part. `mesh` is numbered locally, 1-based as every Mesh:
// - volumes: the real volumes the part owns (1 to n_owned), in the order of
//   their global numbers; its halo (n_owned + 1 to n_owned + n_halo), every
//   other part's real volume that shares a face with an owned one, in the
//   order of their global numbers; then the fictitious volumes of the owned
//   volumes' boundary edges, in the order of their global numbers. The mesh's
//   n_real_volumes is n_owned + n_halo and `n_halo_volumes` is n_halo.
// - nodes: the real nodes of the owned volumes, then the halo's other real
//   nodes, then the fictitious nodes of the part's fictitious volumes, each
//   run in the order of the global numbers.
// - neighbours: a volume's neighbours that the part holds, as local numbers,
//   in the order of the whole mesh's row (their global numbers), then zeros;
//   an owned volume has all three, a halo volume only its owned ones.
// - coordinates and barycentres are bit for bit the whole mesh's.
// The mesh's other fields are the whole lattice's (lengths, cells, pattern,
// lines, spacings, lattice figures), `level` too when the part is the whole
// lattice, else 0; the lines, cells_x + cells_y + 2 doubles, are the one
// table of the whole lattice a part holds; `part_first_x`, `part_first_y`, `part_cells_x` and
// `part_cells_y` give the owned block.
struct MeshPart {
  Mesh mesh;
  std::int32_t part = 0;
  std::int32_t parts = 0;
  std::int32_t n_owned = 0;
  std::int32_t n_halo = 0;
  GlobalNumbers global_volumes;                 // mesh.n_volumes entries
  GlobalNumbers global_nodes;                   // mesh.n_nodes entries
  std::vector<std::int32_t> halo_owners;        // n_halo entries: the owning part (0-based)
  std::vector<std::int32_t> halo_owner_locals;  // n_halo entries: the local number there
};

// Part `part` (0 to parts - 1) of partition_lattice(cells_x, cells_y,
// pattern, parts) of the lattice build_lattice_mesh(cells_x, cells_y, dim_x,
// dim_y, pattern) would build, with the caller's floating-point environment
// kept.
MeshPart build_lattice_part(std::int64_t cells_x, std::int64_t cells_y, double dim_x, double dim_y,
                            LatticePattern pattern, std::int32_t part, std::int32_t parts);

// The same of the lattice build_lattice_mesh(xs, ys, pattern) would build on
// given lines, refusing the lines that call refuses.
MeshPart build_lattice_part(std::span<const double> xs, std::span<const double> ys,
                            LatticePattern pattern, std::int32_t part, std::int32_t parts);

}  // namespace malha
