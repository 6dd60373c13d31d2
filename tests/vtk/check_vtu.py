#!/usr/bin/python3
"""Reads malha.vtu back with meshio, a reader of its own, and checks it
against the text files of the same run.

    check_vtu.py MALHA MALHA_VTK

For levels 1, 6 and 12 with unequal lengths: runs MALHA in a temporary
folder, then MALHA_VTK there, and checks that the grid's points, triangles,
fictitious flags, neighbours, barycentres, numbers and counts equal what
"dados.ent", "conectividades.ent" and "baricentros.ent" hold. Where VTK's
Python module is installed, VTK's own reader checks the same. Exits 77 (the
test is skipped) when meshio is not installed.
"""

import os
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    import meshio
    import numpy as np
except ImportError:
    print("skipped: meshio is not installed (apt-get install python3-meshio)")
    sys.exit(77)

# The reader of ParaView and VisIt, a second check where it is installed.
try:
    import vtk
    from vtk.util.numpy_support import vtk_to_numpy
except ImportError:
    vtk = None

# The records of the run's files, read as the Python package's tests read them.
sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "python"))
from mesh_records import text_tables  # noqa: E402

CASES = [(1, "2.5", "0.7"), (6, "2.5", "0.7"), (12, "3", "1.25")]


def check(level, dim_x, dim_y, malha, malha_vtk):
    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        # The run's text editor is a program that does nothing.
        quiet = dict(os.environ, COMSPEC="true")
        subprocess.run([malha], input=f"{level}\n{dim_x}\n{dim_y}\n0\n".encode(), cwd=folder,
                       env=quiet, check=True, stdout=subprocess.DEVNULL)
        subprocess.run([malha_vtk], cwd=folder, check=True, stdout=subprocess.DEVNULL)

        text = text_tables(folder)
        n_nodes, n_volumes, n_real, n_fict = text["counts"]
        nodes, corners = text["node_coords"], text["volume_nodes"]
        neighbours, barycentres = text["volume_neighbours"], text["barycentres"]

        grid = meshio.read(folder / "malha.vtu")
        assert grid.points.shape == (n_nodes, 3), grid.points.shape
        assert np.array_equal(grid.points[:, :2], nodes)
        assert not grid.points[:, 2].any()
        assert len(grid.cells) == 1 and grid.cells[0].type == "triangle"
        assert np.array_equal(grid.cells[0].data, corners - 1)

        cell = {name: values[0] for name, values in grid.cell_data.items()}
        assert np.array_equal(cell["volume"], np.arange(1, n_volumes + 1))
        assert np.array_equal(cell["fictitious"], np.arange(n_volumes) >= n_real)
        assert np.array_equal(cell["neighbours"], neighbours)
        assert cell["barycentre"].shape == (n_volumes, 3)
        assert np.array_equal(cell["barycentre"][:, :2], barycentres)
        assert not cell["barycentre"][:, 2].any()
        assert np.array_equal(grid.point_data["node"], np.arange(1, n_nodes + 1))
        counts = {name: int(value[0]) for name, value in grid.field_data.items()}
        assert counts == {"n_nodes": n_nodes, "n_volumes": n_volumes,
                          "n_real_volumes": n_real, "n_fict_volumes": n_fict}, counts
        if vtk is not None:
            check_with_vtk(folder / "malha.vtu", nodes, corners, n_real, neighbours, barycentres)
        print(f"level {level} ({dim_x} x {dim_y}): {n_nodes} points, {n_volumes} cells agree" + (" (meshio and VTK)" if vtk else " (meshio)"))


def check_with_vtk(path, nodes, corners, n_real, neighbours, barycentres):
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(str(path))
    reader.Update()
    grid = reader.GetOutput()
    n_volumes = len(corners)
    assert grid.GetNumberOfPoints() == len(nodes), grid.GetNumberOfPoints()
    assert grid.GetNumberOfCells() == n_volumes, grid.GetNumberOfCells()
    points = vtk_to_numpy(grid.GetPoints().GetData())
    assert np.array_equal(points[:, :2], nodes) and not points[:, 2].any()
    assert np.array_equal(vtk_to_numpy(grid.GetCellTypesArray()), np.full(n_volumes, 5))
    connectivity = vtk_to_numpy(grid.GetCells().GetConnectivityArray())
    assert np.array_equal(connectivity.reshape(-1, 3), corners - 1)
    cells = grid.GetCellData()
    fictitious = vtk_to_numpy(cells.GetArray("fictitious"))
    assert np.array_equal(fictitious, np.arange(n_volumes) >= n_real)
    assert np.array_equal(vtk_to_numpy(cells.GetArray("neighbours")), neighbours)
    assert np.array_equal(vtk_to_numpy(cells.GetArray("barycentre"))[:, :2], barycentres)
    assert np.array_equal(vtk_to_numpy(grid.GetPointData().GetArray("node")),
                          np.arange(1, len(nodes) + 1))
    field = grid.GetFieldData()
    assert [int(vtk_to_numpy(field.GetArray(name))[0]) for name in
            ("n_nodes", "n_volumes", "n_real_volumes", "n_fict_volumes")] == \
        [len(nodes), n_volumes, n_real, n_volumes - n_real]


def main():
    malha, malha_vtk = (str(Path(name).resolve()) for name in sys.argv[1:3])
    for level, dim_x, dim_y in CASES:
        check(level, dim_x, dim_y, malha, malha_vtk)


if __name__ == "__main__":
    main()
