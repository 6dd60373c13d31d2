"""One error for a refused argument value, in every call: malha.ArgumentError."""

import math

import numpy as np
import pytest

import malha


def mesh():
    return malha.build(3, 2.0, 1.0)


def closed_series(folder):
    with malha.TimeSeries(mesh(), folder, "t") as series:
        pass
    return series


# (name, call of a temporary folder, the report's code, its operation)
REFUSALS = [
    ("a level above 30", lambda d: malha.build(31, 2.0, 1.0), "S5001", "LEVEL"),
    ("a level beyond 32 bits", lambda d: malha.build(2**40, 2.0, 1.0), "S5002",
     "ARGUMENT(build_mesh)"),
    ("an odd fan", lambda d: malha.build_lattice(2, 3, 1.0, 1.0, "fan"), "S5002",
     "ARGUMENT(build_lattice_mesh)"),
    ("cells beyond 64 bits", lambda d: malha.build_lattice(2**70, 2, 1.0, 1.0), "S5002",
     "ARGUMENT(build_lattice_mesh)"),
    ("no cells", lambda d: malha.build_lattice(0, 2, 1.0, 1.0), "S5002",
     "ARGUMENT(build_lattice_mesh)"),
    ("an unknown pattern", lambda d: malha.build_lattice(2, 2, 1.0, 1.0, "x"), "S5002",
     "ARGUMENT(build_lattice_mesh)"),
    ("no volumes", lambda d: malha.square_cells(2.0, 1.0, 0), "S5002", "ARGUMENT(square_cells)"),
    ("a negative time", lambda d: mesh().write(d, -1.0), "S5002",
     "ARGUMENT(write_mesh_files)"),
    ("a field too short", lambda d: mesh().write_vtu(d / "u.vtu", {"u": [1.0]}), "S5002",
     "ARGUMENT(write_vtu)"),
    ("a field in three dimensions",
     lambda d: mesh().write_vtu(d / "u.vtu", {"u": np.zeros((8, 1, 1))}), "S5002",
     "ARGUMENT(write_vtu)"),
    ("an empty series name", lambda d: malha.TimeSeries(mesh(), d, ""), "S5002",
     "ARGUMENT(TimeSeries)"),
    ("a time NaN", lambda d: malha.TimeSeries(mesh(), d, "t").write(math.nan), "S5002",
     "ARGUMENT(TimeSeries)"),
    ("a closed series", lambda d: closed_series(d).write(0.0), "S5002",
     "ARGUMENT(TimeSeries)"),
    ("more parts than cells", lambda d: malha.build_lattice_part(4, 4, 1.0, 1.0, "crossed", 0, 99),
     "S5002", "ARGUMENT(build_lattice_part)"),
    ("lines not monotone", lambda d: malha.build_lattice(xs=[0.0, 2.0, 1.0], ys=[0.0, 1.0]),
     "S5002", "ARGUMENT(build_lattice_mesh)"),
    ("a ratio of 0", lambda d: malha.graded_lines(4, 1.0, 0.0), "S5002",
     "ARGUMENT(graded_lines)"),
    ("a graded part past the parts",
     lambda d: malha.build_lattice_part(xs=[0.0, 0.1, 1.0], ys=[0.0, 1.0], part=2, parts=2),
     "S5002", "ARGUMENT(build_lattice_part)"),
    ("values too short", lambda d: mesh().faces().cell_gradients(np.zeros(3)), "S5002",
     "ARGUMENT(cell_gradients)"),
    ("values in two dimensions", lambda d: mesh().faces().cell_gradients(np.zeros((16, 1))),
     "S5002", "ARGUMENT(cell_gradients)"),
    ("side 5", lambda d: mesh().faces().on_side(5), "S5002", "ARGUMENT(on_side)"),
    ("a side beyond 64 bits", lambda d: mesh().faces().on_side(2**70), "S5002",
     "ARGUMENT(on_side)"),
]


@pytest.mark.parametrize("call, code, operation", [row[1:] for row in REFUSALS],
                         ids=[row[0] for row in REFUSALS])
def test_every_refused_argument_is_an_argument_error(tmp_path, call, code, operation):
    with pytest.raises(malha.ArgumentError) as caught:
        call(tmp_path)
    error = caught.value
    assert isinstance(error, malha.Error) and isinstance(error, ValueError)
    assert (error.code, error.operation) == (code, operation)
    assert str(error) == f"run-time error {code}: {operation}\r\n- {error.description}"


def test_old_face_names_are_deprecated_aliases():
    faces = mesh().faces()
    for old, new in (("owner", "face_owners"), ("normal_distance", "normal_distances")):
        with pytest.warns(DeprecationWarning, match=new):
            alias = getattr(faces, old)
        assert np.shares_memory(alias, getattr(faces, new)), old
    with pytest.warns(DeprecationWarning, match="cell_gradients"):
        assert faces.gradients(np.ones(16)).tolist() == faces.cell_gradients(np.ones(16)).tolist()
