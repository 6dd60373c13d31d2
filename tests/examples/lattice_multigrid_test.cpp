// The lattice multigrid's finest transfer (examples/mpi/lattice_multigrid.h)
// against PETSc's own assembled products, on every rank that mpiexec starts,
// for random lattices of both patterns cut into one part a rank:
// - the shell interpolation from the fans (a volume takes its fan's value)
//   gives, forward and transposed, with and without an added vector, what
//   the same interpolation as an assembled matrix gives;
// - the fans' operator summed from the volumes' rows is MatPtAP's, halved,
//   for a matrix with a random entry for every pair of neighbouring real
//   volumes, so every halo column of every part is summed into its fan.
// Built by examples/mpi/ (the installed library, MPI, PETSc and GoogleTest).
#include <gtest/gtest.h>
#include <malha/malha.h>
#include <petscksp.h>

#include <cstdint>
#include <random>
#include <vector>

#include "../../examples/mpi/lattice_multigrid.h"

namespace {

using lattice_multigrid::check;

struct Case {
  malha::LatticePartition partition;
  malha::MeshPart part;
  lattice_multigrid::PartUnknowns unknowns;
  lattice_multigrid::Grid fans;
};

// Random lattices that every rank draws alike, cut into one part a rank;
// lattices too small for that many parts are skipped.
std::vector<Case> random_cases(int count) {
  int rank = 0;
  int ranks = 1;
  MPI_Comm_rank(PETSC_COMM_WORLD, &rank);
  MPI_Comm_size(PETSC_COMM_WORLD, &ranks);
  std::mt19937_64 random(20261210);
  std::vector<Case> cases;
  for (int trial = 0; trial < count; ++trial) {
    const bool fan = trial % 2 == 1;
    const auto pattern = fan ? malha::LatticePattern::fan : malha::LatticePattern::crossed;
    std::uniform_int_distribution<std::int64_t> cells(1, 20);
    const std::int64_t cells_x = cells(random) * (fan ? 2 : 1);
    const std::int64_t cells_y = cells(random) * (fan ? 2 : 1);
    Case c;
    try {
      c.partition = malha::partition_lattice(cells_x, cells_y, pattern, ranks);
    } catch (const malha::Error&) {
      continue;
    }
    c.part = malha::build_lattice_part(cells_x, cells_y, 2.0, 1.0, pattern, rank, ranks);
    c.unknowns = {rank, c.part.n_owned,
                  static_cast<PetscInt>(malha::owned_offset(c.partition, rank))};
    c.fans = lattice_multigrid::fan_grid(c.partition, 2.0, 1.0);
    cases.push_back(std::move(c));
  }
  return cases;
}

// The fans' interpolation of `c` as an assembled matrix.
Mat assembled_interpolation(const Case& c) {
  const auto p = static_cast<std::size_t>(c.unknowns.part);
  const auto per_fan =
      static_cast<PetscInt>(lattice_multigrid::volumes_per_fan(c.partition.pattern));
  Mat interp = nullptr;
  check(MatCreateAIJ(PETSC_COMM_WORLD, c.unknowns.n_owned,
                     static_cast<PetscInt>(c.fans.offsets[p + 1] - c.fans.offsets[p]),
                     PETSC_DETERMINE, PETSC_DETERMINE, 1, nullptr, 0, nullptr, &interp));
  for (PetscInt v = 0; v < c.unknowns.n_owned; ++v) {
    check(MatSetValue(interp, c.unknowns.first + v,
                      static_cast<PetscInt>(c.fans.offsets[p]) + v / per_fan, 1.0, INSERT_VALUES));
  }
  check(MatAssemblyBegin(interp, MAT_FINAL_ASSEMBLY));
  check(MatAssemblyEnd(interp, MAT_FINAL_ASSEMBLY));
  return interp;
}

// A matrix of the owned volumes' rows with a random entry on the diagonal
// and for each real neighbour, owned or in the halo.
Mat neighbour_matrix(const Case& c, std::mt19937_64& random) {
  const malha::MeshPart& part = c.part;
  const auto global = [&](std::int32_t v) {
    if (v <= part.n_owned) return c.unknowns.first + v - 1;
    const auto h = static_cast<std::size_t>(v - part.n_owned - 1);
    return static_cast<PetscInt>(malha::owned_offset(c.partition, part.halo_owners[h]) +
                                 part.halo_owner_locals[h] - 1);
  };
  std::uniform_real_distribution<double> entry(-1.0, 1.0);
  Mat a = nullptr;
  check(MatCreateAIJ(PETSC_COMM_WORLD, part.n_owned, part.n_owned, PETSC_DETERMINE,
                     PETSC_DETERMINE, 4, nullptr, 3, nullptr, &a));
  for (std::int32_t v = 1; v <= part.n_owned; ++v) {
    check(MatSetValue(a, global(v), global(v), entry(random), INSERT_VALUES));
    for (int k = 1; k <= 3; ++k) {
      const std::int32_t n = part.mesh.volume_neighbours(v, k);
      if (n < 1 || n > part.mesh.n_real_volumes) continue;
      check(MatSetValue(a, global(v), global(n), entry(random), INSERT_VALUES));
    }
  }
  check(MatAssemblyBegin(a, MAT_FINAL_ASSEMBLY));
  check(MatAssemblyEnd(a, MAT_FINAL_ASSEMBLY));
  return a;
}

Vec random_vector(Mat m, bool rows, std::mt19937_64& random) {
  Vec v = nullptr;
  check(rows ? MatCreateVecs(m, nullptr, &v) : MatCreateVecs(m, &v, nullptr));
  PetscInt first = 0;
  PetscInt end = 0;
  check(VecGetOwnershipRange(v, &first, &end));
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (PetscInt i = first; i < end; ++i) check(VecSetValue(v, i, value(random), INSERT_VALUES));
  check(VecAssemblyBegin(v));
  check(VecAssemblyEnd(v));
  return v;
}

// |a - b|, with a replaced by the difference.
PetscReal distance(Vec a, Vec b) {
  PetscReal norm = 0.0;
  check(VecAXPY(a, -1.0, b));
  check(VecNorm(a, NORM_INFINITY, &norm));
  return norm;
}

TEST(LatticeMultigrid, TheShellInterpolationIsTheAssembledOne) {
  std::mt19937_64 random(7);
  for (const Case& c : random_cases(60)) {
    SCOPED_TRACE(testing::Message() << c.partition.cells_x << " x " << c.partition.cells_y
                                    << " cells, part " << c.unknowns.part);
    Mat shell = lattice_multigrid::volumes_from_fans(c.unknowns, c.fans);
    Mat assembled = assembled_interpolation(c);
    for (const bool transpose : {false, true}) {
      for (const bool add : {false, true}) {
        Vec x = random_vector(assembled, transpose, random);
        Vec w = random_vector(assembled, !transpose, random);
        Vec by_shell = nullptr;
        Vec by_matrix = nullptr;
        check(VecDuplicate(w, &by_shell));
        check(VecDuplicate(w, &by_matrix));
        if (transpose) {
          check(add ? MatMultTransposeAdd(shell, x, w, by_shell)
                    : MatMultTranspose(shell, x, by_shell));
          check(add ? MatMultTransposeAdd(assembled, x, w, by_matrix)
                    : MatMultTranspose(assembled, x, by_matrix));
        } else {
          check(add ? MatMultAdd(shell, x, w, by_shell) : MatMult(shell, x, by_shell));
          check(add ? MatMultAdd(assembled, x, w, by_matrix) : MatMult(assembled, x, by_matrix));
        }
        EXPECT_LE(distance(by_shell, by_matrix), 1e-14)
            << "transpose " << transpose << ", add " << add;
        for (Vec* v : {&x, &w, &by_shell, &by_matrix}) VecDestroy(v);
      }
    }
    MatDestroy(&shell);
    MatDestroy(&assembled);
  }
}

TEST(LatticeMultigrid, TheFansOperatorIsTheGalerkinProductHalved) {
  std::mt19937_64 random(11);
  for (const Case& c : random_cases(60)) {
    SCOPED_TRACE(testing::Message() << c.partition.cells_x << " x " << c.partition.cells_y
                                    << " cells, part " << c.unknowns.part);
    Mat a = neighbour_matrix(c, random);
    Mat interp = assembled_interpolation(c);
    Mat summed = lattice_multigrid::fan_operator(a, c.unknowns, c.fans, c.partition);
    Mat product = nullptr;
    check(MatPtAP(a, interp, MAT_INITIAL_MATRIX, 2.0, &product));
    check(MatScale(product, 1.0 / lattice_multigrid::kOvercorrection));
    PetscReal size = 0.0;
    PetscReal error = 0.0;
    check(MatNorm(product, NORM_FROBENIUS, &size));
    check(MatAXPY(summed, -1.0, product, DIFFERENT_NONZERO_PATTERN));
    check(MatNorm(summed, NORM_FROBENIUS, &error));
    EXPECT_LE(error, 1e-14 * size);
    for (Mat* m : {&a, &interp, &summed, &product}) MatDestroy(m);
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (PetscInitialize(&argc, &argv, nullptr, nullptr) != 0) return 1;
  // A PETSc error on one rank ends every rank: the others would otherwise
  // wait in the next collective call for ever.
  PetscPushErrorHandler(PetscAbortErrorHandler, nullptr);
  const int failed = RUN_ALL_TESTS();
  int any = 0;
  MPI_Allreduce(&failed, &any, 1, MPI_INT, MPI_MAX, PETSC_COMM_WORLD);
  return PetscFinalize() == 0 ? any : 1;
}
