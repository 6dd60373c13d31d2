#pragma once
// Folder vtk/: the mesh and the fields a solver computes on it as VTK XML
// unstructured grids (".vtu") and ParaView collections (".pvd"), for mesh
// viewers; it builds on readback/, formats/, mesh/ and system/.
//
// A grid file holds the real volumes as triangles (VTK cell type 5) over the
// real nodes, in volume and node order, each triangle's corners in
// `volume_nodes` order (node n is point n - 1, z = 0), with the cell data
// `volume` (Int32, the volume's 1-based number) and then each field given,
// as Float64 with `components` values per volume. With
// `VtuOptions::include_fictitious` the grid holds every volume over every
// node instead (fields then have n_volumes rows), with the cell data
// `fictitious` (UInt8, 1 beyond n_real_volumes) after `volume`. With
// `VtuOptions::include_tables` it also holds the mesh's own tables: cell
// data `neighbours` (Int32 x 3, 1-based, 0 = none) and `barycentre`
// (Float64 x 3, z = 0) before the fields, point data `node` (Int32, 1-based)
// and field data the four counts n_nodes, n_volumes, n_real_volumes,
// n_fict_volumes. Every array is appended raw, little-endian, after its
// UInt64 byte count ("header_type UInt64").
//
// Every file is written complete under a temporary name in its own folder
// (the final name, a dot, ten random letters and digits, ".tmp"), created
// new so that nothing planted there is written through, and then renamed
// over the final name in one step: a reader, or a kill of the writing
// process, finds under the final name the earlier file whole or the new one
// whole. After a failure no new file is left behind and an earlier file of
// the final name is as it was; a kill may leave the temporary file, which
// the next write of the same file removes.
//
// Failures throw malha::Error (malha/system/error.h); nothing is written
// when the arguments are refused:
// - the ARGUMENT report (S5002): a field whose `values` are not rows x
//   `components` doubles, `components` below 1, a field name that is empty,
//   repeated, taken by one of the grid's own cell arrays above, or not
//   carried by XML as it is (a name must be printable ASCII, 0x20 to 0x7E,
//   without < > & " or '); a mesh whose counts disagree with its tables or
//   whose volumes name a node outside the grid's points; for TimeSeries, a
//   series name as above or holding / \ : * ? |, and a time that is not
//   finite or not after the series' last one;
// - OPEN (F4001: a missing folder, one the user may not write in), WRITE
//   (F4002: a full disk) and WRITE (F4006: the rename refused, as where a
//   folder has the final name), naming the file;
// - ALLOCATE when memory for the file's buffer cannot be had.
// No function here exits, writes to the console or keeps global
// state; threads may write different files at the same time.

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "system/error.h"

namespace malha {

// One field of cell data: `components` doubles per volume of the grid, the
// values of volume v (1-based) at values[(v - 1) * components] onward. The
// values are only read, during the call that is given the field.
struct CellField {
  std::string name;
  std::span<const double> values;
  int components = 1;
};

// What a grid holds besides the real volumes and their `volume` numbers.
struct VtuOptions {
  bool include_fictitious = false;  // every volume and node, and `fictitious`
  bool include_tables = false;      // `neighbours`, `barycentre`, `node`, the counts
};

// Writes `mesh` and `fields` as the grid file `file` (its folder must
// exist). The mesh needs its counts, `node_coords` and `volume_nodes`, and
// with `include_tables` also `volume_neighbours` and `barycentres`; real
// volumes must name real nodes (1 to n_real_nodes) unless
// `include_fictitious`.
void write_vtu(const Mesh& mesh, const std::filesystem::path& file,
               std::span<const CellField> fields = {}, const VtuOptions& options = {});
// The same with the fields listed in braces: write_vtu(mesh, file, {{"u", u}}).
inline void write_vtu(const Mesh& mesh, const std::filesystem::path& file,
                      std::initializer_list<CellField> fields, const VtuOptions& options = {}) {
  write_vtu(mesh, file, std::span<const CellField>(fields.begin(), fields.size()), options);
}

// A series of grids in time, one file per step, listed with their times in
// a ParaView collection "`name`.pvd" in `folder`, which opens as one series
// with a time slider.
//
// Each `write` adds the step file "`name`_NNNN.vtu" (NNNN the step's index
// from 0000, more digits past 9999), then rewrites the collection to list
// every step so far, each as <DataSet timestep="time" group="" part="0"
// file="name_NNNN.vtu"/>, the time in the shortest decimal that reads back
// as the same double. The step file and then the new collection are written
// complete under temporary names, then the step file and then the collection
// are renamed, and a failed collection rename removes the step file only
// where no earlier file had its name: whatever fails and whenever the
// process is killed, the collection on disk lists only complete files.
//
// The series keeps a reference to `mesh`, which must outlive it and not
// change while it writes. It keeps the times written so far (8 bytes a
// step). A new series starts at step 0 and rewrites the collection at its
// first `write`; until then an earlier collection of the same name stays as
// it was, and the step files of an earlier series beyond the new one's are
// left as they are. The constructor removes the temporary files that a
// killed writer of a series of the same name in `folder` left there
// (the temporary names of "`name`.pvd" and "`name`_NNNN.vtu").
//
// Throws: the constructor, ARGUMENT for a series name it refuses and OPEN
// when `folder` is not a folder it can read; `write`, as write_vtu, and
// ARGUMENT for a time that is not finite or not after the last one.
class TimeSeries {
 public:
  TimeSeries(const Mesh& mesh, std::filesystem::path folder, std::string name,
             VtuOptions options = {});
  TimeSeries(TimeSeries&&) noexcept = default;
  TimeSeries& operator=(TimeSeries&&) noexcept = default;
  TimeSeries(const TimeSeries&) = delete;
  TimeSeries& operator=(const TimeSeries&) = delete;

  // Adds the next step, at `time`, with `fields` as for write_vtu.
  void write(double time, std::span<const CellField> fields);
  void write(double time, std::initializer_list<CellField> fields) {
    write(time, std::span<const CellField>(fields.begin(), fields.size()));
  }

  // The number of steps written.
  std::size_t steps() const { return times_.size(); }
  // The step file of step `index` (0-based), and the collection.
  std::filesystem::path step_file(std::size_t index) const;
  std::filesystem::path collection_file() const;

 private:
  void start();
  void add_step(double time, std::span<const CellField> fields);

  const Mesh* mesh_;
  std::filesystem::path folder_;
  std::string name_;
  VtuOptions options_;
  std::vector<double> times_;
};

}  // namespace malha
