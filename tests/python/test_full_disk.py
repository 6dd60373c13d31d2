"""Writing over an older run or series on a small tmpfs filled to leave a given room."""

import contextlib
import os
import subprocess
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import malha

PAGE = 4096


@contextlib.contextmanager
def small_disk(folder):
    """A 4 MiB tmpfs at `folder`; yields a function that leaves it `room` bytes."""
    folder.mkdir()
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs",
                                            str(folder)], stderr=subprocess.DEVNULL).returncode:
        pytest.skip("no tmpfs can be mounted here")

    def fill(room):
        with open(folder / "filler", "wb", buffering=0) as filler:
            with contextlib.suppress(OSError):
                while True:
                    filler.write(bytes(PAGE))
            filler.truncate(max(0, filler.tell() - room))
    try:
        yield fill
    finally:
        subprocess.run(["umount", str(folder)], check=True)


# A step file and the collection take a page each: with no page free the
# step fails, with one its collection, from two on the older series' steps
# are replaced one by one and the steps beyond them fail later.
@pytest.mark.parametrize("pages", range(5))
@pytest.mark.parametrize("stale_folder", [False, True], ids=["", "heat.pvd.tmp a folder"])
def test_a_series_over_an_older_one_keeps_what_its_collection_names(tmp_path, pages, stale_folder):
    vtk = pytest.importorskip("vtkmodules.vtkIOXML")
    mesh = malha.build(6, 2.0, 1.0)
    folder = tmp_path / "disk"
    with small_disk(folder) as fill:
        with malha.TimeSeries(mesh, folder, "heat") as older:
            for step in range(8):
                older.write(step, {"u": np.full(mesh.n_real_volumes, 100.0 + step)})
        if stale_folder:
            (folder / "heat.pvd.tmp").mkdir()
        fill(pages * PAGE)
        failures = 0
        with malha.TimeSeries(mesh, folder, "heat") as series:
            for step in range(12):
                with contextlib.suppress(malha.Error):
                    series.write(step, {"u": np.full(mesh.n_real_volumes, float(step))})
                    continue
                failures += 1
                for data_set in ElementTree.parse(folder / "heat.pvd").getroot().iter("DataSet"):
                    reader = vtk.vtkXMLUnstructuredGridReader()
                    reader.SetFileName(str(folder / data_set.get("file")))
                    reader.Update()
                    assert reader.GetOutput().GetNumberOfCells() == mesh.n_real_volumes
        assert failures > 0


@pytest.mark.parametrize("room", [0, 100_000, 1_000_000, 2_500_000])
def test_a_rerun_on_a_full_disk_leaves_a_folder_the_read_back_refuses(tmp_path, room):
    folder = tmp_path / "disk"
    with small_disk(folder) as fill:
        malha.build(5, 1.0, 1.0).write(folder)
        fill(room)
        with pytest.raises(malha.Error, match="F4002"):
            malha.build(14, 1.0, 1.0).write(folder)
        with pytest.raises(malha.Error, match="F4007"):
            malha.read(folder)
