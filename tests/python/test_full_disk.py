"""Writing over an older run or series in a folder that fills up.

The folder is a small tmpfs filled to leave a given number of bytes; where
no tmpfs can be mounted, a file-size limit (RLIMIT_FSIZE) of that many bytes
stands in for it.
"""

import contextlib
import os
import resource
import signal
import subprocess
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import malha

STEPS = 8
PAGE = 4096


@contextlib.contextmanager
def filling_folder(folder, free_bytes):
    """Yields a function that leaves `folder` with `free_bytes` of room, and
    whether the folder is a tmpfs."""
    folder.mkdir()
    mounted = os.geteuid() == 0 and subprocess.run(
        ["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", str(folder)],
        stderr=subprocess.DEVNULL).returncode == 0
    limits = resource.getrlimit(resource.RLIMIT_FSIZE)
    handler = signal.getsignal(signal.SIGXFSZ)

    def fill():
        if not mounted:
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (free_bytes, limits[1]))
            return
        with open(folder / "filler", "wb", buffering=0) as filler:
            with contextlib.suppress(OSError):
                while True:
                    filler.write(b"\0" * 4096)
            filler.truncate(max(0, filler.tell() - free_bytes))

    try:
        yield fill, mounted
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, limits)
        signal.signal(signal.SIGXFSZ, handler)
        if mounted:
            subprocess.run(["umount", str(folder)], check=True)


def cells_read_by_vtk(path):
    """The number of cells VTK's reader finds in a grid file, or None."""
    vtk = pytest.importorskip("vtkmodules.vtkIOXML")
    reader = vtk.vtkXMLUnstructuredGridReader()
    reader.SetFileName(str(path))
    reader.Update()
    if reader.GetErrorCode() != 0:
        return None
    return reader.GetOutput().GetNumberOfCells()


# A step file and the collection take a page each: with 0 pages free the
# step fails, with 1 its collection, from 2 on the older series' steps are
# replaced one by one and the steps beyond them fail later.
@pytest.mark.parametrize("free_bytes", [0, PAGE, 2 * PAGE, 3 * PAGE, 4 * PAGE])
@pytest.mark.parametrize("stale_folder", [False, True], ids=["", "stale heat.pvd.tmp folder"])
def test_a_series_over_an_older_one_keeps_what_its_collection_names(
        tmp_path, free_bytes, stale_folder):
    mesh = malha.build(6, 2.0, 1.0)
    folder = tmp_path / "disk"
    with filling_folder(folder, free_bytes) as (fill, is_tmpfs):
        with malha.TimeSeries(mesh, folder, "heat") as older:
            for step in range(STEPS):
                older.write(step, {"u": np.full(mesh.n_real_volumes, 100.0 + step)})
        if stale_folder:
            (folder / "heat.pvd.tmp").mkdir()
        fill()
        failures = 0
        with malha.TimeSeries(mesh, folder, "heat") as series:
            for step in range(STEPS + 4):
                try:
                    series.write(step, {"u": np.full(mesh.n_real_volumes, float(step))})
                    continue
                except malha.Error as error:
                    assert error.code in ("F4001", "F4002"), error
                failures += 1
                listed = ElementTree.parse(folder / "heat.pvd").getroot().iter("DataSet")
                for data_set in listed:
                    name = data_set.get("file")
                    assert cells_read_by_vtk(folder / name) == mesh.n_real_volumes, name
        assert failures > 0 or not is_tmpfs


@pytest.mark.parametrize("free_bytes", [0, 100_000, 1_000_000, 2_500_000])
def test_a_rerun_on_a_full_disk_leaves_a_folder_the_read_back_refuses(tmp_path, free_bytes):
    folder = tmp_path / "disk"
    with filling_folder(folder, free_bytes) as (fill, _):
        malha.build(5, 1.0, 1.0).write(folder)
        fill()
        with pytest.raises(malha.Error, match="F4002"):
            malha.build(14, 1.0, 1.0).write(folder)
        with pytest.raises(malha.Error) as refused:
            malha.read(folder)
        assert refused.value.code in ("F4007", "F4004"), refused.value
