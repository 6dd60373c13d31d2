#pragma once
// Folder vtk/: the mesh and cell fields as VTK XML unstructured grids
// (".vtu") and ParaView collections (".pvd"); it builds on formats/, mesh/
// and system/. Installed as <malha/vtk/vtu.h>.
//
// A grid holds the real volumes as triangles over the real nodes, in their
// order (node n is point n - 1, z = 0), the cell data `volume` (Int32, the
// 1-based number) and the fields (Float64). VtuOptions add every volume and
// node with the cell data `fictitious` (UInt8, 1 for a fictitious volume),
// and the mesh's own tables: cell data `neighbours` and `barycentre`, point
// data `node`, field data the four counts. A file is written under a new
// temporary name beside it and renamed when complete, so the final name
// holds the earlier file or the new one, whole.
//
// Throws malha::Error. Refused arguments are refused before any file, a
// temporary one included, is made: ARGUMENT (S5002) for a field whose
// values are not rows x components doubles, components below 1, a field
// name that is empty, repeated, one of the grid's own arrays or not
// printable ASCII without < > & " '; a mesh whose counts disagree with its
// tables or whose numbers lie outside them (real volumes must name real
// nodes unless include_fictitious). Then OPEN (F4001) and WRITE (F4002; F4006
// for the rename), naming the file; ALLOCATE. No function here exits, writes
// to the console or keeps global state; threads may write different files
// at the same time.

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "../mesh/lattice_part.h"
#include "../mesh/mesh.h"
#include "../system/error.h"

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
// exist). It reads the counts, `node_coords` and `volume_nodes`, and with
// `include_tables` also `volume_neighbours` and `barycentres`.
void write_vtu(const Mesh& mesh, const std::filesystem::path& file,
               std::span<const CellField> fields = {}, const VtuOptions& options = {});
// The same with the fields listed in braces: write_vtu(mesh, file, {{"u", u}}).
inline void write_vtu(const Mesh& mesh, const std::filesystem::path& file,
                      std::initializer_list<CellField> fields, const VtuOptions& options = {}) {
  write_vtu(mesh, file, std::span<const CellField>(fields.begin(), fields.size()), options);
}

// Writes the owned real volumes of `part` as the grid file `file`, over the
// nodes they use, with the cell data `global_volume` (Int64, the 1-based
// number in the whole lattice) and `fields` (n_owned rows each): one piece
// of a parallel collection (write_pvtu). Refuses and fails as write_vtu.
void write_vtu(const MeshPart& part, const std::filesystem::path& file,
               std::span<const CellField> fields = {});

// A field of the pieces as a parallel collection names it.
struct PvtuField {
  std::string name;
  int components = 1;
};

// Writes the parallel collection `file` (".pvtu") of the pieces `pieces`
// (paths relative to the folder of `file`, written by write_vtu of the
// parts) holding `global_volume` and `fields`; one process writes it, when
// or before the pieces are written. Written complete under a temporary name
// and renamed, as write_vtu. Throws: ARGUMENT (S5002) for no piece, a piece
// name or field name XML cannot carry as it is, a field name repeated or
// `global_volume`, components below 1; then as write_vtu.
void write_pvtu(const std::filesystem::path& file,
                std::span<const std::filesystem::path> pieces,
                std::span<const PvtuField> fields = {});

// A series of grids in time in `folder`: each `write` adds the step file
// "`name`_NNNN.vtu" (NNNN from 0000), then rewrites the collection
// "`name`.pvd" listing every step with its time, which ParaView opens as one
// series. Both are written complete under temporary names, then the step
// file and then the collection are renamed, and a failed collection rename
// removes the step file only where no file had its name before: whatever
// fails and whenever the process is killed, the collection
// on disk lists only complete files. The series refers to `mesh`, which must outlive
// it unchanged, and keeps 8 bytes a step. The constructor removes the
// temporary files a killed series of the same name left in `folder`.
// Throws: the constructor, ARGUMENT for a mesh as write_vtu, a name as a
// field's or holding / \ : * ? |, and OPEN when `folder` cannot be listed;
// `write`, as write_vtu, and ARGUMENT for a time that is not finite or not
// after the last one.
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
