#!/usr/bin/python3
"""Benchmark of the Python package malha against the program and numpy.

    PYTHONPATH=build/python bench/python_bench.py [-e build/malha] [-r repeats] [-d folder]
                                                  [-f build/bench/build_faces_bench]
                                                  [-m build/bench/build_mesh_bench]
                                                  [--lattice-only]

In one run, each figure the median of R repeats (default 5):

1. malha.build(22, 2, 1) wall time from Python against the processing-time
   record of the program's own level-22 run (dados_gerais.txt);
2. the peak memory of that build, in a fresh interpreter (ru_maxrss after
   the build less ru_maxrss after the imports; the kernel's high-water mark
   VmHWM beside it), against the four tables' size;
3. two threads each building level 21 at the same time against one thread
   building it alone: near 1x when the interpreter lock is released, 2x
   when the builds take turns;
4. malha.read of a level-20 run against numpy.loadtxt of the same three
   .ent files;
5. mesh.faces() of the level-22 mesh from Python against build_faces of the
   same mesh in C++, as build_faces_bench (built with -DMALHA_BUILD_BENCH=ON)
   times it, each repetition of each in a fresh process, wall and processor
   time; skipped, saying so, when that program is missing;
6. malha.build_lattice(2048, 512, 2, 1) (as many volumes as level 22, in a
   shape no level has) from Python against build_lattice_mesh in C++, as
   build_mesh_bench --lattice times it, each repetition of each in a fresh
   process; skipped, saying so, when that program is missing. With
   --lattice-only this item alone is measured.

The program's runs write about 3 GB (level 22) and 0.8 GB (level 20) of
text into a fresh folder under -d (default: the system's temporary folder),
removed at the end. The machine's load moves every figure: compare the
ratios of one run, under `nice` on a shared machine.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

import numpy as np

import malha

BUILD_LEVEL, THREAD_LEVEL, READ_LEVEL = 22, 21, 20
MIB = 1024 * 1024

PEAK_SCRIPT = """
import resource, sys
import numpy, malha
def high_water():
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmHWM:"))
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss, high_water()
mesh = malha.build(int(sys.argv[1]), 2.0, 1.0)
after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss, high_water()
tables = sum(getattr(mesh, name).nbytes for name in
             ("node_coords", "volume_nodes", "volume_neighbours", "barycentres"))
print(before[0] * 1024, after[0] * 1024, (after[1] - before[1]) * 1024, tables)
"""


def median_time(action, repeats):
    """The median wall time of `action`; what it returns is freed after the clock stops."""
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        result = action()
        times.append(time.perf_counter() - start)
        del result
    return statistics.median(times)


def run_program(exe, folder, level):
    """Runs the program for (level, 2, 1) in `folder`; returns its processing-time record."""
    folder.mkdir(parents=True, exist_ok=True)
    subprocess.run([exe], input=f"{level}\n2\n1\n0\n".encode(), cwd=folder, check=True,
                   stdout=subprocess.DEVNULL, env=dict(os.environ, COMSPEC="true"))
    last = (folder / "dados_gerais.txt").read_bytes().rstrip(b"\r\n").split(b"\r\n")[-1]
    return float(last.split(b":")[1])


def build_against_program(exe, work, repeats):
    records = [run_program(exe, work / "level22", BUILD_LEVEL) for _ in range(repeats)]
    program = statistics.median(records)
    python = median_time(lambda: malha.build(BUILD_LEVEL, 2.0, 1.0), repeats)
    print(f"build level {BUILD_LEVEL}:   Python {python:.3f} s, program's record {program:.3f} s, "
          f"ratio {python / program:.2f} (aim <= 1.2)")


def peak_memory(repeats):
    rises, hwm_rises = [], []
    for _ in range(repeats):
        done = subprocess.run([sys.executable, "-c", PEAK_SCRIPT, str(BUILD_LEVEL)], check=True,
                              capture_output=True, text=True, env=os.environ)
        before, after, hwm_rise, tables = (int(value) for value in done.stdout.split())
        rises.append(after - before)
        hwm_rises.append(hwm_rise)
    rise = statistics.median(rises)
    print(f"peak memory level {BUILD_LEVEL}: {rise / MIB:.1f} MiB over the interpreter's "
          f"{before / MIB:.1f} MiB (VmHWM: {statistics.median(hwm_rises) / MIB:.1f} MiB); "
          f"tables {tables / MIB:.1f} MiB; excess {(rise - tables) / MIB:.1f} MiB (aim <= 40)")


def threads(repeats):
    def build(into=None):
        mesh = malha.build(THREAD_LEVEL, 2.0, 1.0)
        if into is not None:
            into.append(mesh)
        return mesh

    def two_threads():
        meshes = []
        workers = [threading.Thread(target=build, args=(meshes,)) for _ in range(2)]
        for worker in workers:
            worker.start()
        for worker in workers:
            worker.join()
        return meshes

    one = median_time(build, repeats)
    two = median_time(two_threads, repeats)
    print(f"threads level {THREAD_LEVEL}: one build {one:.3f} s, two builds in two threads "
          f"{two:.3f} s, ratio {two / one:.2f} (aim well under 2; {os.cpu_count()} cores)")


def read_against_loadtxt(exe, work, repeats):
    folder = work / "level20"
    run_program(exe, folder, READ_LEVEL)
    mesh = malha.read(folder)
    n_nodes = mesh.n_nodes
    del mesh

    def loadtxt():
        return (np.loadtxt(folder / "dados.ent", skiprows=4, max_rows=n_nodes),
                np.loadtxt(folder / "dados.ent", skiprows=4 + n_nodes, dtype=np.int32),
                np.loadtxt(folder / "conectividades.ent", dtype=np.int32),
                np.loadtxt(folder / "baricentros.ent"))

    text = sum((folder / name).stat().st_size
               for name in ("dados.ent", "conectividades.ent", "baricentros.ent"))
    read = median_time(lambda: malha.read(folder), repeats)
    numpy_time = median_time(loadtxt, repeats)
    print(f"read level {READ_LEVEL}:    malha.read {read:.3f} s, numpy.loadtxt {numpy_time:.3f} s "
          f"of the same {text / MIB:.0f} MiB, {numpy_time / read:.1f}x faster")


FACES_SCRIPT = """
import sys, time
import malha
mesh = malha.build(int(sys.argv[1]), 2.0, 1.0)
wall, processor = time.perf_counter(), time.process_time()
faces = mesh.faces()
print(time.perf_counter() - wall, time.process_time() - processor)
"""


def faces_against_cpp(faces_bench, repeats):
    """Each repetition in fresh processes, as build_faces_bench times its own:
    the C++ run, then the Python one, one after the other."""
    if not Path(faces_bench).is_file():
        print(f"faces level {BUILD_LEVEL}:   skipped, no {faces_bench} "
              "(configure with -DMALHA_BUILD_BENCH=ON)")
        return
    cpp_wall, cpp_cpu, python_wall, python_cpu = [], [], [], []
    for _ in range(repeats):
        done = subprocess.run([faces_bench, "1", str(BUILD_LEVEL), "2", "1"], check=True,
                              capture_output=True, text=True)
        # The one repetition's row: mesh_s faces_s ratio mesh_cpu faces_cpu ...
        row = done.stdout.splitlines()[2].split()
        cpp_wall.append(float(row[1]))
        cpp_cpu.append(float(row[4]))
        done = subprocess.run([sys.executable, "-c", FACES_SCRIPT, str(BUILD_LEVEL)], check=True,
                              capture_output=True, text=True, env=os.environ)
        wall, cpu = (float(value) for value in done.stdout.split())
        python_wall.append(wall)
        python_cpu.append(cpu)
    wall, cpu = statistics.median(python_wall), statistics.median(python_cpu)
    cpp, cpp_processor = statistics.median(cpp_wall), statistics.median(cpp_cpu)
    print(f"faces level {BUILD_LEVEL}:   mesh.faces() {wall:.3f} s (processor {cpu:.3f} s), "
          f"C++ build_faces {cpp:.3f} s (processor {cpp_processor:.3f} s), ratio "
          f"{wall / cpp:.2f} (processor {cpu / cpp_processor:.2f}; aim <= 1.2)")


LATTICE = (2048, 512, 2.0, 1.0, "crossed")

LATTICE_SCRIPT = """
import sys, time
import malha
cells_x, cells_y, dim_x, dim_y, pattern = sys.argv[1:]
wall = time.perf_counter()
mesh = malha.build_lattice(int(cells_x), int(cells_y), float(dim_x), float(dim_y), pattern)
print(time.perf_counter() - wall, mesh.n_volumes)
"""


def lattice_against_cpp(mesh_bench, repeats):
    """Each repetition in fresh processes: the C++ build, then the Python one."""
    if not Path(mesh_bench).is_file():
        print(f"lattice {LATTICE[0]} x {LATTICE[1]}: skipped, no {mesh_bench} "
              "(configure with -DMALHA_BUILD_BENCH=ON)")
        return
    arguments = [str(value) for value in LATTICE]
    cpp, python = [], []
    for _ in range(repeats):
        done = subprocess.run([mesh_bench, "--lattice", *arguments], check=True,
                              capture_output=True, text=True)
        cpp.append(float(done.stdout.split()[0]))
        done = subprocess.run([sys.executable, "-c", LATTICE_SCRIPT, *arguments], check=True,
                              capture_output=True, text=True, env=os.environ)
        python.append(float(done.stdout.split()[0]))
    wall, cpp_wall = statistics.median(python), statistics.median(cpp)
    print(f"lattice {LATTICE[0]} x {LATTICE[1]}: malha.build_lattice {wall:.3f} s, C++ "
          f"build_lattice_mesh {cpp_wall:.3f} s, ratio {wall / cpp_wall:.2f} (aim <= 1.1)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("-e", "--exe", default=str(Path(__file__).parent.parent / "build/malha"),
                        help="the program (default: build/malha)")
    parser.add_argument("-r", "--repeats", type=int, default=5)
    parser.add_argument("-d", "--folder", default=None, help="where the runs' files go")
    parser.add_argument("-f", "--faces-bench",
                        default=str(Path(__file__).parent.parent / "build" / "bench"
                                    / "build_faces_bench"),
                        help="the C++ faces benchmark (default: build/bench/build_faces_bench)")
    parser.add_argument("-m", "--mesh-bench",
                        default=str(Path(__file__).parent.parent / "build" / "bench"
                                    / "build_mesh_bench"),
                        help="the C++ mesh benchmark (default: build/bench/build_mesh_bench)")
    parser.add_argument("--lattice-only", action="store_true",
                        help="measure the lattice build alone (item 6)")
    args = parser.parse_args()
    if args.lattice_only:
        lattice_against_cpp(str(Path(args.mesh_bench).resolve()), args.repeats)
        return
    exe = str(Path(args.exe).resolve())
    with tempfile.TemporaryDirectory(dir=args.folder, prefix="malha-python-bench.") as work:
        work = Path(work)
        # First, while this process is small: a child's ru_maxrss starts
        # from its parent's resident size at the fork.
        peak_memory(args.repeats)
        build_against_program(exe, work, args.repeats)
        threads(args.repeats)
        read_against_loadtxt(exe, work, args.repeats)
    faces_against_cpp(str(Path(args.faces_bench).resolve()), args.repeats)
    lattice_against_cpp(str(Path(args.mesh_bench).resolve()), args.repeats)


if __name__ == "__main__":
    main()
