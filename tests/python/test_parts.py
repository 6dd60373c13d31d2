"""malha.build_lattice_part's binding, and the pieces of its parts read back as one grid."""

import numpy as np
import pytest

import malha


@pytest.mark.parametrize("pattern, graded", [("crossed", False), ("fan", False), ("fan", True)])
def test_pieces_read_back_as_the_whole_grid(tmp_path, pattern, graded):
    vtk = pytest.importorskip("vtkmodules.vtkIOXML")
    numpy_support = pytest.importorskip("vtkmodules.util.numpy_support")
    lines = dict(xs=malha.graded_lines(24, 2.0, 20.0), ys=malha.two_sided_lines(12, 1.0, 5.0))
    whole = (malha.build_lattice(pattern=pattern, **lines) if graded
             else malha.build_lattice(24, 12, 2.0, 1.0, pattern))
    u = np.sin(whole.barycentres[:, 0]) * whole.barycentres[:, 1]
    pieces = []
    for p in range(4):
        part = (malha.build_lattice_part(pattern=pattern, part=p, parts=4, **lines) if graded
                else malha.build_lattice_part(24, 12, 2.0, 1.0, pattern, p, 4))
        numbers = part.global_volumes
        # 0-based, read-only tables of the whole mesh's numbers.
        assert numbers.dtype == np.int64 and not numbers.flags.writeable
        assert np.array_equal(part.mesh.barycentres, whole.barycentres[numbers])
        assert part.halo_owners.shape == (part.n_halo,) and not part.halo_owners.flags.writeable
        owned = numbers[:part.n_owned]
        part.write_vtu(tmp_path / f"u_{p}.vtu", {"u": u[owned], "xy": whole.barycentres[owned]})
        pieces.append(f"u_{p}.vtu")
    malha.write_pvtu(tmp_path / "u.pvtu", pieces, {"u": 1, "xy": 2})

    reader = vtk.vtkXMLPUnstructuredGridReader()
    reader.SetFileName(str(tmp_path / "u.pvtu"))
    reader.Update()
    grid = reader.GetOutput()
    cells = grid.GetCellData()
    read = {name: numpy_support.vtk_to_numpy(cells.GetArray(name))
            for name in ("global_volume", "u", "xy")}
    order = read["global_volume"] - 1
    assert np.array_equal(np.sort(order), np.arange(whole.n_real_volumes))
    assert np.array_equal(read["u"], u[order])
    assert np.array_equal(read["xy"], whole.barycentres[order])
    # Each cell is the whole mesh's triangle.
    points = numpy_support.vtk_to_numpy(grid.GetPoints().GetData())[:, :2]
    connectivity = numpy_support.vtk_to_numpy(grid.GetCells().GetConnectivityArray())
    assert np.array_equal(points[connectivity.reshape(-1, 3)],
                          whole.node_coords[whole.triangles[order]])


def test_refusals_are_value_errors():
    assert malha.lattice_of_level(9) == (16, 16, "fan")
    for args in [(4, 4, 1.0, 1.0, "crossed", 4, 4), (4, 4, 1.0, 1.0, "crossed", 0, 17),
                 (4, 4, 1.0, 1.0, "crossed", 0, 0), (3, 4, 1.0, 1.0, "fan", 0, 1)]:
        with pytest.raises(ValueError):
            malha.build_lattice_part(*args)
    with pytest.raises(ValueError):
        malha.write_pvtu("u.pvtu", [], {})
