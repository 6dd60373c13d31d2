// Solves the Poisson problems of examples/cpp/poisson.cpp on MPI ranks with
// PETSc; each rank builds only its own part of the lattice:
//
//   mpiexec -n R poisson_mpi [--level L | --cells NX NY [--pattern crossed|fan]
//                             [--grading RX RY [--two-sided]]] [--lengths X Y]
//           [--scheme two-point|corrected] [--boundary dirichlet|mixed]
//           [--grid FILE.pvtu] [PETSc options]
//   (defaults: --level 10 --lengths 2 1 --scheme corrected --boundary dirichlet)
//
// The options are poisson's (examples/cpp/options.h); every argument that
// does not begin with "--" is PETSc's. Rank r of R builds part r of R of
// the lattice (malha::build_lattice_part; a level's mesh is the lattice of
// its cells, and --grading places the cells on graded lines) and owns the unknowns of its
// owned real volumes, numbered contiguously by part: the part's offset
// (malha::owned_offset) plus the local number. The two-point matrix is a
// PETSc MPIAIJ matrix, each rank setting the rows of its own volumes; a face
// between two parts is in both parts, so each side sets its own row. The
// corrected scheme's deferred correction needs, on each rank, u and the
// gradients of its halo volumes: both are ghosted PETSc vectors, updated by
// VecGhostUpdate after each solve. The solver is PETSc's KSP, by default
// conjugate gradients with PETSc's multigrid (PCMG) on the lattice's own
// coarsening (lattice_multigrid.h; algebraic multigrid on graded lines) to
// a relative residual of 1e-10, each correction starting from the last u.
// PETSc's own options (-ksp_type, -pc_type, -ksp_rtol, -ksp_monitor,
// -log_view, ...) are read after those defaults; -pc_type hypre (or gamg)
// gives algebraic multigrid. Corrections stop when u changes by at most
// 1e-12 relative, as in the serial example (or after 200).
//
// Rank 0 prints one line: the mesh, the scheme, the boundary, the real
// volumes, the ranks, the corrections and Krylov iterations taken, the
// solve's time (assembly to solution, the slowest rank's), h and, last,
// "error E", the area-weighted discrete L2 norm of u - exact over every
// real volume. With --grid FILE.pvtu each rank writes its owned volumes as
// the piece FILE_R.vtu (cell arrays global_volume, u and error) and rank 0
// writes the collection FILE.pvtu naming the pieces.
#include <malha/cell_gradients.h>
#include <malha/faces.h>
#include <malha/malha.h>
#include <malha/vtu.h>
#include <petscksp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "../cpp/options.h"
#include "../cpp/poisson_problem.h"
#include "lattice_multigrid.h"

namespace {

constexpr const char* kUsage =
    "usage: mpiexec -n R poisson_mpi [--level L | --cells NX NY [--pattern crossed|fan]\n"
    "                                 [--grading RX RY [--two-sided]]] [--lengths X Y]\n"
    "               [--scheme corrected|two-point] [--boundary dirichlet|mixed]\n"
    "               [--grid FILE.pvtu] [PETSc options]\n"
    "(defaults: --level 10 --lengths 2 1 --scheme corrected --boundary dirichlet; no grid)\n";

struct Options {
  options::MeshChoice mesh;
  bool corrected = true;
  bool mixed = false;
  std::string grid;
};

// The options of examples/cpp/poisson; every argument that does not begin
// with "--" is PETSc's.
Options parse(const options::Reader& r) {
  Options o;
  o.mesh = options::mesh_choice(r, 10);
  o.corrected = r.choice("--scheme", {"corrected", "two-point"}) == "corrected";
  o.mixed = r.choice("--boundary", {"dirichlet", "mixed"}) == "mixed";
  o.grid = r.text("--grid");
  return o;
}

using lattice_multigrid::check;

// A ghosted vector's values on this rank: its owned entries, then its ghosts.
class LocalValues {
 public:
  explicit LocalValues(Vec v) : vector_(v) {
    check(VecGhostGetLocalForm(vector_, &local_));
    check(VecGetArray(local_, &values_));
  }
  ~LocalValues() {
    VecRestoreArray(local_, &values_);
    VecGhostRestoreLocalForm(vector_, &local_);
  }
  LocalValues(const LocalValues&) = delete;
  LocalValues& operator=(const LocalValues&) = delete;
  double& operator[](std::size_t i) { return values_[i]; }
  // The first n values.
  std::span<double> first(std::size_t n) { return {values_, n}; }

 private:
  Vec vector_;
  Vec local_ = nullptr;
  PetscScalar* values_ = nullptr;
};

// An option's value unless the command line gives one.
void default_option(const char* name, const char* value) {
  PetscBool is_given = PETSC_FALSE;
  check(PetscOptionsHasName(nullptr, nullptr, name, &is_given));
  if (!is_given) check(PetscOptionsSetValue(nullptr, name, value));
}

// On graded lines, or where the command line names a -pc_type: hypre's
// BoomerAMG where PETSc has it (-pc_type hypre takes it), with HMIS
// coarsening, extended+i interpolation of at most 4 entries a row, one level
// of aggressive coarsening and single Gauss-Seidel sweeps, unless the
// command line's -pc_hypre_* options say otherwise; otherwise GAMG. A
// -pc_type given then replaces the type.
void use_algebraic_multigrid(PC pc) {
  PetscBool has_hypre = PETSC_FALSE;
  check(PetscHasExternalPackage("hypre", &has_hypre));
  if (!has_hypre) {
    check(PCSetType(pc, PCGAMG));
    return;
  }
  check(PCSetType(pc, PCHYPRE));
  check(PCHYPRESetType(pc, "boomeramg"));
  default_option("-pc_hypre_boomeramg_coarsen_type", "HMIS");
  default_option("-pc_hypre_boomeramg_interp_type", "ext+i");
  default_option("-pc_hypre_boomeramg_P_max", "4");
  default_option("-pc_hypre_boomeramg_agg_nl", "1");
  // One forward Gauss-Seidel sweep going down and one backward going up:
  // the cycle stays symmetric, as conjugate gradients need, with half the
  // sweeps of PETSc's default (a symmetric sweep each way). A sweep the
  // command line chooses replaces both.
  PetscBool is_given = PETSC_FALSE;
  for (const char* sweep : {"-pc_hypre_boomeramg_relax_type_all",
                            "-pc_hypre_boomeramg_relax_type_down",
                            "-pc_hypre_boomeramg_relax_type_up"}) {
    PetscBool has = PETSC_FALSE;
    check(PetscOptionsHasName(nullptr, nullptr, sweep, &has));
    if (has) is_given = PETSC_TRUE;
  }
  if (!is_given) {
    check(PetscOptionsSetValue(nullptr, "-pc_hypre_boomeramg_relax_type_down", "SOR/Jacobi"));
    check(PetscOptionsSetValue(nullptr, "-pc_hypre_boomeramg_relax_type_up", "backward-SOR/Jacobi"));
  }
}

void update_ghosts(Vec v) {
  check(VecGhostUpdateBegin(v, INSERT_VALUES, SCATTER_FORWARD));
  check(VecGhostUpdateEnd(v, INSERT_VALUES, SCATTER_FORWARD));
}

struct Result {
  int corrections = 0;
  PetscInt krylov_iterations = 0;
};

// The part's equations and their solution; u holds it on return.
class PartSolver {
 public:
  // Keeps of `part` and `faces` only what the solve and the corrections
  // need, so that the caller frees them before the preconditioner is built.
  PartSolver(const malha::MeshPart& part, const malha::Faces& faces,
             const malha::LatticePartition& partition, bool mixed, bool corrected)
      : unknowns_{part.part, part.n_owned,
                  static_cast<PetscInt>(malha::owned_offset(partition, part.part))},
        n_halo_(part.n_halo),
        n_real_(part.mesh.n_real_volumes),
        n_volumes_(part.mesh.n_volumes),
        n_interior_(faces.n_interior_faces),
        corrected_(corrected) {
    const std::int32_t owned = part.n_owned;
    const PetscInt offset = unknowns_.first;
    // Each halo volume's global unknown: its owner's offset and its number there.
    std::vector<PetscInt> ghosts(static_cast<std::size_t>(part.n_halo));
    for (std::size_t h = 0; h < ghosts.size(); ++h) {
      ghosts[h] = static_cast<PetscInt>(malha::owned_offset(partition, part.halo_owners[h]) +
                                        part.halo_owner_locals[h] - 1);
    }
    const auto global = [&](std::int32_t v) {
      return v <= owned ? offset + v - 1 : ghosts[static_cast<std::size_t>(v - owned - 1)];
    };
    check(VecCreateGhost(PETSC_COMM_WORLD, owned, PETSC_DECIDE, part.n_halo, ghosts.data(), &u_));
    check(VecDuplicate(u_, &rhs_));
    check(VecDuplicate(u_, &next_));
    if (corrected_) {
      check(VecCreateGhostBlock(PETSC_COMM_WORLD, 2, 2 * owned, PETSC_DECIDE, part.n_halo,
                                ghosts.data(), &gradients_));
    }

    const auto n_faces = static_cast<std::size_t>(faces.n_faces);
    offsets_.resize(static_cast<std::size_t>(faces.n_boundary_faces));
    if (corrected_) {
      skew_.resize(2 * n_faces);
      volumes_.resize(2 * n_faces);
    }
    {
      // Each row's entries in the owned columns and in the halo's.
      std::vector<PetscInt> diagonal_count(static_cast<std::size_t>(owned), 1);
      std::vector<PetscInt> other_count(static_cast<std::size_t>(owned), 0);
      for (std::int32_t f = 1; f <= faces.n_interior_faces; ++f) {
        const std::int32_t i = faces.face_owners(f, 1);
        const std::int32_t j = faces.face_neighbours(f, 1);
        if (j <= owned) {
          ++diagonal_count[static_cast<std::size_t>(i - 1)];
          ++diagonal_count[static_cast<std::size_t>(j - 1)];
        } else {
          ++other_count[static_cast<std::size_t>(i - 1)];
        }
      }
      check(MatCreateAIJ(PETSC_COMM_WORLD, owned, owned, PETSC_DETERMINE, PETSC_DETERMINE, 0,
                         diagonal_count.data(), 0, other_count.data(), &matrix_));
    }

    const poisson_problem::BoundaryData boundary =
        poisson_problem::boundary_data(part.mesh, faces, mixed);
    {
      LocalValues b(rhs_);
      for (std::int32_t v = 1; v <= owned; ++v) {
        b[static_cast<std::size_t>(v - 1)] = poisson_problem::source(part.mesh, faces, v);
      }
      for (std::int32_t f = 1; f <= faces.n_faces; ++f) {
        const auto k = static_cast<std::size_t>(f - 1);
        const std::int32_t i = faces.face_owners(f, 1);
        const std::int32_t j = faces.face_neighbours(f, 1);
        // d, from the owner's barycentre to the neighbour's (a ghost's at a
        // boundary face), and d . n, as malha::face_geometry computes them:
        // its table, with midpoints and angles the scheme does not use,
        // would take 48 bytes a face at the assembly's peak of memory.
        const double* normal = faces.face_normals.row(f);
        const double d[2] = {part.mesh.barycentres(j, 1) - part.mesh.barycentres(i, 1),
                             part.mesh.barycentres(j, 2) - part.mesh.barycentres(i, 2)};
        const double dn = d[0] * normal[0] + d[1] * normal[1];
        const double length = faces.face_lengths(f, 1);
        const double t = length / dn;
        if (corrected_) {
          skew_[2 * k] = length * (normal[0] - d[0] / dn);
          skew_[2 * k + 1] = length * (normal[1] - d[1] / dn);
          volumes_[2 * k] = i - 1;
          volumes_[2 * k + 1] = (f <= n_interior_ ? j : i) - 1;
        }
        const PetscInt gi = global(i);
        if (f <= faces.n_interior_faces) {
          const PetscInt gj = global(j);
          // Rows i and j (j's where this part owns it), columns i and j.
          const PetscInt rows[2] = {gi, gj};
          const PetscScalar block[4] = {t, -t, -t, t};
          check(MatSetValues(matrix_, j <= owned ? 2 : 1, rows, 2, rows, block, ADD_VALUES));
          continue;
        }
        // The ghost's value is offset - u_i (Dirichlet) or offset + u_i
        // (du/dn): its known part goes to the right-hand side.
        const auto m = static_cast<std::size_t>(f - faces.n_interior_faces - 1);
        offsets_[m] = boundary.neumann[m] ? dn * boundary.data[m] : 2 * boundary.data[m];
        neumann_.push_back(boundary.neumann[m]);
        b[static_cast<std::size_t>(i - 1)] += t * offsets_[m];
        check(MatSetValue(matrix_, gi, gi, boundary.neumann[m] ? 0.0 : 2 * t, ADD_VALUES));
      }
    }
    check(MatAssemblyBegin(matrix_, MAT_FINAL_ASSEMBLY));
    check(MatAssemblyEnd(matrix_, MAT_FINAL_ASSEMBLY));
    check(MatSetOption(matrix_, MAT_SPD, PETSC_TRUE));
    if (corrected_) weights_ = malha::gradient_weights(part.mesh, faces);
  }

  // Chooses the Krylov solver and its preconditioner, once the faces are
  // freed: on a lattice of equal cells the lattice's multigrid, unless the
  // command line names a -pc_type; on graded lines, whose cells change
  // shape from place to place, algebraic multigrid, which follows the
  // couplings where they are. PETSc's options are read after these defaults.
  void choose_solver(const malha::LatticePartition& partition, bool equal_cells, double dim_x,
                     double dim_y) {
    check(KSPCreate(PETSC_COMM_WORLD, &ksp_));
    check(KSPSetOperators(ksp_, matrix_, matrix_));
    check(KSPSetType(ksp_, KSPCG));
    PC pc = nullptr;
    check(KSPGetPC(ksp_, &pc));
    PetscBool pc_given = PETSC_FALSE;
    check(PetscOptionsHasName(nullptr, nullptr, "-pc_type", &pc_given));
    if (pc_given || !equal_cells) {
      use_algebraic_multigrid(pc);
    } else {
      lattice_multigrid::use_lattice_multigrid(pc, unknowns_, partition, dim_x, dim_y);
    }
    check(KSPSetTolerances(ksp_, 1e-10, PETSC_DEFAULT, PETSC_DEFAULT, PETSC_DEFAULT));
    check(KSPSetFromOptions(ksp_));
  }

  ~PartSolver() {
    KSPDestroy(&ksp_);
    MatDestroy(&matrix_);
    VecDestroy(&gradients_);
    VecDestroy(&next_);
    VecDestroy(&rhs_);
    VecDestroy(&u_);
  }
  PartSolver(const PartSolver&) = delete;
  PartSolver& operator=(const PartSolver&) = delete;

  // Solves the two-point system, then corrects it until u settles.
  Result solve(double tol = 1e-12, int max_corrections = 200) {
    Result result;
    solve_into(rhs_, u_, result);
    if (!corrected_) return result;
    check(KSPSetInitialGuessNonzero(ksp_, PETSC_TRUE));
    Vec corrected = nullptr;
    check(VecDuplicate(rhs_, &corrected));
    for (int step = 1; step <= max_corrections; ++step) {
      correct(corrected);
      check(VecCopy(u_, next_));
      solve_into(corrected, next_, result);
      // |next - u| <= tol |next|, u then takes next.
      check(VecAXPY(u_, -1.0, next_));
      PetscReal change = 0.0;
      PetscReal size = 0.0;
      check(VecNorm(u_, NORM_2, &change));
      check(VecNorm(next_, NORM_2, &size));
      check(VecCopy(next_, u_));
      result.corrections = step;
      if (change <= tol * size) break;
      if (step == max_corrections) {
        VecDestroy(&corrected);
        // An iterative solve is exact only to its tolerance: where the
        // lattice is badly conditioned (cells thousands of times wider than
        // high), u's change can stall there, above the asked tolerance.
        char detail[96];
        std::snprintf(detail, sizeof detail, " (u still changes by %.2g of its norm, %.2g asked)",
                      static_cast<double>(change / size), tol);
        throw std::runtime_error("no convergence in " + std::to_string(max_corrections) + " steps" +
                                 detail);
      }
    }
    VecDestroy(&corrected);
    update_ghosts(u_);
    return result;
  }

  // u of the owned volumes, then of the halo volumes.
  Vec u() const { return u_; }

 private:
  void solve_into(Vec b, Vec x, Result& result) {
    check(KSPSolve(ksp_, b, x));
    KSPConvergedReason reason;
    check(KSPGetConvergedReason(ksp_, &reason));
    if (reason < 0) {
      throw std::runtime_error("the Krylov solver did not converge: " +
                               std::string(KSPConvergedReasons[reason]));
    }
    PetscInt iterations = 0;
    check(KSPGetIterationNumber(ksp_, &iterations));
    result.krylov_iterations += iterations;
  }

  // corrected = rhs + the skew fluxes of the gradients of u, the halo's from
  // their owners.
  void correct(Vec corrected) {
    const auto owned = static_cast<std::int32_t>(unknowns_.n_owned);
    update_ghosts(u_);
    std::vector<double> values(static_cast<std::size_t>(n_volumes_));
    {
      LocalValues u(u_);
      for (std::int32_t v = 0; v < owned + n_halo_; ++v) values[v] = u[v];
      for (std::size_t k = 0; k < offsets_.size(); ++k) {
        const double own = u[volumes_[2 * (static_cast<std::size_t>(n_interior_) + k)]];
        values[static_cast<std::size_t>(n_real_) + k] = (neumann_[k] ? own : -own) + offsets_[k];
      }
    }
    {
      LocalValues g(gradients_);
      malha::cell_gradients(weights_, values, g.first(2 * static_cast<std::size_t>(owned)));
    }
    update_ghosts(gradients_);
    check(VecCopy(rhs_, corrected));
    LocalValues g(gradients_);
    LocalValues out(corrected);
    // The mean of the two volumes' gradients; a ghost takes its volume's.
    for (std::size_t k = 0; k < skew_.size() / 2; ++k) {
      const auto i = static_cast<std::size_t>(volumes_[2 * k]);
      const auto j = static_cast<std::size_t>(volumes_[2 * k + 1]);
      const double flux = skew_[2 * k] * ((g[2 * i] + g[2 * j]) / 2) +
                          skew_[2 * k + 1] * ((g[2 * i + 1] + g[2 * j + 1]) / 2);
      out[i] += flux;
      if (j < static_cast<std::size_t>(owned) && j != i) out[j] -= flux;
    }
  }

  lattice_multigrid::PartUnknowns unknowns_;
  std::int32_t n_halo_;
  std::int32_t n_real_;     // the part's real volumes: owned, then halo
  std::int32_t n_volumes_;  // and its fictitious ones after them
  std::int32_t n_interior_;
  bool corrected_;
  // By face, for the corrections: |e| (n - d / (d . n)), and the owner and
  // the neighbour (the owner again at a boundary face), 0-based local.
  std::vector<double> skew_;
  std::vector<std::int32_t> volumes_;
  std::vector<double> offsets_;  // by boundary face: the ghost's known part
  std::vector<char> neumann_;
  malha::GradientWeights weights_;
  Vec u_ = nullptr, rhs_ = nullptr, next_ = nullptr, gradients_ = nullptr;
  Mat matrix_ = nullptr;
  KSP ksp_ = nullptr;
};

// The lattice the mesh options name: --cells, or the level's.
malha::LevelLattice lattice_of(const options::MeshChoice& m) {
  if (!m.is_lattice) return malha::lattice_of_level(static_cast<std::int32_t>(m.level));
  return {m.cells_x, m.cells_y, m.pattern};
}

// Part `part` of `parts` of the lattice: of equal cells, or on the graded
// lines of --grading (as options::build places them).
malha::MeshPart build_part(const options::MeshChoice& m, const malha::LevelLattice& lattice,
                           int part, int parts) {
  if (!m.is_graded) {
    return malha::build_lattice_part(lattice.cells_x, lattice.cells_y, m.dim_x, m.dim_y,
                                     lattice.pattern, part, parts);
  }
  const auto lines = m.two_sided ? malha::two_sided_lines : malha::graded_lines;
  return malha::build_lattice_part(lines(m.cells_x, m.dim_x, m.ratio_x),
                                   lines(m.cells_y, m.dim_y, m.ratio_y), m.pattern, part, parts);
}

// Each rank writes its owned volumes as the piece FILE_R.vtu beside
// FILE.pvtu; rank 0 writes the collection, which names every piece.
void write_grid(const malha::MeshPart& part, const std::filesystem::path& file,
                std::span<const double> u, std::span<const double> error) {
  const auto piece = [&](int r) {
    return std::filesystem::path(file.stem().string() + "_" + std::to_string(r) + ".vtu");
  };
  const malha::CellField fields[] = {{"u", u}, {"error", error}};
  malha::write_vtu(part, file.parent_path() / piece(part.part), fields);
  if (part.part != 0) return;
  std::vector<std::filesystem::path> pieces;
  for (int r = 0; r < part.parts; ++r) pieces.push_back(piece(r));
  const malha::PvtuField names[] = {{"u"}, {"error"}};
  malha::write_pvtu(file, pieces, names);
}

// Builds this rank's part, solves, and prints the line on rank 0.
void run(const Options& o, const malha::LevelLattice& lattice,
         const malha::LatticePartition& partition) {
  int rank = 0;
  MPI_Comm_rank(PETSC_COMM_WORLD, &rank);
  const int ranks = partition.parts;
  // The owned volumes' areas and exact values; the latter become the error
  // once u is known.
  std::vector<double> areas;
  std::vector<double> error;
  std::unique_ptr<PartSolver> solver;
  double start = 0.0;
  {
    const malha::MeshPart part = build_part(o.mesh, lattice, rank, ranks);
    check(PetscBarrier(nullptr));
    start = MPI_Wtime();
    const malha::Faces faces = malha::build_faces(part.mesh);
    const auto& bc = part.mesh.barycentres;
    for (std::int32_t v = 1; v <= part.n_owned; ++v) {
      areas.push_back(faces.volume_areas(v, 1));
      error.push_back(poisson_problem::exact(bc(v, 1), bc(v, 2)));
    }
    solver = std::make_unique<PartSolver>(part, faces, partition, o.mixed, o.corrected);
  }
  // The part and its faces are freed here: the preconditioner, chosen next
  // and built by the first solve, and the solve itself have their memory.
  solver->choose_solver(partition, !o.mesh.is_graded, o.mesh.dim_x, o.mesh.dim_y);
  const Result result = solver->solve();
  double seconds = MPI_Wtime() - start;

  std::vector<double> u;  // kept for the grid alone
  double sums[2] = {0.0, 0.0};  // the area-weighted squared error, the area
  {
    LocalValues values(solver->u());
    const std::span<const double> owned = values.first(error.size());
    for (std::size_t k = 0; k < error.size(); ++k) {
      error[k] = owned[k] - error[k];
      sums[0] += areas[k] * error[k] * error[k];
      sums[1] += areas[k];
    }
    if (!o.grid.empty()) u.assign(owned.begin(), owned.end());
  }
  solver.reset();
  double totals[2] = {0.0, 0.0};
  MPI_Allreduce(sums, totals, 2, MPI_DOUBLE, MPI_SUM, PETSC_COMM_WORLD);
  MPI_Allreduce(MPI_IN_PLACE, &seconds, 1, MPI_DOUBLE, MPI_MAX, PETSC_COMM_WORLD);
  // The grid's pieces need the part again: it is built anew rather than
  // kept through the solve.
  if (!o.grid.empty()) write_grid(build_part(o.mesh, lattice, rank, ranks), o.grid, u, error);
  if (rank != 0) return;

  const std::int64_t volumes = malha::owned_offset(partition, ranks);
  const std::string shape = options::describe(o.mesh);
  std::printf(
      "%s, lengths %g x %g, scheme %s, boundary %s, n_real_volumes %lld, ranks %d, "
      "iterations %d, krylov iterations %lld, solve %.3f s, h %.17g, error %.17g\n",
      shape.c_str(), o.mesh.dim_x, o.mesh.dim_y, o.corrected ? "corrected" : "two-point",
      o.mixed ? "mixed" : "dirichlet", static_cast<long long>(volumes), ranks, result.corrections,
      static_cast<long long>(result.krylov_iterations), seconds,
      std::sqrt(totals[1] / static_cast<double>(volumes)), std::sqrt(totals[0]));
}

}  // namespace

int main(int argc, char** argv) {
  if (PetscInitialize(&argc, &argv, nullptr, nullptr) != 0) return 1;
  int rank = 0;
  int ranks = 1;
  MPI_Comm_rank(PETSC_COMM_WORLD, &rank);
  MPI_Comm_size(PETSC_COMM_WORLD, &ranks);
  // Refused options and lattices are refused alike on every rank, and said
  // once: options with status 2, as the serial examples do, lattices with 1.
  Options o;
  malha::LevelLattice lattice;
  malha::LatticePartition partition;
  try {
    std::vector<options::Option> known = options::kMeshOptions;
    known.insert(known.end(), {{"--boundary", 1}, {"--grid", 1}});
    const options::Reader reader(argc, argv, known, /*passes_others=*/true);
    if (reader.given("--help")) {
      if (rank == 0) std::fputs(kUsage, stdout);
      return PetscFinalize() == 0 ? 0 : 1;
    }
    o = parse(reader);
    lattice = lattice_of(o.mesh);
    partition = malha::partition_lattice(lattice.cells_x, lattice.cells_y, lattice.pattern, ranks);
  } catch (const options::Refusal& refusal) {
    if (rank == 0) std::fprintf(stderr, "poisson_mpi: %s (--help: usage)\n", refusal.what());
    PetscFinalize();
    return 2;
  } catch (const std::exception& failure) {
    if (rank == 0) std::fprintf(stderr, "poisson_mpi: %s\n", failure.what());
    PetscFinalize();
    return 1;
  }
  // A rank that fails later cannot finish with the others: it ends them all.
  try {
    run(o, lattice, partition);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "poisson_mpi: rank %d: %s\n", rank, failure.what());
    MPI_Abort(PETSC_COMM_WORLD, 1);
  }
  return PetscFinalize() == 0 ? 0 : 1;
}
