"""The Python package against the program's own files and reports.

Needs MALHA_EXE (the program) and MALHA_VTK_EXE (malha-vtk, the program's
read-back) in the environment and the package on PYTHONPATH, as ctest's
test PythonPackage sets them.
"""

import ast
import gc
import os
import re
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

import malha
from mesh_records import real, records, text_tables

FILES = ("dados_gerais.txt", "dados_malha.txt", "nos_malha.txt", "malha.txt", "malha_real.txt",
         "nos_conectividade.txt", "vol_conectividades.txt", "baricentros.txt", "dados.ent",
         "conectividades.ent", "baricentros.ent")
LENGTHS = [(1.0, 1.0), (2.5, 0.7)]
CASES = [(level, x, y) for level in range(1, 13) for x, y in LENGTHS]
QUIET = dict(os.environ, COMSPEC="true")  # the run's viewers: a program that does nothing


def run_program(folder, answers):
    """Runs the program in `folder` with the four answers; returns (status, stderr)."""
    done = subprocess.run([os.environ["MALHA_EXE"]],
                          input="".join(f"{a}\n" for a in answers).encode(), cwd=folder, env=QUIET,
                          capture_output=True)
    return done.returncode, done.stderr.decode()


def run_vtk(folder):
    """Runs malha-vtk in `folder`; returns its stderr (the read-back's report)."""
    done = subprocess.run([os.environ["MALHA_VTK_EXE"]], cwd=folder, capture_output=True)
    return done.stderr.decode()


@pytest.fixture(scope="session")
def program_run(tmp_path_factory):
    """The folder of the program's run for (level, dim_x, dim_y), made once."""
    folders = {}

    def run(level, dim_x, dim_y):
        if (level, dim_x, dim_y) not in folders:
            folder = tmp_path_factory.mktemp(f"level{level}_{dim_x}x{dim_y}")
            status, stderr = run_program(folder, (level, dim_x, dim_y, 0))
            assert status == 0, stderr
            folders[level, dim_x, dim_y] = folder
        return folders[level, dim_x, dim_y]
    return run


def counts(mesh):
    return mesh.n_nodes, mesh.n_volumes, mesh.n_real_volumes, mesh.n_fict_volumes


@pytest.mark.parametrize("level, dim_x, dim_y", CASES)
def test_build_equals_the_program(program_run, tmp_path, level, dim_x, dim_y):
    folder = program_run(level, dim_x, dim_y)
    text = text_tables(folder)
    mesh = malha.build(level, dim_x, dim_y)
    assert counts(mesh) == text["counts"]
    assert (mesh.level, mesh.dim_x, mesh.dim_y) == (level, dim_x, dim_y)
    for name in ("volume_nodes", "volume_neighbours"):
        table = getattr(mesh, name)
        assert table.dtype == np.int32 and np.array_equal(table, text[name]), name
    assert mesh.node_coords.shape == (mesh.n_nodes, 2)
    assert mesh.barycentres.shape == (mesh.n_volumes, 2)
    assert np.array_equal(mesh.triangles, text["volume_nodes"] - 1)
    assert np.array_equal(mesh.neighbours, text["volume_neighbours"] - 1)
    assert np.array_equal(np.flatnonzero(mesh.is_fictitious),
                          np.arange(mesh.n_real_volumes, mesh.n_volumes))

    # The doubles show in the bytes; the processing time is the program's own.
    time_record = records(folder / "dados_gerais.txt")[-1]
    mesh.write(tmp_path, processing_time=real(time_record[-18:]))
    for name in FILES:
        assert (tmp_path / name).read_bytes() == (folder / name).read_bytes(), name


@pytest.mark.parametrize("level, dim_x, dim_y", CASES)
def test_read_gives_the_numbers_of_the_text(program_run, level, dim_x, dim_y):
    folder = program_run(level, dim_x, dim_y)
    text = text_tables(folder)
    mesh = malha.read(folder)
    assert counts(mesh) == text["counts"]
    for name in ("node_coords", "volume_nodes", "volume_neighbours", "barycentres"):
        assert np.array_equal(getattr(mesh, name), text[name]), name
    # The level, the other counts, the lengths and the spacings follow from
    # the files: those of the mesh built for the same answers.
    built = malha.build(level, dim_x, dim_y)
    for name in ("level", "dim_x", "dim_y", "n_real_nodes", "n_fict_nodes", "nodes_per_side",
                 "centres_per_side", "fict_per_side", "dx", "dy", "half_dx", "half_dy",
                 "two_dx", "two_dy"):
        assert getattr(mesh, name) == getattr(built, name), name


# meshio takes a bare ".msh" for an ANSYS file, which drops the data: Gmsh's
# format is named.
@pytest.mark.parametrize("file_name, options", [
    ("malha.vtu", {}),
    ("malha.msh", {"file_format": "gmsh"}),
    ("malha.msh", {"file_format": "gmsh", "binary": False}),
    ("malha.msh", {"file_format": "gmsh22", "binary": False}),
])
def test_meshio_writes_and_reads_the_mesh(tmp_path, file_name, options):
    meshio = pytest.importorskip("meshio")
    mesh = malha.build(7, 2.5, 0.7)
    grid = mesh.to_meshio()
    assert np.array_equal(grid.points[:, :2], mesh.node_coords) and not grid.points[:, 2].any()
    meshio.write(tmp_path / file_name, grid, **options)
    back = meshio.read(tmp_path / file_name, **({"file_format": "gmsh"} if options else {}))
    assert [block.type for block in back.cells] == ["triangle"]
    assert np.array_equal(back.cells[0].data, mesh.triangles)
    assert np.array_equal(back.points, grid.points)
    expected = {
        "volume": np.arange(1, mesh.n_volumes + 1),
        "fictitious": mesh.is_fictitious,
        "neighbours": mesh.volume_neighbours,
        "barycentre": np.column_stack((mesh.barycentres, np.zeros(mesh.n_volumes))),
    }
    for name, values in expected.items():
        assert np.array_equal(back.cell_data[name][0], values), name
    assert np.array_equal(back.point_data["node"], np.arange(1, mesh.n_nodes + 1))


def assert_interpreter_goes_on():
    assert malha.build(3, 2.0, 1.0).n_volumes == 16


@pytest.mark.parametrize("answers, code", [
    ((0, 1, 1), "S5001"),
    ((31, 2, 1), "S5001"),
    ((-7, 2, 1), "S5001"),
    ((3, 1.7e308, 1), "M3003"),
])
def test_build_failure_is_the_programs_report(tmp_path, answers, code):
    status, report = run_program(tmp_path, answers + (0,))
    assert status == 1
    with pytest.raises(malha.Error) as caught:
        malha.build(*answers)
    assert caught.value.report == report
    assert caught.value.code == code
    assert report == (f"\r\nrun-time error {code}: {caught.value.operation}\r\n"
                      f"- {caught.value.description}\r\n")
    assert_interpreter_goes_on()


def test_memory_refusal_names_the_need_and_the_limit():
    # In a child whose address space is its own plus 64 MiB: the report is
    # the program's, and the message adds the need and the limit.
    script = (
        "import resource, sys, malha\n"
        "size = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()\n"
        "resource.setrlimit(resource.RLIMIT_AS, (size + (64 << 20), resource.RLIM_INFINITY))\n"
        "try:\n"
        "    malha.build(24, 1.0, 1.0)\n"
        "except malha.Error as error:\n"
        "    print(repr((error.code, error.report, error.detail, str(error))))\n")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          check=True, env=dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path)))
    code, report, detail, message = ast.literal_eval(done.stdout)
    assert code == "A2001"
    assert report == ("\r\nrun-time error A2001: ALLOCATE\r\n"
                      "- not enough memory to build the mesh\r\n")
    assert re.fullmatch(r"the tables need \d+ bytes \(.* GiB\); "
                        r"this process can obtain \d+ \(.* GiB\)", detail)
    assert message == report.strip() + "\r\n- " + detail


@pytest.mark.parametrize("write, name, what", [
    (lambda mesh, folder: mesh.write(folder), "dados_malha.txt", "file"),
    (lambda mesh, folder: malha.TimeSeries(mesh, folder, "heat"), "", "folder"),
])
def test_write_into_a_missing_folder_is_open(tmp_path, write, name, what):
    missing = tmp_path / "missing"
    with pytest.raises(malha.Error) as caught:
        write(malha.build(3, 2.0, 1.0), missing)
    error = caught.value
    operation = f"OPEN({missing / name if name else missing})"
    description = f"cannot {'create or ' if what == 'file' else ''}open the {what}: " \
        + os.strerror(2)
    assert (error.code, error.operation, error.description) == ("F4001", operation, description)
    # The message is the report's two lines; the report keeps the program's framing.
    assert str(error) == f"run-time error F4001: {operation}\r\n- {description}"
    assert error.report == f"\r\n{error}\r\n"
    assert_interpreter_goes_on()


def test_write_onto_a_full_device_is_the_programs_report(tmp_path, monkeypatch):
    program, package = tmp_path / "program", tmp_path / "package"
    for folder in (program, package):
        folder.mkdir()
        (folder / "malha.txt").symlink_to("/dev/full")
    status, report = run_program(program, (3, 2, 1, 0))
    assert status == 1 and "WRITE(malha.txt)" in report
    monkeypatch.chdir(package)
    with pytest.raises(malha.Error) as caught:
        malha.build(3, 2.0, 1.0).write("")
    assert (caught.value.code, caught.value.report) == ("F4002", report)
    assert_interpreter_goes_on()


def damage_a_record(folder):
    path = folder / "dados.ent"
    data = bytearray(path.read_bytes())
    data[data.index(b"E+00") + 1] = ord("x")
    path.write_bytes(bytes(data))


def remove_a_file(folder):
    (folder / "baricentros.ent").unlink()


@pytest.mark.parametrize("damage, code", [(damage_a_record, "F4007"), (remove_a_file, "F4004")])
def test_read_of_a_damaged_folder_is_the_programs_report(program_run, tmp_path, monkeypatch,
                                                         damage, code):
    source = program_run(4, 2.5, 0.7)
    for name in FILES:
        (tmp_path / name).write_bytes((source / name).read_bytes())
    damage(tmp_path)
    report = run_vtk(tmp_path)
    monkeypatch.chdir(tmp_path)
    with pytest.raises(malha.Error) as caught:
        malha.read("")
    assert (caught.value.code, caught.value.report) == (code, report)
    assert_interpreter_goes_on()


def test_tables_are_read_only_views_that_outlive_the_mesh():
    mesh = malha.build(6, 2.5, 0.7)
    for name in ("node_coords", "volume_nodes", "volume_neighbours", "barycentres"):
        first, second = getattr(mesh, name), getattr(mesh, name)
        assert np.shares_memory(first, second), name
        assert not first.flags.writeable and first.flags.c_contiguous, name
        with pytest.raises(ValueError):
            first[0, 0] = 0
    nodes, neighbours = mesh.node_coords, mesh.volume_neighbours
    nodes_copy, neighbours_copy = nodes.copy(), neighbours.copy()
    del mesh
    gc.collect()
    malha.build(6, 9.0, 9.0)  # storage freed too early would be reused here
    assert np.array_equal(nodes, nodes_copy) and np.array_equal(neighbours, neighbours_copy)


@pytest.mark.parametrize("call", [
    lambda: malha.build("3", 2.0, 1.0),
    lambda: malha.build(3.0, 2.0, 1.0),
    lambda: malha.build(None, 2.0, 1.0),
    lambda: malha.build(3, "2", 1.0),
    lambda: malha.build(3, 2.0, [1.0]),
    lambda: malha.build(3, 2.0, 1j),
    lambda: malha.read(3),
    lambda: malha.build(3, 2.0, 1.0).write(None),
    lambda: malha.build(3, 2.0, 1.0).write(".", processing_time="0"),
    lambda: malha.Mesh(object()),
])
def test_wrong_types_raise_type_error(call):
    with pytest.raises(TypeError):
        call()


def test_numpy_scalars_and_paths_are_accepted(tmp_path):
    mesh = malha.build(np.int64(4), np.float32(2.0), np.float64(1.0))
    mesh.write(str(tmp_path), processing_time=np.float64(0.0))
    assert np.array_equal(malha.read(Path(tmp_path)).volume_nodes, mesh.volume_nodes)


ARRAYS = ("node_coords", "volume_nodes", "volume_neighbours", "barycentres", "triangles",
          "neighbours", "is_fictitious")


@pytest.mark.parametrize("name", ARRAYS)
@pytest.mark.parametrize("source", ["build", "read"])
def test_no_array_can_be_made_writable(program_run, source, name):
    mesh = (malha.build(4, 2.5, 0.7) if source == "build"
            else malha.read(program_run(4, 2.5, 0.7)))
    array = getattr(mesh, name)
    before = array.copy()
    chain = [array]  # the array and every array beneath it
    while isinstance(chain[-1].base, np.ndarray):
        chain.append(chain[-1].base)
    for link in chain:
        with pytest.raises(ValueError):
            link.setflags(write=True)
        with pytest.raises(ValueError):
            link.flat[0] = 1
    assert np.array_equal(getattr(mesh, name), before)


def test_meshio_arrays_are_copies():
    pytest.importorskip("meshio")
    mesh = malha.build(4, 2.5, 0.7)
    grid = mesh.to_meshio()
    arrays = [grid.points, grid.cells[0].data, *grid.point_data.values(),
              *(data[0] for data in grid.cell_data.values())]
    for array in arrays:
        array.setflags(write=True)
        array[...] = 7
    fresh = malha.build(4, 2.5, 0.7)
    for name in ARRAYS:
        assert np.array_equal(getattr(mesh, name), getattr(fresh, name)), name


def snapshot(folder):
    """Every file of a folder: its bytes and its modification time."""
    return {path.name: (path.read_bytes(), path.stat().st_mtime_ns) for path in folder.iterdir()}


@pytest.mark.parametrize("seconds", [float("nan"), float("inf"), float("-inf"), -1.0, -5e-324,
                                     np.float64("nan")],
                         ids=["nan", "inf", "-inf", "-1", "-denormal", "numpy nan"])
def test_write_refuses_a_time_that_is_not_finite_seconds(tmp_path, seconds):
    mesh = malha.build(3, 2.0, 1.0)
    empty, earlier = tmp_path / "empty", tmp_path / "earlier"
    empty.mkdir()
    earlier.mkdir()
    mesh.write(earlier, processing_time=1.5)
    before = snapshot(earlier)
    for folder in (empty, earlier):
        with pytest.raises(ValueError, match="processing_time"):
            mesh.write(folder, processing_time=seconds)
    assert snapshot(empty) == {} and snapshot(earlier) == before


def test_write_takes_minus_zero_seconds_for_zero(tmp_path):
    mesh = malha.build(3, 2.0, 1.0)
    for name, seconds in (("zero", 0.0), ("minus_zero", -0.0)):
        (tmp_path / name).mkdir()
        mesh.write(tmp_path / name, processing_time=seconds)
    record = (tmp_path / "minus_zero" / "dados_gerais.txt").read_bytes()
    assert record == (tmp_path / "zero" / "dados_gerais.txt").read_bytes()
    assert record.endswith(b" 0.000000000E+00\r\n")
