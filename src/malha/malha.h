#pragma once
// <malha/malha.h>: the whole public interface of the library, for programs
// that build the mesh in their own process: the mesh (below), its faces and
// gradients (malha/faces/), grids and time series (malha/vtk/vtu.h) and
// malha::Error. Folder malha/ builds on output/, readback/, formats/,
// faces/, vtk/, mesh/ and system/.
//
// The mesh of a rectangle [0, dim_x] x [0, dim_y] in 2^level triangular
// volumes, or a lattice's 4 (crossed) or 2 (fan) a cell, with one
// fictitious (ghost) volume outside each boundary edge,
// as the program `malha` builds and writes it. Numbers are 1-based
// everywhere: node numbers in `volume_nodes`, volume numbers in
// `volume_neighbours` (0 where a column holds no neighbour); real volumes
// come first (1 to n_real_volumes), then the fictitious ones. Tables are
// read as `mesh.node_coords(node, 1)` for x, `(node, 2)` for y.
//
// Failures throw malha::Error (malha/system/error.h), whose what() is the
// report the program prints (a failed allocation too: the ALLOCATE report).
// No function here exits, writes to the console, or changes the
// floating-point environment, a signal handler or any other process-wide
// state; none keeps global state, so threads may build, write and read
// different meshes at the same time.

#include <cstdint>
#include <filesystem>
#include <span>

#include "faces/cell_gradients.h"
#include "faces/faces.h"
#include "mesh/lattice_lines.h"
#include "mesh/lattice_part.h"
#include "mesh/mesh.h"
#include "system/error.h"
#include "vtk/vtu.h"

namespace malha {

// The library's version, that of the program.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;

// Builds the mesh of `level` (1 to 30) for the lengths `dim_x` and `dim_y`:
// every count, spacing and the four tables (node_coords, volume_nodes,
// volume_neighbours, barycentres), exactly as the program computes them;
// `show_plots` is 0.
// Throws: the LEVEL report for a level outside 1 to 30; ALLOCATE when the
// tables do not fit in memory (level 30 on most machines); MATH when a
// spacing, node or barycentre is not finite (an infinity: "overflow", else a
// not-a-number: "invalid"), as for lengths near the largest double or a NaN
// or infinite length.
Mesh build_mesh(std::int32_t level, double dim_x, double dim_y);

// Builds the lattice mesh of `cells_x` x `cells_y` equal cells of the same
// rectangle, dx = dim_x / cells_x and dy = dim_y / cells_y, in `pattern`:
// `crossed`, every cell cut by both diagonals through a centre node into 4
// triangles, or `fan`, blocks of 2 x 2 cells each cut into 8 triangles
// around the block's middle node. Numbered by the rules of the level meshes
// (mesh.h says which fields it sets): a square lattice of 2^k cells a side
// is the level's mesh, identical to build_mesh's, and `level` says which;
// another lattice has level 0. Lengths are taken as build_mesh takes them.
// Throws: the ARGUMENT report, naming the reason, for a count of cells below
// 1, an odd count in the fan pattern, a pattern that is neither, a length
// that is not finite, or cells whose counts would not fit 32 bits
// (n_volumes and n_nodes at most 2147483647); ALLOCATE and MATH as
// build_mesh.
Mesh build_lattice_mesh(std::int64_t cells_x, std::int64_t cells_y, double dim_x, double dim_y,
                        LatticePattern pattern = LatticePattern::crossed);

// Builds the lattice mesh on given lines: `xs` the x of its cells_x + 1
// vertical lines, `ys` the y of its cells_y + 1 horizontal ones, each
// starting at 0 and strictly increasing (or strictly decreasing, for a
// negative length), the last the length; graded_lines and two_sided_lines
// (mesh/lattice_lines.h) make them. Each crossed cell's centre node is the
// middle of the cell; the fan's middle nodes are lattice nodes; each
// fictitious node is the mirror image in its side of the node opposite.
// Lines of equal steps (mesh.h says which) give the lattice of their cells
// and lengths above bit for bit; its own `x_lines` and `y_lines` are such.
// Throws: the ARGUMENT report, naming the reason, for fewer than 2 lines,
// a line that is not finite, a first line other than 0, lines not strictly
// monotone, and the cells and patterns the lattice above refuses;
// ALLOCATE and MATH as build_mesh.
Mesh build_lattice_mesh(std::span<const double> xs, std::span<const double> ys,
                        LatticePattern pattern = LatticePattern::crossed);

// Writes the eleven files of `mesh` into `folder` (which must exist),
// byte for byte what the program writes for the same answers, with
// `processing_time` (seconds) as the processing-time record. An earlier file
// of the same name is replaced by a new one when its first block is written
// (one that already holds exactly these bytes is left as it is); where no
// new file can be made in the folder, the file is written over and cut after
// the new bytes.
// Throws, before any file is opened: the ARGUMENT report when
// `processing_time` is not a finite number of seconds, 0 or more, or when the
// mesh's counts disagree with each other (n_volumes = n_real_volumes +
// n_fict_volumes, n_nodes = n_real_nodes + n_fict_nodes, none negative) or
// with its tables (n_nodes rows of node_coords, n_volumes rows of the
// others), or a node number lies outside 1 to n_nodes or a neighbour number
// outside 0 to n_volumes. Then: OPEN when a file cannot be created or
// opened, WRITE when a write fails, ALLOCATE when a buffer cannot be had;
// files that had begun hold a beginning of this call's bytes.
void write_mesh_files(const Mesh& mesh, const std::filesystem::path& folder,
                      double processing_time = 0.0);

// Reads "dados.ent", "conectividades.ent" and "baricentros.ent" from
// `folder`: the four counts and four tables they hold, checked record by
// record; the level or lattice they hold (the lattice's cells and pattern
// from the counts and the first two volumes); every other count and the
// spacings as build_mesh or build_lattice_mesh gives them for that shape and
// for the lengths that the far corner node holds (node 4 at level 1, the
// lattice's last lattice node otherwise); `show_plots` is 0. Each real is a
// double the program writes as that very field, so write_mesh_files of the
// result gives the same files again, byte for byte, the processing time
// aside.
// Throws: OPEN or READ when a file cannot be opened or read; a READ report
// naming the file and line at the first record that does not hold what the
// program writes there, counts or first volumes that fit no level or lattice
// included; at the first of the other eight files in the folder whose
// size or labelled counts disagree with "dados.ent" (readback/
// check_file_set.h); and at the first line whose numbers are not those of
// the mesh that the shape and the lengths define, for any lengths written as
// the far corner's fields, or of the other files' first and last records
// that mesh gives (readback/check_mesh_content.h): a folder mixing two runs'
// files is refused. ALLOCATE when memory cannot be had.
Mesh read_mesh_files(const std::filesystem::path& folder);

}  // namespace malha
