"""malha.build_lattice and malha.square_cells: the binding's refusals, VTK's
reader on random lattices, and one lattice from Python through its files,
malha-vtk and back."""

import math
import os
import random
import subprocess

import numpy as np
import pytest

import malha
from test_vtu import read_with_vtk


@pytest.mark.parametrize("args, kind, reason", [
    ((2, 3, 1.0, 1.0, "fan"), ValueError, r"cells_y \(3\) is odd"),
    ((2**70, 2, 1.0, 1.0), ValueError, "the most a 32-bit count holds"),
    ((2, 2, 1.0, 1.0, "diagonal"), ValueError, "pattern must be 'crossed' or 'fan'"),
    ((2.0, 2, 1.0, 1.0), TypeError, "cells_x must be an integer"),
], ids=["the library's refusal", "beyond 64 bits", "unknown pattern", "a float count"])
def test_build_lattice_refuses_with_the_reason(args, kind, reason):
    with pytest.raises(kind, match=reason):
        malha.build_lattice(*args)


@pytest.mark.parametrize("dim_x, dim_y, volumes, pattern, cells", [
    (2.0, 1.0, 4 * 2 * 64 * 64, "crossed", (128, 64)),
    (1.0, 3.0, 2 * 40 * 120, "fan", (40, 120)),
    (-2.0, 1.0, 100, "crossed", (8, 4)),
    (1.0, 1.0, 1, "crossed", (1, 1)),
    (1.0, 1.0, 1, "fan", (2, 2)),
    (100.0, 1.0, 8, "crossed", (100, 1)),
], ids=["2 x 1", "1 x 3 fan", "negative length", "one volume", "one fan", "a sliver"])
def test_square_cells(dim_x, dim_y, volumes, pattern, cells):
    assert malha.square_cells(dim_x, dim_y, volumes, pattern) == cells
    mesh = malha.build_lattice(*cells, dim_x, dim_y, pattern)
    assert (mesh.cells_x, mesh.cells_y, mesh.pattern) == (*cells, pattern)


@pytest.mark.parametrize("args", [(0.0, 1.0, 10), (1.0, float("nan"), 10), (1.0, 1.0, 0),
                                  (1.0, 1.0, 2**31), (5e-324, 1.0, 100), (1e200, 1e-200, 100)])
def test_square_cells_refuses(args):
    with pytest.raises(ValueError):
        malha.square_cells(*args)


def random_lattices(pattern, count=30, seed=30):
    rng = random.Random(f"{seed} {pattern}")
    for _ in range(count):
        cells = [rng.randint(1, 300) for _ in range(2)]
        if pattern == "fan":
            cells = [c + c % 2 for c in cells]
        yield (*cells, rng.uniform(-5, 5) or 1.0, rng.uniform(0.01, 50), pattern)


@pytest.mark.parametrize("pattern", ["crossed", "fan"])
def test_vtk_reads_the_grid_of_random_lattices(tmp_path, pattern):
    for args in random_lattices(pattern):
        mesh = malha.build_lattice(*args)
        u = mesh.barycentres[:mesh.n_real_volumes, 0]
        mesh.write_vtu(tmp_path / "lattice.vtu", {"u": u})
        points, triangles, _, arrays = read_with_vtk(tmp_path / "lattice.vtu")
        assert np.array_equal(points[:, :2], mesh.node_coords[:mesh.n_real_nodes]), args
        assert np.array_equal(triangles, mesh.triangles[:mesh.n_real_volumes]), args
        assert np.array_equal(arrays["u"], u), args


def test_a_lattice_through_its_files_malha_vtk_and_back(tmp_path):
    mesh = malha.build_lattice(12, 6, 2.0, 1.0, "fan")
    mesh.write(tmp_path)
    done = subprocess.run([os.environ["MALHA_VTK_EXE"]], cwd=tmp_path, capture_output=True)
    assert done.returncode == 0, done.stderr.decode()
    # The files hold 16 digits: the grid holds the nodes as read back.
    read = malha.read(tmp_path)
    points, triangles, _, arrays = read_with_vtk(tmp_path / "malha.vtu")
    assert np.array_equal(points[:, :2], read.node_coords)
    assert np.allclose(read.node_coords, mesh.node_coords, rtol=1e-15, atol=1e-15)
    assert np.array_equal(triangles, mesh.triangles)
    for name in ("level", "cells_x", "cells_y", "pattern", "dim_x", "dim_y", "dx", "dy", "two_dx",
                 "two_dy", "n_volumes", "n_nodes"):
        assert getattr(read, name) == getattr(mesh, name), name
    assert np.array_equal(read.volume_neighbours, mesh.volume_neighbours)


@pytest.mark.parametrize("kwargs, kind, reason", [
    (dict(xs=[0.0, 1.0, 1.0], ys=[0.0, 1.0]), malha.ArgumentError, r"xs\[2\] \(1\) after xs\[1\]"),
    (dict(xs=[0.0, 1.0]), malha.ArgumentError, "xs and ys are given together"),
    (dict(cells_x=2, xs=[0.0, 1.0], ys=[0.0, 1.0]), malha.ArgumentError, "give one or the other"),
    (dict(xs=[[0.0, 1.0]], ys=[0.0, 1.0]), malha.ArgumentError, "one-dimensional"),
    (dict(xs="01", ys=[0.0, 1.0]), TypeError, "sequence of real numbers"),
], ids=["the library's refusal", "xs alone", "lines and counts", "two dimensions", "a str"])
def test_build_lattice_on_lines_refuses_with_the_reason(kwargs, kind, reason):
    with pytest.raises(kind, match=reason):
        malha.build_lattice(**kwargs)


@pytest.mark.parametrize("helper", [malha.graded_lines, malha.two_sided_lines])
def test_grading_helpers(helper):
    lines = helper(7, -3.0, 12.5)
    assert lines.dtype == np.float64 and lines.shape == (8,) and lines[-1] == -3.0
    with pytest.raises(malha.ArgumentError, match=r"ratio \(0\) is not a finite number above 0"):
        helper(4, 1.0, 0)
    with pytest.raises(TypeError):
        helper(4.0, 1.0, 2.0)


@pytest.mark.parametrize("pattern", ["crossed", "fan"])
def test_graded_lattices_reach_vtk_meshio_and_time_series(tmp_path, pattern):
    rng = random.Random(f"graded {pattern}")
    for cells_x, cells_y, dim_x, dim_y, _ in random_lattices(pattern, count=6, seed=40):
        xs = malha.graded_lines(cells_x, dim_x, math.exp(rng.uniform(-4, 4)))
        ys = malha.two_sided_lines(cells_y, dim_y, math.exp(rng.uniform(-4, 4)))
        mesh = malha.build_lattice(xs=list(xs), ys=ys, pattern=pattern)
        assert np.array_equal(mesh.x_lines, xs) and np.array_equal(mesh.y_lines, ys)
        assert not mesh.x_lines.flags.writeable
        u = mesh.barycentres[:mesh.n_real_volumes, 0]
        mesh.write_vtu(tmp_path / "graded.vtu", {"u": u})
        points, triangles, _, arrays = read_with_vtk(tmp_path / "graded.vtu")
        assert np.array_equal(points[:, :2], mesh.node_coords[:mesh.n_real_nodes])
        assert np.array_equal(triangles, mesh.triangles[:mesh.n_real_volumes])
        assert np.array_equal(arrays["u"], u)
        series = malha.TimeSeries(mesh, tmp_path, "graded")
        series.write(0.0, {"u": u})
        assert read_with_vtk(tmp_path / "graded_0000.vtu")[1].shape == triangles.shape
    pytest.importorskip("meshio")
    assert np.array_equal(mesh.to_meshio().points[:, :2], mesh.node_coords)
