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
// - the coarse operators are Galerkin products P^T A P (PETSc's MatPtAP),
//   built once, the fans' halved (kOvercorrection);
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

// The interpolation from the fans to the part's owned volumes, whose
// unknowns are numbered from `first_unknown`: the owned volumes come fan
// by fan, in the order of the fans' numbers, each fan's triangles together.
inline Mat volumes_from_fans(const malha::MeshPart& part, const Grid& fans,
                             PetscInt first_unknown) {
  const auto p = static_cast<std::size_t>(part.part);
  const PetscInt owned_fans = static_cast<PetscInt>(fans.offsets[p + 1] - fans.offsets[p]);
  const auto per_fan = static_cast<PetscInt>(volumes_per_fan(part.mesh.pattern));
  Mat interp = nullptr;
  check(MatCreateAIJ(PETSC_COMM_WORLD, part.n_owned, owned_fans, PETSC_DETERMINE,
                     PETSC_DETERMINE, 1, nullptr, 0, nullptr, &interp));
  for (PetscInt v = 0; v < part.n_owned; ++v) {
    const PetscInt row = first_unknown + v;
    const PetscInt column = static_cast<PetscInt>(fans.offsets[p]) + v / per_fan;
    check(MatSetValue(interp, row, column, 1.0, INSERT_VALUES));
  }
  check(MatAssemblyBegin(interp, MAT_FINAL_ASSEMBLY));
  check(MatAssemblyEnd(interp, MAT_FINAL_ASSEMBLY));
  return interp;
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

// Makes `pc` the lattice's multigrid for the matrix of `part`'s owned
// volumes, numbered from first_unknown.
inline void use_lattice_multigrid(PC pc, const malha::MeshPart& part,
                                  const malha::LatticePartition& partition,
                                  PetscInt first_unknown) {
  std::vector<Grid> grids{fan_grid(partition, part.mesh.dim_x, part.mesh.dim_y)};
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
  Mat interp = volumes_from_fans(part, grids.front(), first_unknown);
  Mat op = nullptr;
  // Each product's intermediate tables are kept for a product again unless
  // cleared; there is none, and in parallel they are larger than the product.
  check(MatPtAP(fine, interp, MAT_INITIAL_MATRIX, 2.0, &op));
  check(MatProductClear(op));
  check(MatScale(op, 1.0 / kOvercorrection));
  check(PCMGSetInterpolation(pc, levels - 1, interp));
  check(MatDestroy(&interp));
  for (PetscInt l = levels - 2; l >= 0; --l) {
    KSP smoother = nullptr;
    check(PCMGGetSmoother(pc, l, &smoother));
    check(KSPSetOperators(smoother, op, op));
    if (l == 0) break;
    const auto g = static_cast<std::size_t>(levels - 1 - l);
    interp = interpolation(grids[g - 1], grids[g], part.part);
    Mat coarse = nullptr;
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
