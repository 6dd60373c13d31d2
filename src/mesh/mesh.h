#pragma once
// Folder mesh/: the Mesh record and the construction steps, from sizing to
// barycentres; it builds on system/ only.
//
// The one in-memory record of a run: the four answers, every count and
// spacing of the mesh, and the four mesh arrays. Every field is 0 until a
// step fills it; each construction step takes the record by reference and
// writes its own part.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace malha {

// A table of `rows()` rows of `Cols` values, indexed from 1 by row and
// column: `table(row, col)`. Rows are stored one after another; the storage
// is obtained once and never resized.
template <typename T, int Cols>
class MeshTable {
 public:
  static constexpr int kColumns = Cols;

  // Obtains storage for `rows` rows, contents undefined until written.
  // Throws std::bad_alloc when the memory cannot be obtained.
  void allocate(std::int32_t rows) {
    data_ = std::make_unique_for_overwrite<T[]>(static_cast<std::size_t>(rows) * Cols);
    rows_ = rows;
  }

  std::int32_t rows() const { return rows_; }

  T& operator()(std::int32_t row, int col) { return data_[index(row, col)]; }
  const T& operator()(std::int32_t row, int col) const { return data_[index(row, col)]; }

  // The `Cols` values of one row, in column order.
  T* row(std::int32_t row) { return &data_[index(row, 1)]; }
  const T* row(std::int32_t row) const { return &data_[index(row, 1)]; }

 private:
  static std::size_t index(std::int32_t row, int col) {
    return (static_cast<std::size_t>(row) - 1) * Cols + static_cast<std::size_t>(col - 1);
  }

  std::unique_ptr<T[]> data_;
  std::int32_t rows_ = 0;
};

// The two ways a lattice of rectangular cells is cut into triangles.
enum class LatticePattern : std::int32_t {
  crossed,  // each cell by both diagonals through a centre node: 4 triangles
  fan,      // blocks of 2 x 2 cells, each a fan of 8 triangles around the
            // block's middle lattice node
};

// Which fields a mesh sets (mesh/lattice.h holds every lattice fact):
// - Level 1 (build_mesh, the program) is no lattice: it sets `level`, the
//   lengths, every count, `dx` and `dy`; `cells_x` and `cells_y` stay 0 and
//   the lines empty.
// - Every other mesh is a lattice (is_lattice): every level from 2 on is the
//   lattice level_lattice names (level 2 the crossed 1 x 1 one), and
//   build_lattice_mesh builds any. It sets the lengths, every count,
//   `cells_x`, `cells_y`, `pattern`, the lines, `dx` and `dy`, and
//   `half_dx`, `half_dy` (crossed) or `two_dx`, `two_dy` (fan); `level` is
//   the level whose mesh it is (lattice_level), 0 when it is no level's. The
//   per-side figures `nodes_per_side`, `centres_per_side` and
//   `fict_per_side` are set on square lattices of more than one cell alone
//   (lattice_side_figures).
// - A lattice on given lines (build_lattice_mesh(xs, ys, pattern)) sets the
//   same. Along an axis whose lines are equal steps, every line i exactly
//   i x (length / cells) as a double and the last the length (the lines
//   build_lattice_mesh(cells_x, cells_y, ...) stores), `dx` (or `dy`) is
//   that step, with its half or double, and the lattice is that one bit for
//   bit. Along a graded axis `dx` (`dy`) and its half and double are 0, and
//   `level` is 0.
struct Mesh {
  // The four answers.
  std::int32_t level = 0;
  double dim_x = 0.0;
  double dim_y = 0.0;
  std::int32_t show_plots = 0;

  // Counts.
  std::int32_t n_real_volumes = 0;
  std::int32_t n_fict_volumes = 0;
  std::int32_t n_volumes = 0;
  std::int32_t n_real_nodes = 0;
  std::int32_t n_fict_nodes = 0;
  std::int32_t n_nodes = 0;

  // Per-side figures (square lattices of more than one cell).
  std::int32_t nodes_per_side = 0;
  std::int32_t centres_per_side = 0;
  std::int32_t fict_per_side = 0;

  // The lattice's shape: its cells along x and along y, and how each is
  // cut; 0 cells where the mesh is no lattice (level 1).
  std::int32_t cells_x = 0;
  std::int32_t cells_y = 0;
  LatticePattern pattern = LatticePattern::crossed;

  // A part of a lattice (mesh/lattice_part.h) alone: the block of cells it
  // owns, cells part_first_x + 1 to part_first_x + part_cells_x along x and
  // alike along y, and its halo, the last n_halo_volumes real volumes, which
  // belong to other parts; 0 in every other mesh.
  std::int32_t part_first_x = 0;
  std::int32_t part_first_y = 0;
  std::int32_t part_cells_x = 0;
  std::int32_t part_cells_y = 0;
  std::int32_t n_halo_volumes = 0;

  // The lattice's lines: the x of its cells_x + 1 vertical lines and the y
  // of its cells_y + 1 horizontal ones, from 0 (the first) to dim_x and
  // dim_y (the last), strictly monotone unless a length is 0; lattice node
  // (i, j) lies at (x_lines[i - 1], y_lines[j - 1]). Empty where the mesh is
  // no lattice.
  std::vector<double> x_lines;
  std::vector<double> y_lines;

  // Spacings: of equal steps; 0 along a graded axis (see above).
  double dx = 0.0;
  double dy = 0.0;
  double half_dx = 0.0;
  double half_dy = 0.0;
  double two_dx = 0.0;
  double two_dy = 0.0;

  // The four arrays, created by allocate_mesh in this order.
  MeshTable<double, 2> node_coords;               // n_nodes rows: x, y
  MeshTable<std::int32_t, 3> volume_nodes;        // n_volumes rows: three node numbers
  MeshTable<std::int32_t, 3> volume_neighbours;   // n_volumes rows: volume numbers, 0 = none
  MeshTable<double, 2> barycentres;               // n_volumes rows: x, y
};

}  // namespace malha
