// The compiled core of the Python package `malha`: the C++ interface
// (malha/malha.h) as it is, for the Python layer (the other modules of
// python/malha/), which holds the documentation and the conveniences.
//
// The four tables go out as read-only numpy views of the Mesh's own storage,
// each with the Mesh's Python object as its base, so that the storage lives
// as long as any view does. That base lends numpy no buffer, so numpy refuses
// to make a view writable again. The 0-based tables and the mask of the
// fictitious volumes are new arrays, made in one pass each, read-only the
// same way. The faces (faces/faces.h) go out the same
// way, their views based on the Faces object. Building the mesh or its
// faces, writing and reading run without the interpreter lock. A
// malha::Error becomes the exception that malha.errors.error_of picks for
// its code: `malha.ArgumentError` for a refused argument, else
// `malha.Error`. Grids and time series
// (vtk/vtu.h) are written from numpy arrays of float64 in row order, read in
// place, without the interpreter lock.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "faces/cell_gradients.h"
#include "faces/faces.h"
#include "malha/malha.h"
#include "mesh/lattice.h"
#include "system/run_error.h"
#include "vtk/vtu.h"

namespace py = pybind11;

namespace {

// A read-only view of `table`, kept alive by `owner` (the Mesh's object).
template <typename T, int Cols>
py::array table_view(const malha::MeshTable<T, Cols>& table, py::handle owner) {
  const py::ssize_t rows = table.rows();
  const T* data = rows > 0 ? table.row(1) : nullptr;
  py::array view(py::dtype::of<T>(), {rows, static_cast<py::ssize_t>(Cols)},
                 {static_cast<py::ssize_t>(Cols * sizeof(T)), static_cast<py::ssize_t>(sizeof(T))},
                 data, owner);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

template <auto Table>
py::array mesh_view(py::object mesh) {
  return table_view(mesh.cast<const malha::Mesh&>().*Table, mesh);
}

// A read-only one-dimensional view of one of the mesh's lines, kept alive
// by the Mesh's object.
template <auto Lines>
py::array lines_view(py::object mesh) {
  const std::vector<double>& lines = mesh.cast<const malha::Mesh&>().*Lines;
  py::array view(py::dtype::of<double>(), {static_cast<py::ssize_t>(lines.size())},
                 {static_cast<py::ssize_t>(sizeof(double))}, lines.data(), mesh);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

using Lines = py::array_t<double, py::array::c_style | py::array::forcecast>;

std::span<const double> span_of(const Lines& lines) {
  return {lines.data(), static_cast<std::size_t>(lines.size())};
}

// A new array of the lines a grading helper makes.
template <std::vector<double> (*Helper)(std::int64_t, double, double)>
py::array_t<double> helper_lines(std::int64_t cells, double length, double ratio) {
  std::vector<double> lines;
  {
    py::gil_scoped_release unlocked;
    lines = Helper(cells, length, ratio);
  }
  py::array_t<double> out(static_cast<py::ssize_t>(lines.size()));
  std::copy(lines.begin(), lines.end(), out.mutable_data());
  return out;
}

// A new read-only array of `count` values that `fill` writes, made without
// the interpreter lock. Its storage belongs to a capsule, which lends numpy
// no buffer, so numpy refuses to make the array writable again.
template <typename T, typename Fill>
py::array read_only_array(std::vector<py::ssize_t> shape, std::size_t count, Fill fill) {
  std::unique_ptr<T[]> values;
  {
    py::gil_scoped_release unlocked;
    values.reset(new T[count]);
    fill(values.get());
  }
  py::capsule owner(values.get(), [](void* data) { delete[] static_cast<T*>(data); });
  T* data = values.release();
  py::array array(py::dtype::of<T>(), std::move(shape), data, owner);
  array.attr("setflags")(py::arg("write") = false);
  return array;
}

// The 0-based form of one of the mesh's tables of node or volume numbers
// (0, "no neighbour", becomes -1), in one pass over the table.
template <auto Table>
py::array zero_based(const malha::Mesh& mesh) {
  const auto& table = mesh.*Table;
  const std::size_t count = static_cast<std::size_t>(table.rows()) * 3;
  const std::int32_t* numbers = count > 0 ? table.row(1) : nullptr;
  return read_only_array<std::int32_t>({table.rows(), 3}, count, [&](std::int32_t* out) {
    for (std::size_t i = 0; i < count; ++i) out[i] = numbers[i] - 1;
  });
}

// True for the rows of the fictitious volumes, from n_real_volumes on.
py::array fictitious_mask(const malha::Mesh& mesh) {
  const std::size_t count = static_cast<std::size_t>(mesh.n_volumes);
  const std::size_t n_real = static_cast<std::size_t>(mesh.n_real_volumes);
  return read_only_array<bool>({mesh.n_volumes}, count, [&](bool* out) {
    for (std::size_t i = 0; i < count; ++i) out[i] = i >= n_real;
  });
}

// The faces of a mesh, for the Python layer's malha.Faces: their tables of
// volume, node and face numbers made 0-based in place, once, before any
// view of them exists. The views of a Faces object have that object as
// their base, and one-column tables go out as one-dimensional arrays. Their
// geometry is a second object (`face_geometry`), made at the first use of
// any of its tables.
struct CompiledFaces : malha::Faces {};
struct CompiledGeometry : malha::FaceGeometry {};

template <int Cols>
void count_from_zero(malha::MeshTable<std::int32_t, Cols>& table) {
  const std::size_t count = static_cast<std::size_t>(table.rows()) * Cols;
  std::int32_t* values = count > 0 ? table.row(1) : nullptr;
  for (std::size_t i = 0; i < count; ++i) values[i] -= 1;
}

CompiledFaces zero_based_faces(const malha::Mesh& mesh) {
  CompiledFaces faces;
  static_cast<malha::Faces&>(faces) = malha::build_faces(mesh);
  count_from_zero(faces.face_owners);
  count_from_zero(faces.face_neighbours);
  count_from_zero(faces.face_nodes);
  count_from_zero(faces.volume_faces);
  return faces;
}

// face_geometry of 0-based faces: on 1-based copies of the tables it
// reads, so that the views of the faces never see another number.
template <typename T, int Cols>
void copy_table(malha::MeshTable<T, Cols>& to, const malha::MeshTable<T, Cols>& from, T add) {
  to.allocate(from.rows());
  const std::size_t count = static_cast<std::size_t>(from.rows()) * Cols;
  for (std::size_t i = 0; i < count; ++i) to.row(1)[i] = from.row(1)[i] + add;
}

CompiledGeometry one_based_geometry(const malha::Mesh& mesh, const CompiledFaces& faces) {
  malha::Faces one_based;
  one_based.n_faces = faces.n_faces;
  one_based.n_interior_faces = faces.n_interior_faces;
  one_based.n_boundary_faces = faces.n_boundary_faces;
  copy_table(one_based.face_owners, faces.face_owners, 1);
  copy_table(one_based.face_neighbours, faces.face_neighbours, 1);
  copy_table(one_based.face_nodes, faces.face_nodes, 1);
  copy_table(one_based.face_normals, faces.face_normals, 0.0);
  CompiledGeometry geometry;
  static_cast<malha::FaceGeometry&>(geometry) = malha::face_geometry(mesh, one_based);
  return geometry;
}

template <auto Table, typename Owner = CompiledFaces>
py::array faces_view(py::object faces) {
  const auto& table = faces.cast<const Owner&>().*Table;
  using T = std::remove_cvref_t<decltype(table(1, 1))>;
  if constexpr (std::remove_cvref_t<decltype(table)>::kColumns == 1) {
    const py::ssize_t rows = table.rows();
    py::array view(py::dtype::of<T>(), {rows}, {static_cast<py::ssize_t>(sizeof(T))},
                   rows > 0 ? table.row(1) : nullptr, faces);
    view.attr("setflags")(py::arg("write") = false);
    return view;
  } else {
    return table_view(table, faces);
  }
}

// The gradients of `values` (float64, n_volumes of them) as a new
// (n_real_volumes, 2) array, computed without the interpreter lock.
py::array_t<double> cell_gradients_of(const malha::GradientWeights& weights,
                                      const py::array_t<double, py::array::c_style>& values) {
  py::array_t<double> gradients({static_cast<py::ssize_t>(weights.n_real_volumes), py::ssize_t{2}});
  const std::span<const double> in(values.data(), static_cast<std::size_t>(values.size()));
  const std::span<double> out(gradients.mutable_data(), static_cast<std::size_t>(gradients.size()));
  {
    py::gil_scoped_release unlocked;
    malha::cell_gradients(weights, in, out);
  }
  return gradients;
}

// The cell fields of a grid, from (name, array) pairs whose arrays are
// float64 in row order, one or two dimensions (the Python layer makes them
// so). The fields' spans point into the arrays, which `arrays` holds while
// the fields are written.
struct CellFields {
  std::vector<py::array_t<double, py::array::c_style>> arrays;
  std::vector<malha::CellField> fields;
};

CellFields cell_fields(const py::list& pairs) {
  CellFields out;
  out.arrays.reserve(pairs.size());
  out.fields.reserve(pairs.size());
  for (const py::handle pair : pairs) {
    const auto item = pair.cast<std::pair<std::string, py::array_t<double, py::array::c_style>>>();
    const auto& values = out.arrays.emplace_back(item.second);
    const py::ssize_t components = values.ndim() == 2 ? values.shape(1) : 1;
    out.fields.push_back({item.first,
                          {values.data(), static_cast<std::size_t>(values.size())},
                          static_cast<int>(components)});
  }
  return out;
}

void write_vtu_fields(const malha::Mesh& mesh, const std::filesystem::path& file,
                      const py::list& pairs, const malha::VtuOptions& options) {
  const CellFields fields = cell_fields(pairs);
  py::gil_scoped_release unlocked;
  malha::write_vtu(mesh, file, fields.fields, options);
}

void write_step(malha::TimeSeries& series, double time, const py::list& pairs) {
  const CellFields fields = cell_fields(pairs);
  py::gil_scoped_release unlocked;
  series.write(time, fields.fields);
}

// A read-only view of a part's vector of 32-bit numbers, kept alive by the
// part's object.
template <auto Numbers>
py::array part_vector(py::object part) {
  const auto& numbers = part.cast<const malha::MeshPart&>().*Numbers;
  py::array view(py::dtype::of<std::int32_t>(), {static_cast<py::ssize_t>(numbers.size())},
                 {static_cast<py::ssize_t>(sizeof(std::int32_t))}, numbers.data(), part);
  view.attr("setflags")(py::arg("write") = false);
  return view;
}

// The 0-based form of a part's global numbers, or of its owners' local
// numbers, as a new read-only array.
template <auto Numbers>
py::array part_global_numbers(const malha::MeshPart& part) {
  const malha::GlobalNumbers& numbers = part.*Numbers;
  const std::size_t count = numbers.size();
  return read_only_array<std::int64_t>({static_cast<py::ssize_t>(count)}, count,
                                       [&](std::int64_t* out) {
                                         for (std::size_t i = 0; i < count; ++i) {
                                           out[i] = numbers[i] - 1;
                                         }
                                       });
}

py::array zero_based_owner_locals(const malha::MeshPart& part) {
  const std::size_t count = part.halo_owner_locals.size();
  return read_only_array<std::int32_t>({static_cast<py::ssize_t>(count)}, count,
                                       [&](std::int32_t* out) {
                                         for (std::size_t i = 0; i < count; ++i) {
                                           out[i] = part.halo_owner_locals[i] - 1;
                                         }
                                       });
}

void write_part_vtu(const malha::MeshPart& part, const std::filesystem::path& file,
                    const py::list& pairs) {
  const CellFields fields = cell_fields(pairs);
  py::gil_scoped_release unlocked;
  malha::write_vtu(part, file, fields.fields);
}

// The collection of `pieces` holding the fields of (name, components) pairs.
void write_pvtu_of(const std::filesystem::path& file,
                   const std::vector<std::filesystem::path>& pieces,
                   const std::vector<std::pair<std::string, int>>& pairs) {
  std::vector<malha::PvtuField> fields;
  for (const auto& [name, components] : pairs) fields.push_back({name, components});
  py::gil_scoped_release unlocked;
  malha::write_pvtu(file, pieces, fields);
}

}  // namespace

PYBIND11_MODULE(_malha, m) {
  m.doc() = "The compiled core of malha; use the package malha, which documents it.";

  py::register_exception_translator([](std::exception_ptr thrown) {
    try {
      if (thrown) std::rethrow_exception(thrown);
    } catch (const malha::Error& error) {
      py::object error_of = py::module_::import("malha.errors").attr("error_of");
      py::object value = error_of(error.what(), error.code(), error.operation(),
                                  error.description(), error.detail());
      PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(value.ptr())), value.ptr());
    }
  });
  // The ARGUMENT report of a refusal that the Python layer makes itself, so
  // that its refusals carry the library's code and form.
  m.def(
      "refuse",
      [](const std::string& function, const std::string& what) {
        malha::fail_argument(function, what);
      },
      py::arg("function"), py::arg("what"));

  using malha::Mesh;
  py::enum_<malha::LatticePattern>(m, "LatticePattern")
      .value("crossed", malha::LatticePattern::crossed)
      .value("fan", malha::LatticePattern::fan);
  py::class_<Mesh>(m, "Mesh")
      .def_readonly("level", &Mesh::level)
      .def_readonly("dim_x", &Mesh::dim_x)
      .def_readonly("dim_y", &Mesh::dim_y)
      .def_readonly("n_real_volumes", &Mesh::n_real_volumes)
      .def_readonly("n_fict_volumes", &Mesh::n_fict_volumes)
      .def_readonly("n_volumes", &Mesh::n_volumes)
      .def_readonly("n_real_nodes", &Mesh::n_real_nodes)
      .def_readonly("n_fict_nodes", &Mesh::n_fict_nodes)
      .def_readonly("n_nodes", &Mesh::n_nodes)
      .def_readonly("nodes_per_side", &Mesh::nodes_per_side)
      .def_readonly("centres_per_side", &Mesh::centres_per_side)
      .def_readonly("fict_per_side", &Mesh::fict_per_side)
      .def_readonly("cells_x", &Mesh::cells_x)
      .def_readonly("cells_y", &Mesh::cells_y)
      .def_readonly("pattern", &Mesh::pattern)
      .def_readonly("dx", &Mesh::dx)
      .def_readonly("dy", &Mesh::dy)
      .def_readonly("half_dx", &Mesh::half_dx)
      .def_readonly("half_dy", &Mesh::half_dy)
      .def_readonly("two_dx", &Mesh::two_dx)
      .def_readonly("two_dy", &Mesh::two_dy)
      .def_property_readonly("x_lines", &lines_view<&Mesh::x_lines>)
      .def_property_readonly("y_lines", &lines_view<&Mesh::y_lines>)
      .def_property_readonly("node_coords", &mesh_view<&Mesh::node_coords>)
      .def_property_readonly("volume_nodes", &mesh_view<&Mesh::volume_nodes>)
      .def_property_readonly("volume_neighbours", &mesh_view<&Mesh::volume_neighbours>)
      .def_property_readonly("barycentres", &mesh_view<&Mesh::barycentres>)
      .def_property_readonly("triangles", &zero_based<&Mesh::volume_nodes>)
      .def_property_readonly("neighbours", &zero_based<&Mesh::volume_neighbours>)
      .def_property_readonly("is_fictitious", &fictitious_mask);

  using malha::Faces;
  using malha::FaceGeometry;
  py::class_<CompiledFaces>(m, "Faces")
      .def_readonly("n_faces", &Faces::n_faces)
      .def_readonly("n_interior_faces", &Faces::n_interior_faces)
      .def_readonly("n_boundary_faces", &Faces::n_boundary_faces)
      .def_property_readonly("face_owners", &faces_view<&Faces::face_owners>)
      .def_property_readonly("face_neighbours", &faces_view<&Faces::face_neighbours>)
      .def_property_readonly("face_nodes", &faces_view<&Faces::face_nodes>)
      .def_property_readonly("face_normals", &faces_view<&Faces::face_normals>)
      .def_property_readonly("face_lengths", &faces_view<&Faces::face_lengths>)
      .def_property_readonly("face_sides", &faces_view<&Faces::face_sides>)
      .def_property_readonly("volume_areas", &faces_view<&Faces::volume_areas>)
      .def_property_readonly("volume_faces", &faces_view<&Faces::volume_faces>);
  m.def("build_faces", &zero_based_faces, py::arg("mesh"), py::call_guard<py::gil_scoped_release>());
  py::class_<CompiledGeometry>(m, "FaceGeometry")
      .def_property_readonly("face_midpoints", &faces_view<&FaceGeometry::face_midpoints, CompiledGeometry>)
      .def_property_readonly("face_deltas", &faces_view<&FaceGeometry::face_deltas, CompiledGeometry>)
      .def_property_readonly("normal_distances",
                             &faces_view<&FaceGeometry::normal_distances, CompiledGeometry>)
      .def_property_readonly("non_orthogonality",
                             &faces_view<&FaceGeometry::non_orthogonality, CompiledGeometry>);
  m.def("face_geometry", &one_based_geometry, py::arg("mesh"), py::arg("faces"),
        py::call_guard<py::gil_scoped_release>());
  // gradient_weights reads of the faces their counts alone (see
  // faces/cell_gradients.h), which the 0-based numbers leave as they are.
  py::class_<malha::GradientWeights>(m, "GradientWeights");
  m.def(
      "gradient_weights",
      [](const malha::Mesh& mesh, const CompiledFaces& faces) {
        return malha::gradient_weights(mesh, faces);
      },
      py::arg("mesh"), py::arg("faces"), py::call_guard<py::gil_scoped_release>());
  m.def("cell_gradients", &cell_gradients_of, py::arg("weights"), py::arg("values"));

  // The lattice's facts (mesh/lattice.h), for the package's own figures.
  m.def("is_lattice", [](const Mesh& mesh) { return malha::is_lattice(mesh); }, py::arg("mesh"));
  m.def("fan_side_edges", &malha::fan_side_edges, py::arg("pattern"));
  m.def("real_volumes_per_cell", &malha::real_volumes_per_cell, py::arg("pattern"));
  m.def(
      "level_lattice",
      [](std::int32_t level) {
        const malha::LatticeShape shape = malha::level_lattice(level);
        return py::make_tuple(shape.cells_x, shape.cells_y, shape.pattern);
      },
      py::arg("level"));
  m.def(
      "lattice_counts",
      [](std::int64_t cells_x, std::int64_t cells_y, malha::LatticePattern pattern) {
        const std::int64_t step = pattern == malha::LatticePattern::fan ? 2 : 1;
        for (const std::int64_t cells : {cells_x, cells_y}) {
          if (cells < step || cells > malha::kMaxLatticeCells || cells % step != 0) {
            malha::fail_argument("lattice_counts", "cells must be 1 to 2**30, even for the fan pattern");
          }
        }
        const malha::LatticeCounts c = malha::lattice_counts(cells_x, cells_y, pattern);
        py::dict counts;
        counts["n_real_volumes"] = c.n_real_volumes;
        counts["n_fict_volumes"] = c.n_fict_volumes;
        counts["n_volumes"] = c.n_volumes;
        counts["n_real_nodes"] = c.n_real_nodes;
        counts["n_fict_nodes"] = c.n_fict_nodes;
        counts["n_nodes"] = c.n_nodes;
        return counts;
      },
      py::arg("cells_x"), py::arg("cells_y"), py::arg("pattern"));

  m.def("build_mesh", &malha::build_mesh, py::arg("level"), py::arg("dim_x"), py::arg("dim_y"),
        py::call_guard<py::gil_scoped_release>());
  m.def("build_lattice_mesh",
        py::overload_cast<std::int64_t, std::int64_t, double, double, malha::LatticePattern>(
            &malha::build_lattice_mesh),
        py::arg("cells_x"), py::arg("cells_y"), py::arg("dim_x"), py::arg("dim_y"),
        py::arg("pattern"), py::call_guard<py::gil_scoped_release>());
  // The lines are float64 arrays of the Python layer, read in place.
  m.def(
      "build_lattice_on_lines",
      [](const Lines& xs, const Lines& ys, malha::LatticePattern pattern) {
        py::gil_scoped_release unlocked;
        return malha::build_lattice_mesh(span_of(xs), span_of(ys), pattern);
      },
      py::arg("xs"), py::arg("ys"), py::arg("pattern"));
  m.def("graded_lines", &helper_lines<&malha::graded_lines>, py::arg("cells"), py::arg("length"),
        py::arg("ratio"));
  m.def("two_sided_lines", &helper_lines<&malha::two_sided_lines>, py::arg("cells"),
        py::arg("length"), py::arg("ratio"));
  m.def("write_mesh_files", &malha::write_mesh_files, py::arg("mesh"), py::arg("folder"),
        py::arg("processing_time") = 0.0, py::call_guard<py::gil_scoped_release>());
  m.def("read_mesh_files", &malha::read_mesh_files, py::arg("folder"),
        py::call_guard<py::gil_scoped_release>());
  m.attr("version") = py::make_tuple(malha::kVersionMajor, malha::kVersionMinor);

  // Grids and time series: the fields as a list of (name, array) pairs.
  py::class_<malha::VtuOptions>(m, "VtuOptions")
      .def(py::init([](bool include_fictitious, bool include_tables) {
             return malha::VtuOptions{include_fictitious, include_tables};
           }),
           py::arg("include_fictitious") = false, py::arg("include_tables") = false);
  m.def("write_vtu", &write_vtu_fields, py::arg("mesh"), py::arg("file"), py::arg("fields"),
        py::arg("options"));
  using malha::TimeSeries;
  py::class_<TimeSeries>(m, "TimeSeries")
      .def(py::init<const Mesh&, std::filesystem::path, std::string, malha::VtuOptions>(),
           py::arg("mesh"), py::arg("folder"), py::arg("name"), py::arg("options"),
           py::keep_alive<1, 2>(), py::call_guard<py::gil_scoped_release>())
      .def("write", &write_step, py::arg("time"), py::arg("fields"))
      .def_property_readonly("steps", &TimeSeries::steps)
      .def("step_file", &TimeSeries::step_file, py::arg("index"))
      .def_property_readonly("collection_file", &TimeSeries::collection_file);

  // Parts of a lattice (mesh/lattice_part.h).
  using malha::LatticePartition;
  py::class_<LatticePartition>(m, "LatticePartition")
      .def_readonly("cells_x", &LatticePartition::cells_x)
      .def_readonly("cells_y", &LatticePartition::cells_y)
      .def_readonly("pattern", &LatticePartition::pattern)
      .def_readonly("parts", &LatticePartition::parts)
      .def_readonly("parts_x", &LatticePartition::parts_x)
      .def_readonly("parts_y", &LatticePartition::parts_y)
      .def_readonly("x_starts", &LatticePartition::x_starts)
      .def_readonly("y_starts", &LatticePartition::y_starts);
  m.def("partition_lattice", &malha::partition_lattice, py::arg("cells_x"), py::arg("cells_y"),
        py::arg("pattern"), py::arg("parts"));
  m.def("owned_offset", &malha::owned_offset, py::arg("partition"), py::arg("part"));
  m.def(
      "lattice_of_level",
      [](std::int32_t level) {
        const malha::LevelLattice lattice = malha::lattice_of_level(level);
        return py::make_tuple(lattice.cells_x, lattice.cells_y, lattice.pattern);
      },
      py::arg("level"));
  using malha::MeshPart;
  py::class_<MeshPart>(m, "MeshPart")
      .def_property_readonly(
          "mesh", [](const MeshPart& part) -> const Mesh& { return part.mesh; },
          py::return_value_policy::reference_internal)
      .def_readonly("part", &MeshPart::part)
      .def_readonly("parts", &MeshPart::parts)
      .def_readonly("n_owned", &MeshPart::n_owned)
      .def_readonly("n_halo", &MeshPart::n_halo)
      .def_property_readonly("global_volumes", &part_global_numbers<&MeshPart::global_volumes>)
      .def_property_readonly("global_nodes", &part_global_numbers<&MeshPart::global_nodes>)
      .def_property_readonly("halo_owners", &part_vector<&MeshPart::halo_owners>)
      .def_property_readonly("halo_owner_locals", &zero_based_owner_locals);
  m.def("build_lattice_part",
        py::overload_cast<std::int64_t, std::int64_t, double, double, malha::LatticePattern,
                          std::int32_t, std::int32_t>(&malha::build_lattice_part),
        py::arg("cells_x"), py::arg("cells_y"), py::arg("dim_x"), py::arg("dim_y"),
        py::arg("pattern"), py::arg("part"), py::arg("parts"),
        py::call_guard<py::gil_scoped_release>());
  m.def(
      "build_lattice_part_on_lines",
      [](const Lines& xs, const Lines& ys, malha::LatticePattern pattern, std::int32_t part,
         std::int32_t parts) {
        py::gil_scoped_release unlocked;
        return malha::build_lattice_part(span_of(xs), span_of(ys), pattern, part, parts);
      },
      py::arg("xs"), py::arg("ys"), py::arg("pattern"), py::arg("part"), py::arg("parts"));
  m.def("write_part_vtu", &write_part_vtu, py::arg("part"), py::arg("file"), py::arg("fields"));
  m.def("write_pvtu", &write_pvtu_of, py::arg("file"), py::arg("pieces"), py::arg("fields"));
}
