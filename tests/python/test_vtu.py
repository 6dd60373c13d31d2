"""Mesh.write_vtu and malha.TimeSeries, read back by VTK's own reader and by meshio."""

import math
import resource
import threading
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import malha

# Values whose bits a writer or reader could change: signed zero, the
# smallest subnormal, the extremes, infinities and a NaN with a payload.
AWKWARD = np.array([-0.0, 5e-324, -1.7976931348623157e308, np.inf, -np.inf, 0.1, 1 / 3,
                    np.frombuffer(np.uint64(0x7FF8_0000_DEAD_BEEF).tobytes(), np.float64)[0]])

GRIDS = [  # (level, dim_x, dim_y, options)
    pytest.param(1, 1.0, 1.0, {}, id="level 1"),
    pytest.param(6, 2.0, 1.0, {}, id="level 6, 2 x 1"),
    pytest.param(7, 0.3, 7.0, {}, id="level 7, 0.3 x 7"),
    pytest.param(8, -2.0, 1.0, {}, id="level 8, -2 x 1"),
    pytest.param(5, 2.0, 1.0, {"include_fictitious": True}, id="level 5, fictitious"),
    pytest.param(5, 1.0, 3.0, {"include_fictitious": True, "include_tables": True},
                 id="level 5, everything"),
]


def fields_for(rows, seed):
    """Fields with awkward values, and arrays that are not float64 in row order."""
    rng = np.random.default_rng(seed)
    scalar = rng.normal(size=rows)
    scalar[:min(rows, AWKWARD.size)] = AWKWARD[:rows]
    return {"u": scalar, "grad u (1/m)": rng.normal(size=(rows, 2)),
            "stress": rng.integers(-9, 9, size=(rows, 3)),
            "a column": rng.normal(size=(rows, 3))[:, 1],
            "by columns": np.asfortranarray(rng.normal(size=(rows, 2))),
            "big-endian": rng.normal(size=rows).astype(">f8"),
            "flag": rng.normal(size=rows) > 0}


def rolled(fields, step):
    """The fields of a series' step: its rows rolled down by the step's index."""
    return {name: np.roll(values, step, axis=0) for name, values in fields.items()}


def bits(array):
    return np.ascontiguousarray(array, dtype=np.float64).view(np.uint64)


def read_with_vtk(path):
    """The grid of a .vtu as (points, triangles, cell types, {name: cell array})."""
    vtk = pytest.importorskip("vtkmodules.vtkIOXML")
    numpy_support = pytest.importorskip("vtkmodules.util.numpy_support")
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(str(path))
    reader.Update()
    grid = reader.GetOutput()
    cells = grid.GetCellData()
    arrays = {cells.GetArrayName(i): numpy_support.vtk_to_numpy(cells.GetArray(i))
              for i in range(cells.GetNumberOfArrays())}
    connectivity = numpy_support.vtk_to_numpy(grid.GetCells().GetConnectivityArray())
    return (numpy_support.vtk_to_numpy(grid.GetPoints().GetData()),
            connectivity.reshape(-1, 3),
            numpy_support.vtk_to_numpy(grid.GetCellTypesArray()), arrays)


def assert_grid_holds(path, mesh, fields, options):
    points, triangles, types, arrays = read_with_vtk(path)
    every = options.get("include_fictitious", False)
    cells = mesh.n_volumes if every else mesh.n_real_volumes
    nodes = mesh.n_nodes if every else mesh.n_real_nodes
    assert np.array_equal(points[:, :2], mesh.node_coords[:nodes]) and not points[:, 2].any()
    assert np.array_equal(triangles, mesh.triangles[:cells])
    assert np.all(types == 5)
    assert np.array_equal(arrays["volume"], np.arange(1, cells + 1))
    for name, values in fields.items():
        assert arrays[name].shape == np.shape(values) and arrays[name].dtype == np.float64, name
        assert np.array_equal(bits(arrays[name]), bits(values)), name


def write_with_write_vtu(mesh, folder, fields, options):
    path = folder / "grid.vtu"
    mesh.write_vtu(path, fields, **options)
    return [path]


def write_with_time_series(mesh, folder, fields, options):
    with malha.TimeSeries(mesh, folder, "series", **options) as series:
        return [series.write(step / 3, rolled(fields, step)) for step in range(3)]


@pytest.mark.parametrize("write", [write_with_write_vtu, write_with_time_series])
@pytest.mark.parametrize("level, dim_x, dim_y, options", GRIDS)
def test_vtk_reads_every_field_bit_for_bit(tmp_path, write, level, dim_x, dim_y, options):
    mesh = malha.build(level, dim_x, dim_y)
    rows = mesh.n_volumes if options.get("include_fictitious") else mesh.n_real_volumes
    fields = fields_for(rows, level)
    paths = write(mesh, tmp_path, fields, options)
    for step, path in enumerate(paths):
        assert_grid_holds(path, mesh, rolled(fields, step), options)
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(
        [p.name for p in paths] + (["series.pvd"] if len(paths) > 1 else []))


def test_collection_lists_every_step_with_its_time(tmp_path):
    mesh = malha.build(4, 2.0, 1.0)
    times = [-1.0, 0.0, 0.1, 1 / 3, 1e-300 + 1, 2.5e10, np.float64(3e10)]
    with malha.TimeSeries(mesh, tmp_path, "heat") as series:
        for i, time in enumerate(times):
            assert series.write(time, {"u": np.full(mesh.n_real_volumes, i)}) == \
                tmp_path / f"heat_{i:04d}.vtu"
            listed = ElementTree.parse(series.collection_file).getroot()
            assert listed.get("type") == "Collection"
            steps = [(float(d.get("timestep")), d.get("file"))
                     for d in listed.iter("DataSet")]
            assert steps == [(float(t), f"heat_{j:04d}.vtu") for j, t in enumerate(times[:i + 1])]
        assert series.steps == len(times)
    assert series.closed and series.collection_file == tmp_path / "heat.pvd"
    with pytest.raises(ValueError, match="closed"):
        series.write(99.0, {})
    assert sorted(p.name for p in tmp_path.iterdir()) == \
        ["heat.pvd"] + [f"heat_{i:04d}.vtu" for i in range(len(times))]


def test_meshio_reads_the_same_cell_data(tmp_path):
    meshio = pytest.importorskip("meshio")
    mesh = malha.build(7, 2.0, 1.0)
    fields = fields_for(mesh.n_real_volumes, 7)
    mesh.write_vtu(tmp_path / "grid.vtu", fields)
    grid = meshio.read(tmp_path / "grid.vtu")
    assert np.array_equal(grid.cells_dict["triangle"], mesh.triangles[:mesh.n_real_volumes])
    assert np.array_equal(grid.points[:, :2], mesh.node_coords[:mesh.n_real_nodes])
    assert np.array_equal(grid.cell_data["volume"][0], np.arange(1, mesh.n_real_volumes + 1))
    for name, values in fields.items():
        assert np.array_equal(bits(grid.cell_data[name][0]), bits(values)), name


def test_a_series_keeps_its_mesh_alive(tmp_path):
    series = malha.TimeSeries(malha.build(5, 1.0, 1.0), tmp_path, "s")
    series.write(0.0, {"u": np.arange(32)})
    assert_grid_holds(tmp_path / "s_0000.vtu", malha.build(5, 1.0, 1.0), {"u": np.arange(32.0)},
                      {})


def test_threads_sharing_a_series_write_one_step_at_a_time(tmp_path):
    mesh = malha.build(10, 2.0, 1.0)
    u = np.arange(mesh.n_real_volumes, dtype=np.float64)
    written = []
    with malha.TimeSeries(mesh, tmp_path, "s") as series:
        def writer(first):
            for time in range(first, 40, 4):
                try:
                    written.append(series.write(float(time), {"u": u + time}))
                except ValueError:  # a later time came first
                    pass
        threads = [threading.Thread(target=writer, args=(i,)) for i in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        assert series.steps == len(written) > 0
    listed = [(float(d.get("timestep")), d.get("file"))
              for d in ElementTree.parse(tmp_path / "s.pvd").getroot().iter("DataSet")]
    assert [file for _, file in listed] == [f"s_{i:04d}.vtu" for i in range(len(written))]
    assert [t for t, _ in listed] == sorted(t for t, _ in listed)
    for time, file in listed:
        assert_grid_holds(tmp_path / file, mesh, {"u": u + time}, {})


def snapshot(folder):
    """Every entry below a folder: its bytes (None for a folder) and its modification time."""
    return {str(p.relative_to(folder)): (None if p.is_dir() else p.read_bytes(),
                                         p.stat().st_mtime_ns)
            for p in sorted(folder.rglob("*"))}


class Setup:
    """A level-4 mesh; a folder with a grid, a two-step series and two folders of file names."""

    def __init__(self, folder):
        self.folder = folder
        self.mesh = malha.build(4, 2.0, 1.0)
        self.u = np.linspace(0.0, 1.0, self.mesh.n_real_volumes)
        self.mesh.write_vtu(folder / "grid.vtu", {"u": self.u})
        self.series = malha.TimeSeries(self.mesh, folder, "t")
        self.series.write(0.0, {"u": self.u})
        self.series.write(1.0, {"u": self.u})
        (folder / "taken.vtu").mkdir()
        (folder / "taken.pvd").mkdir()
        (folder / "file").write_bytes(b"not a folder")

    def grid(self, cell_data, name="grid.vtu", **options):
        self.mesh.write_vtu(self.folder / name, cell_data, **options)

    def step(self, time, cell_data=None):
        self.series.write(time, {"u": self.u} if cell_data is None else cell_data)


def with_file_size_limit(call):
    """Runs `call` with a file-size limit of 1000 bytes (SIGXFSZ is ignored here)."""
    def limited(s):
        soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
        resource.setrlimit(resource.RLIMIT_FSIZE, (1000, hard))
        try:
            call(s)
        finally:
            resource.setrlimit(resource.RLIMIT_FSIZE, (soft, hard))
    return limited


N = 16  # the real volumes of Setup's mesh (24 with the fictitious ones)
REFUSALS = [  # (id, error, code or message, call)
    ("a field too short", ValueError, "has 15 values", lambda s: s.grid({"u": s.u[:-1]})),
    ("a field too long", ValueError, "has 17 values", lambda s: s.grid({"u": np.zeros(N + 1)})),
    ("a vector field with too few rows", ValueError, "has 30 values",
     lambda s: s.grid({"u": np.zeros((N - 1, 2))})),
    ("a field with no column", ValueError, "0 components",
     lambda s: s.grid({"u": np.zeros((N, 0))})),
    ("a field in three dimensions", ValueError, "3 dimensions",
     lambda s: s.grid({"u": np.zeros((N, 1, 1))})),
    ("a real field for every volume", ValueError, "not 24 cells",
     lambda s: s.grid({"u": s.u}, include_fictitious=True)),
    ("an empty name", ValueError, "empty name", lambda s: s.grid({"": s.u})),
    ("the name volume", ValueError, "grid's own", lambda s: s.grid({"volume": s.u})),
    ("the name fictitious with the fictitious volumes", ValueError, "grid's own",
     lambda s: s.grid({"fictitious": np.zeros(24)}, include_fictitious=True)),
    ("the name barycentre with the tables", ValueError, "grid's own",
     lambda s: s.grid({"barycentre": s.u}, include_tables=True)),
    ("a name with <", ValueError, "printable ASCII", lambda s: s.grid({"a<b": s.u})),
    ("a name with &", ValueError, "printable ASCII", lambda s: s.grid({"a&b": s.u})),
    ("a name with a quote", ValueError, "printable ASCII", lambda s: s.grid({'a"b': s.u})),
    ("a name with an apostrophe", ValueError, "printable ASCII", lambda s: s.grid({"a'b": s.u})),
    ("a name with a line end", ValueError, "printable ASCII", lambda s: s.grid({"a\nb": s.u})),
    ("a name with a tab", ValueError, "printable ASCII", lambda s: s.grid({"a\tb": s.u})),
    ("a name beyond ASCII", ValueError, "printable ASCII", lambda s: s.grid({"pressão": s.u})),
    ("a name with a lone surrogate", ValueError, "printable ASCII",
     lambda s: s.grid({"a\udc80": s.u})),
    ("a second field too short in a step", ValueError, "has 3 values",
     lambda s: s.step(2.0, {"u": s.u, "v": s.u[:3]})),
    ("a time NaN", ValueError, "not a finite", lambda s: s.step(math.nan)),
    ("a time +inf", ValueError, "not a finite", lambda s: s.step(math.inf)),
    ("a time -inf", ValueError, "not a finite", lambda s: s.step(-math.inf)),
    ("a time equal to the last", ValueError, "not after", lambda s: s.step(1.0)),
    ("a time before the last", ValueError, "not after", lambda s: s.step(0.5)),
    ("a series name that is empty", ValueError, "empty",
     lambda s: malha.TimeSeries(s.mesh, s.folder, "")),
    ("a series name with /", ValueError, "series name",
     lambda s: malha.TimeSeries(s.mesh, s.folder, "a/b")),
    ("a series name with <", ValueError, "series name",
     lambda s: malha.TimeSeries(s.mesh, s.folder, "a<b")),
    ("cell data that is not a mapping", TypeError, "mapping", lambda s: s.grid([("u", s.u)])),
    ("a name that is not a str", TypeError, "str", lambda s: s.grid({b"u": s.u})),
    ("values that are not numbers", TypeError, "real numbers",
     lambda s: s.grid({"u": ["1"] * N})),
    ("complex values", TypeError, "real numbers", lambda s: s.grid({"u": s.u * 1j})),
    ("a time that is not a number", TypeError, "time", lambda s: s.step("2")),
    ("a grid in a missing folder", malha.Error, "F4001",
     lambda s: s.grid({"u": s.u}, name="missing/grid.vtu")),
    ("a grid whose name a folder has", malha.Error, "F4006",
     lambda s: s.grid({"u": s.u}, name="taken.vtu")),
    ("a grid too large for the file-size limit", malha.Error, "F4002",
     with_file_size_limit(lambda s: s.grid({"u": s.u}, name="new.vtu"))),
    ("a series in a missing folder", malha.Error, "F4001",
     lambda s: malha.TimeSeries(s.mesh, s.folder / "missing", "t")),
    ("a series in a file", malha.Error, "F4001",
     lambda s: malha.TimeSeries(s.mesh, s.folder / "file", "t")),
    ("a collection whose name a folder has", malha.Error, "F4006",
     lambda s: malha.TimeSeries(s.mesh, s.folder, "taken").write(0.0, {})),
    ("a step too large for the file-size limit", malha.Error, "F4002",
     with_file_size_limit(lambda s: s.step(2.0))),
]


@pytest.mark.parametrize("error, expected, call", [row[1:] for row in REFUSALS],
                         ids=[row[0] for row in REFUSALS])
def test_each_refusal_leaves_the_folder_as_it_was(tmp_path, error, expected, call):
    setup = Setup(tmp_path)
    before = snapshot(tmp_path)
    with pytest.raises(error) as caught:
        call(setup)
    if error is malha.Error:
        assert caught.value.code == expected
    else:
        assert expected in str(caught.value)
    assert snapshot(tmp_path) == before
    # The process goes on, and the series with it: the next step is step 2.
    assert setup.series.write(7.0, {"u": setup.u}) == tmp_path / "t_0002.vtu"
    assert_grid_holds(tmp_path / "t_0002.vtu", setup.mesh, {"u": setup.u}, {})
