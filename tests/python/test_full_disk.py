"""Writing over an older series or run on a 4 MiB tmpfs filled to leave a given room."""

import contextlib
import os
import subprocess
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest

import malha

PAGE = 4096
MESH = malha.build(6, 2.0, 1.0)


def failed_steps(folder, first_value, steps):
    """Steps of a series "heat" that fail; after each, the collection's files must open."""
    vtk = pytest.importorskip("vtkmodules.vtkIOXML")
    failures = 0
    with malha.TimeSeries(MESH, folder, "heat") as series:
        for step in range(steps):
            with contextlib.suppress(malha.Error):
                series.write(step, {"u": np.full(MESH.n_real_volumes, first_value + step)})
                continue
            failures += 1
            for data_set in ElementTree.parse(folder / "heat.pvd").getroot().iter("DataSet"):
                reader = vtk.vtkXMLUnstructuredGridReader()
                reader.SetFileName(str(folder / data_set.get("file")))
                reader.Update()
                assert reader.GetOutput().GetNumberOfCells() == MESH.n_real_volumes
    return failures


# A step file and the collection take a page each, and an older step held
# open keeps its page when replaced: with no page free a step fails at its
# file, with one at its collection; with more, a few steps go first.
@pytest.mark.parametrize("older, room", [
    (older, pages * PAGE) for older in ("series", "series, heat.pvd.tmp a folder")
    for pages in range(5)] + [("run", room) for room in (0, 100_000, 1_000_000, 2_500_000)])
def test_writing_over_older_files_on_a_full_disk(tmp_path, older, room):
    folder = tmp_path / "disk"
    folder.mkdir()
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs",
                                            str(folder)], stderr=subprocess.DEVNULL).returncode:
        pytest.skip("no tmpfs can be mounted here")
    held = []
    try:
        if older == "run":
            malha.build(5, 1.0, 1.0).write(folder)
        else:
            assert failed_steps(folder, 100.0, 8) == 0
        if older.endswith("a folder"):
            (folder / "heat.pvd.tmp").mkdir()
        # A reader (ParaView, say) holds the older steps open.
        held += [open(step, "rb") for step in folder.glob("heat_*.vtu")]
        with open(folder / "filler", "wb", buffering=0) as filler:
            with contextlib.suppress(OSError):
                while True:
                    filler.write(bytes(PAGE))
            filler.truncate(max(0, filler.tell() - room))
        if older == "run":
            with pytest.raises(malha.Error, match="F4002"):
                malha.build(14, 1.0, 1.0).write(folder)
            with pytest.raises(malha.Error, match="F4007"):
                malha.read(folder)
        else:
            assert failed_steps(folder, 0.0, 12) > 0
    finally:
        for step in held:
            step.close()
        subprocess.run(["umount", str(folder)], check=True)
