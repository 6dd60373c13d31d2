"""poisson_mpi (examples/mpi/) against the serial examples/cpp/poisson, as CI stage 57 runs them.

poisson_mpi solves with PETSc's conjugate gradients and multigrid (the
lattice's own, algebraic on the graded lattice; here to -ksp_rtol 1e-13) the
systems that poisson solves by Eigen's sparse LDL^T, each rank holding one part
of the lattice; at 1, 2, 3 and 4 ranks their errors agree to 1e-8 relative. The
cases cover both schemes and both boundaries, a level's mesh, both patterns, a
graded lattice and the three rectangles of the convergence study; the 4-rank
grid, read by VTK's parallel reader, holds the serial grid's u, volume by
volume through `global_volume`.

Needs MALHA_POISSON_EXE, MALHA_POISSON_MPI_EXE and MALHA_MPIEXEC (with
MALHA_MPIEXEC_FLAGS, say --oversubscribe); skipped without them.
"""
import os
import re
import shlex
import subprocess

import numpy as np
import pytest

TOLERANCE = ["-ksp_rtol", "1e-13"]
CASES = {
    1: ["--cells", "32", "16", "--lengths", "2", "1", "--scheme", "two-point",
        "--boundary", "mixed"],
    2: ["--level", "9", "--lengths", "2", "1", "--scheme", "corrected", "--boundary", "dirichlet"],
    3: ["--cells", "16", "48", "--pattern", "fan", "--grading", "0.2", "3", "--lengths", "1", "3",
        "--scheme", "corrected", "--boundary", "mixed"],
    4: ["--cells", "48", "16", "--lengths", "1", "1", "--scheme", "corrected",
        "--boundary", "mixed"],
}


def executables():
    names = ("MALHA_POISSON_EXE", "MALHA_POISSON_MPI_EXE", "MALHA_MPIEXEC")
    missing = [name for name in names if not os.environ.get(name)]
    if missing:
        pytest.skip(f"{', '.join(missing)} not set")
    return [os.environ[name] for name in names]


def run(command):
    """The one line a run prints."""
    return subprocess.run(command, check=True, capture_output=True, text=True, timeout=540).stdout


def error_of(line):
    """The number after "error " in a run's line."""
    return float(re.search(r"\berror ([-+0-9.eE]+)\n$", line).group(1))


def parallel(mpiexec, exe, ranks, options):
    flags = shlex.split(os.environ.get("MALHA_MPIEXEC_FLAGS", ""))
    return [mpiexec, "-n", str(ranks), *flags, exe, *options, *TOLERANCE]


@pytest.mark.parametrize("ranks", sorted(CASES), ids=[f"ranks{r}" for r in sorted(CASES)])
def test_parallel_error_is_the_serial_one(ranks):
    serial, exe, mpiexec = executables()
    expected = error_of(run([serial, *CASES[ranks]]))
    line = run(parallel(mpiexec, exe, ranks, CASES[ranks]))
    assert error_of(line) == pytest.approx(expected, rel=1e-8, abs=0)
    # Multigrid keeps each solve's Krylov iterations few, whatever the ranks.
    corrections, krylov = map(int, re.search(r"iterations (\d+), krylov iterations (\d+)",
                                             line).groups())
    assert krylov <= 25 * (corrections + 1)


def test_grid_pieces_hold_the_serial_grid(tmp_path):
    vtk = pytest.importorskip("vtk")
    from vtk.util.numpy_support import vtk_to_numpy
    serial, exe, mpiexec = executables()
    options = ["--cells", "24", "8", "--lengths", "3", "1", "--boundary", "mixed"]
    run([serial, *options, "--grid", str(tmp_path / "serial.vtu")])
    run(parallel(mpiexec, exe, 4, [*options, "--grid", str(tmp_path / "parts.pvtu")]))

    def cells(reader, file, number):
        reader.SetFileName(str(tmp_path / file))
        reader.Update()
        data = reader.GetOutput().GetCellData()
        order = np.argsort(vtk_to_numpy(data.GetArray(number)))
        return vtk_to_numpy(data.GetArray(number))[order], vtk_to_numpy(data.GetArray("u"))[order]

    volumes, u = cells(vtk.vtkXMLUnstructuredGridReader(), "serial.vtu", "volume")
    global_volumes, u_parts = cells(vtk.vtkXMLPUnstructuredGridReader(), "parts.pvtu",
                                    "global_volume")
    np.testing.assert_array_equal(global_volumes, volumes)
    np.testing.assert_allclose(u_parts, u, rtol=1e-9, atol=0)
