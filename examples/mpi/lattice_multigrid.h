// A geometric multigrid for PETSc's PCMG on the lattice's own coarsening,
// for the two-point matrix of a part's owned volumes (poisson_mpi.cpp):
//
// - the grid below the volumes is the lattice's fans (a cell's 4 triangles
//   in the crossed pattern, a 2 x 2 block's 8 in the fan pattern): a volume
//   takes its fan's value;
// - each grid after that groups the last one's cells in twos along x, y or
//   both (a last row or column alone where the count is odd; for cells more
//   than 1.5 times as wide as high, or high as wide, only along the axis of
//   their shorter side): along a halved axis a cell takes 3/4 of its parent's value and
//   1/4 of the parent's neighbour beside it, or all of its parent's where
//   that neighbour is outside the lattice or the parent has no other child;
//   the 2-D weights are the product of the two axes';
// - the coarse operators are Galerkin products P^T A P, built once: the
//   fans' summed from the volumes' rows and halved (kOvercorrection), each
//   coarser one by PETSc's MatPtAP;
// - each level smooths by one Gauss-Seidel sweep of the rank's own rows,
//   forward going down and backward going up, so the cycle is symmetric, as
//   conjugate gradients need.
//
// Each rank owns the fans of its block of cells (parts cut the lattice
// between fans), and the cells of a coarser grid whose first child it owns;
// a grid's cells are numbered part after part, each part's row by row. The
// numbering is computed from the partition alone, with no communication.
// Grids are coarsened until at most kCoarsest cells remain, which PETSc's
// coarse solver (by default a direct one) then solves.
#pragma once

#include <malha/malha.h>
#include <petscksp.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "lattice_grids.h"

namespace lattice_multigrid {

inline void check(PetscErrorCode code) {
  if (code != 0) throw std::runtime_error("PETSc error " + std::to_string(code));
}

// Grids at most this large are solved directly.
inline constexpr std::int64_t kCoarsest = 256;
// The fans' correction, taken twice: a volume's value copied from its fan
// leaves the smooth error's correction about half what it should be, and the
// fans' operator P^T A P halved doubles it (the grids below follow from the
// halved one). Conjugate gradients then take 20 iterations, not 25, on
// 1024 x 512 crossed cells, and 24, not 26, in the fan pattern.
inline constexpr double kOvercorrection = 2.0;

// The interpolation from `coarse` (coarser(fine)) to the rows `part` owns
// of `fine`.
inline Mat interpolation(const Grid& fine, const Grid& coarse, int part) {
  const auto parts_x = static_cast<std::int64_t>(fine.x_starts.size()) - 1;
  const auto c = static_cast<std::size_t>(part % parts_x);
  const auto r = static_cast<std::size_t>(part / parts_x);
  const auto p = static_cast<std::size_t>(part);
  Mat interp = nullptr;
  check(MatCreateAIJ(PETSC_COMM_WORLD,
                     static_cast<PetscInt>(fine.offsets[p + 1] - fine.offsets[p]),
                     static_cast<PetscInt>(coarse.offsets[p + 1] - coarse.offsets[p]),
                     PETSC_DETERMINE, PETSC_DETERMINE, 4, nullptr, 4, nullptr, &interp));
  for (std::int64_t j = fine.y_starts[r]; j < fine.y_starts[r + 1]; ++j) {
    const Weights wy = weights_along(j, fine.ny, coarse.halved_y);
    for (std::int64_t i = fine.x_starts[c]; i < fine.x_starts[c + 1]; ++i) {
      const Weights wx = weights_along(i, fine.nx, coarse.halved_x);
      const auto row = static_cast<PetscInt>(global_cell(fine, i, j));
      PetscInt columns[4];
      PetscScalar values[4];
      int k = 0;
      for (int b = 0; b < wy.count; ++b) {
        for (int a = 0; a < wx.count; ++a, ++k) {
          columns[k] = static_cast<PetscInt>(global_cell(coarse, wx.cells[a], wy.cells[b]));
          values[k] = wx.weights[a] * wy.weights[b];
        }
      }
      check(MatSetValues(interp, 1, &row, k, columns, values, INSERT_VALUES));
    }
  }
  check(MatAssemblyBegin(interp, MAT_FINAL_ASSEMBLY));
  check(MatAssemblyEnd(interp, MAT_FINAL_ASSEMBLY));
  return interp;
}

// What the multigrid needs of a part: its number, and its owned volumes'
// count and first global unknown. The part's mesh itself is not needed, so a
// caller may free it before the multigrid is built.
struct PartUnknowns {
  std::int32_t part = 0;
  PetscInt n_owned = 0;
  PetscInt first = 0;
};

// The fans' interpolation P: a volume takes its fan's value. The owned
// volumes come fan by fan, in the order of the fans' numbers, each fan's
// triangles together, so P is a shell matrix that holds no table (an
// assembled one takes 28 bytes a volume) and needs no communication: a
// part's volumes are its own fans'. out = add + P x, or add + P^T x where
// `transpose`; no `add` is zero.
inline PetscErrorCode fan_product(Mat p, Vec x, Vec add, Vec out, bool transpose) {
  PetscFunctionBeginUser;
  PetscInt volumes = 0;
  PetscInt fans = 0;
  PetscCall(MatGetLocalSize(p, &volumes, &fans));
  const PetscInt per_fan = fans > 0 ? volumes / fans : 1;
  if (add == nullptr) {
    PetscCall(VecZeroEntries(out));
  } else if (add != out) {
    PetscCall(VecCopy(add, out));
  }
  const PetscScalar* in = nullptr;
  PetscScalar* result = nullptr;
  PetscCall(VecGetArrayRead(x, &in));
  PetscCall(VecGetArray(out, &result));
  for (PetscInt f = 0; f < fans; ++f) {
    for (PetscInt v = f * per_fan; v < (f + 1) * per_fan; ++v) {
      if (transpose) {
        result[f] += in[v];
      } else {
        result[v] += in[f];
      }
    }
  }
  PetscCall(VecRestoreArray(out, &result));
  PetscCall(VecRestoreArrayRead(x, &in));
  PetscFunctionReturn(0);
}

inline Mat volumes_from_fans(const PartUnknowns& unknowns, const Grid& fans) {
  const auto p = static_cast<std::size_t>(unknowns.part);
  const auto owned_fans = static_cast<PetscInt>(fans.offsets[p + 1] - fans.offsets[p]);
  Mat interp = nullptr;
  check(MatCreateShell(PETSC_COMM_WORLD, unknowns.n_owned, owned_fans, PETSC_DETERMINE,
                       PETSC_DETERMINE, nullptr, &interp));
  using Product = void (*)();
  const auto mult = [](Mat m, Vec x, Vec y) { return fan_product(m, x, nullptr, y, false); };
  const auto mult_add = [](Mat m, Vec x, Vec y, Vec w) { return fan_product(m, x, y, w, false); };
  const auto mult_t = [](Mat m, Vec x, Vec y) { return fan_product(m, x, nullptr, y, true); };
  const auto mult_t_add = [](Mat m, Vec x, Vec y, Vec w) { return fan_product(m, x, y, w, true); };
  check(MatShellSetOperation(interp, MATOP_MULT, reinterpret_cast<Product>(+mult)));
  check(MatShellSetOperation(interp, MATOP_MULT_ADD, reinterpret_cast<Product>(+mult_add)));
  check(MatShellSetOperation(interp, MATOP_MULT_TRANSPOSE, reinterpret_cast<Product>(+mult_t)));
  check(MatShellSetOperation(interp, MATOP_MULT_TRANSPOSE_ADD,
                             reinterpret_cast<Product>(+mult_t_add)));
  return interp;
}

// The fans' operator P^T A P of the volumes' matrix `fine`, halved
// (kOvercorrection), summed row by row: its entry (f, g) is the sum of A's
// entries in the rows of fan f's volumes and the columns of fan g's.
inline Mat fan_operator(Mat fine, const PartUnknowns& unknowns, const Grid& fans,
                        const malha::LatticePartition& partition) {
  const auto p = static_cast<std::size_t>(unknowns.part);
  const auto first_fan = static_cast<PetscInt>(fans.offsets[p]);
  const auto owned_fans = static_cast<PetscInt>(fans.offsets[p + 1]) - first_fan;
  const auto per_fan = static_cast<PetscInt>(volumes_per_fan(partition.pattern));
  std::vector<std::int64_t> starts;  // each part's first unknown, then their count
  for (std::int32_t q = 0; q <= partition.parts; ++q) {
    starts.push_back(malha::owned_offset(partition, q));
  }
  // The fan of a volume's global unknown: its owner's fan of its number there.
  const auto fan_of = [&](PetscInt unknown) {
    if (unknown >= unknowns.first && unknown < unknowns.first + unknowns.n_owned) {
      return first_fan + (unknown - unknowns.first) / per_fan;
    }
    const auto q = static_cast<std::size_t>(
        std::upper_bound(starts.begin(), starts.end(), unknown) - starts.begin() - 1);
    return static_cast<PetscInt>(fans.offsets[q] + (unknown - starts[q]) / per_fan);
  };
  std::vector<PetscInt> columns;
  std::vector<PetscScalar> values;
  // Fan f's row (f local): its distinct columns and their sums.
  const auto fan_row = [&](PetscInt f) {
    columns.clear();
    values.clear();
    for (PetscInt v = f * per_fan; v < (f + 1) * per_fan; ++v) {
      PetscInt n = 0;
      const PetscInt* row_columns = nullptr;
      const PetscScalar* row_values = nullptr;
      const PetscInt row = unknowns.first + v;
      check(MatGetRow(fine, row, &n, &row_columns, &row_values));
      for (PetscInt k = 0; k < n; ++k) {
        const PetscInt g = fan_of(row_columns[k]);
        const auto at = std::find(columns.begin(), columns.end(), g);
        if (at == columns.end()) {
          columns.push_back(g);
          values.push_back(row_values[k]);
        } else {
          values[static_cast<std::size_t>(at - columns.begin())] += row_values[k];
        }
      }
      check(MatRestoreRow(fine, row, &n, &row_columns, &row_values));
    }
  };
  std::vector<PetscInt> diagonal_count(static_cast<std::size_t>(owned_fans));
  std::vector<PetscInt> other_count(static_cast<std::size_t>(owned_fans));
  for (PetscInt f = 0; f < owned_fans; ++f) {
    fan_row(f);
    for (const PetscInt g : columns) {
      ++(g >= first_fan && g < first_fan + owned_fans ? diagonal_count : other_count)[f];
    }
  }
  Mat op = nullptr;
  check(MatCreateAIJ(PETSC_COMM_WORLD, owned_fans, owned_fans, PETSC_DETERMINE, PETSC_DETERMINE,
                     0, diagonal_count.data(), 0, other_count.data(), &op));
  for (PetscInt f = 0; f < owned_fans; ++f) {
    fan_row(f);
    for (PetscScalar& value : values) value /= kOvercorrection;
    const PetscInt row = first_fan + f;
    check(MatSetValues(op, 1, &row, static_cast<PetscInt>(columns.size()), columns.data(),
                       values.data(), INSERT_VALUES));
  }
  check(MatAssemblyBegin(op, MAT_FINAL_ASSEMBLY));
  check(MatAssemblyEnd(op, MAT_FINAL_ASSEMBLY));
  return op;
}

// One sweep of the rank's rows, forward from a zero guess going down (a
// single application, which needs no work vectors) and backward from the
// current guess going up.
inline void single_sweep(KSP smoother, MatSORType sweep) {
  const bool down = sweep == SOR_LOCAL_FORWARD_SWEEP;
  check(KSPSetType(smoother, down ? KSPPREONLY : KSPRICHARDSON));
  check(KSPSetTolerances(smoother, PETSC_DEFAULT, PETSC_DEFAULT, PETSC_DEFAULT, 1));
  check(KSPSetNormType(smoother, KSP_NORM_NONE));
  check(KSPSetConvergenceTest(smoother, KSPConvergedSkip, nullptr, nullptr));
  PC pc = nullptr;
  check(KSPGetPC(smoother, &pc));
  check(PCSetType(pc, PCSOR));
  check(PCSORSetSymmetric(pc, sweep));
}

// Makes `pc` the lattice's multigrid for the matrix of a part's owned
// volumes, on a lattice of dim_x x dim_y cut by `partition`.
inline void use_lattice_multigrid(PC pc, const PartUnknowns& unknowns,
                                  const malha::LatticePartition& partition, double dim_x,
                                  double dim_y) {
  std::vector<Grid> grids{fan_grid(partition, dim_x, dim_y)};
  while (grids.back().nx * grids.back().ny > kCoarsest &&
         (grids.back().nx > 1 || grids.back().ny > 1)) {
    grids.push_back(coarser(grids.back()));
  }
  const auto levels = static_cast<PetscInt>(grids.size()) + 1;
  check(PCSetType(pc, PCMG));
  check(PCMGSetLevels(pc, levels, nullptr));
  check(PCMGSetGalerkin(pc, PC_MG_GALERKIN_NONE));
  // PCMG's level l (0 the coarsest) is grids[levels - 2 - l]; the volumes
  // are level levels - 1.
  Mat fine = nullptr;
  check(PCGetOperators(pc, nullptr, &fine));
  Mat interp = volumes_from_fans(unknowns, grids.front());
  Mat op = fan_operator(fine, unknowns, grids.front(), partition);
  check(PCMGSetInterpolation(pc, levels - 1, interp));
  check(MatDestroy(&interp));
  for (PetscInt l = levels - 2; l >= 0; --l) {
    KSP smoother = nullptr;
    check(PCMGGetSmoother(pc, l, &smoother));
    check(KSPSetOperators(smoother, op, op));
    if (l == 0) break;
    const auto g = static_cast<std::size_t>(levels - 1 - l);
    interp = interpolation(grids[g - 1], grids[g], unknowns.part);
    Mat coarse = nullptr;
    // Each product's intermediate tables are kept for a product again unless
    // cleared; there is none, and in parallel they are larger than the product.
    check(MatPtAP(op, interp, MAT_INITIAL_MATRIX, 2.0, &coarse));
    check(MatProductClear(coarse));
    check(PCMGSetInterpolation(pc, l, interp));
    check(MatDestroy(&interp));
    check(MatDestroy(&op));
    op = coarse;
  }
  check(MatDestroy(&op));
  for (PetscInt l = 1; l < levels; ++l) {
    KSP smoother = nullptr;
    check(PCMGGetSmootherDown(pc, l, &smoother));
    single_sweep(smoother, SOR_LOCAL_FORWARD_SWEEP);
    check(PCMGGetSmootherUp(pc, l, &smoother));
    single_sweep(smoother, SOR_LOCAL_BACKWARD_SWEEP);
  }
}

}  // namespace lattice_multigrid
