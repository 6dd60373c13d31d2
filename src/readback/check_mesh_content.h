#pragma once
// The mesh read back against the mesh its shape and lengths define, after
// read_mesh_files has read the three unlabelled files and check_file_set the
// other eight's sizes and counts: a folder that mixes the files of two runs,
// or holds a damaged file that still has the program's layout, is refused
// instead of read back as a mesh that no build gives.
//
// The shape (level 1 or the lattice of `cells_x` x `cells_y` in `pattern`)
// defines every volume's nodes and neighbours; its lengths, any doubles
// written as the far corner's fields, define every node and barycentre, each
// computed volume by volume as the construction computes it, so that no
// second table is held beyond the nodes. Every real of "dados.ent" and
// "baricentros.ent" must be written as the one computed for one choice of
// each length, or, along a lattice's axis whose reals no length's equal
// steps give (a graded axis), for one choice of each of its lines among
// the doubles written as the line read; and every number must be the one
// computed. Then the first and the last node or volume of each of the
// other files present: the records the program writes for the mesh read.
// The barycentres are compared as they are read (compare_barycentre).
// Throws: the READ report (F4007) at the first file and line that disagrees
// (with the lengths that agree longest), naming what the mesh gives there;
// OPEN or READ when a file cannot be opened or read; ALLOCATE when the
// nodes' table cannot be had.

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh.h"

namespace malha {

// Whether the program writes `a` and `b` as the same real field.
bool is_written_alike(double a, double b);

// Every double written as `value` is: a length or a line the files may
// have been written from. `value` first, then those below it, then those
// above.
std::vector<double> lengths_written_as(double value);

// The lines of lattice `mesh`'s axis (0: x) that its lattice nodes of row
// 1 (x) or column 1 (y) hold, as read.
std::vector<double> lines_of_nodes(const Mesh& mesh, int axis);

class MeshContentCheck {
 public:
  // For `mesh` as read from "dados.ent" (its shape, lengths and tables),
  // which must outlive the check: the nodes of that shape for the first
  // lengths whose nodes the table's agree with (on each axis), or for the
  // lengths as read where none do.
  explicit MeshContentCheck(const Mesh& mesh);

  // Compares the barycentre `read` (x, y) of volume `v`, read from
  // "baricentros.ent", with the one computed from the nodes: whether both
  // are written as the same fields. `check` reports the first that differs.
  void compare_barycentre(std::int32_t v, const double* read);

  // The check itself, once the three files are read, `folder` naming them.
  void check(const std::string& folder);

 private:
  const Mesh& mesh_;
  // The doubles written as dim_x and as dim_y, those of `reference_` first.
  std::vector<double> lengths_[2];
  // Whether every node's x, y is written as `reference_`'s.
  bool do_nodes_agree_[2] = {false, false};
  Mesh reference_;
  // The first volume whose barycentre's x or y differs, 0 for none.
  std::int32_t first_differing_[2] = {0, 0};
};

}  // namespace malha
