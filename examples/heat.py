#!/usr/bin/python3
"""Solve the heat equation u_t = Laplace(u) on a malha mesh, written as a time series.

The rectangle [0, dim_x] x [0, dim_y] starts from its slowest mode
sin(pi x / dim_x) sin(pi y / dim_y) with u = 0 on every side, so the exact
solution is that mode times exp(-pi^2 (1/dim_x^2 + 1/dim_y^2) t). Each step
is one implicit Euler step of the corrected finite-volume scheme of
diffusion.py beside this file (its diffusion_solver, factorised once):

    area / dt (u_new - u_old) = sum over the faces of the flux of grad u_new.

Every step goes to the ParaView collection FOLDER/heat.pvd (one grid file per
step, cell data "u"), which `paraview heat.pvd` opens as one series. The
program prints the mode's amplitude, the area-weighted projection of u on the
mode, as a decay from t = 0 against the exact one. The mesh is a level's
(--level) or the lattice of NX x NY cells (--cells NX NY, --pattern crossed or
fan).
"""
import argparse
import math
import time
from pathlib import Path

import numpy as np

import malha
from diffusion import diffusion_solver


def mode(mesh):
    """The slowest mode at the real volumes' barycentres."""
    x, y = mesh.barycentres[:mesh.n_real_volumes].T
    return np.sin(np.pi * x / mesh.dim_x) * np.sin(np.pi * y / mesh.dim_y)


def exact_decay(mesh, t):
    """exp(-pi^2 (1/dim_x^2 + 1/dim_y^2) t), the mode's exact decay at time t."""
    return math.exp(-math.pi**2 * (1 / mesh.dim_x**2 + 1 / mesh.dim_y**2) * t)


def run(level, lengths, steps, end, folder, every=1, report=print, cells=None,
        pattern="crossed"):
    """Solve from t = 0 to end in steps equal steps; return the records.

    Args:
        level: the mesh level, unless cells is given.
        lengths: (dim_x, dim_y).
        steps: the implicit Euler steps.
        end: the final time.
        folder: an existing folder for heat.pvd and a grid file for every
            step, or None to write nothing.
        every: report every this many steps (and the last).
        report: called with each record reported (a dict: step, t, decay,
            exact, difference, the decay's relative difference from the
            exact one).
        cells: (NX, NY): the lattice of NX x NY cells instead of the level.
        pattern: the lattice's pattern, "crossed" or "fan".
    Returns:
        The records reported.
    """
    mesh = (malha.build(level, *lengths) if cells is None
            else malha.build_lattice(*cells, *lengths, pattern))
    faces = mesh.faces()
    area = faces.volume_areas[:mesh.n_real_volumes]
    dt = end / steps
    neumann = np.zeros(faces.n_boundary_faces, dtype=bool)  # u = 0 on every side
    zero = np.zeros(faces.n_boundary_faces)
    solve = diffusion_solver(mesh, faces, neumann, diagonal=area / dt)
    phi = mode(mesh)

    def amplitude(u):
        return np.sum(area * u * phi) / np.sum(area * phi * phi)

    u = phi.copy()
    start = amplitude(u)
    records = []
    series = malha.TimeSeries(mesh, folder, "heat") if folder is not None else None
    for step in range(steps + 1):
        if step > 0:
            u, _ = solve(area / dt * u, zero)
        t = step * dt
        if series is not None:
            series.write(t, {"u": u})
        if step % every and step != steps:
            continue
        decay, exact = amplitude(u) / start, exact_decay(mesh, t)
        record = dict(step=step, t=t, decay=decay, exact=exact,
                      difference=decay / exact - 1)
        records.append(record)
        report(record)
    return records


def main():
    """Parse the command line, solve, print the decay step by step."""
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--level", type=int, default=12)
    p.add_argument("--cells", type=int, nargs=2, metavar=("NX", "NY"),
                   help="the lattice of NX x NY cells instead of a level")
    p.add_argument("--pattern", choices=("crossed", "fan"), default="crossed",
                   help="how the lattice's cells are cut (with --cells)")
    p.add_argument("--lengths", type=float, nargs=2, default=(2.0, 1.0))
    p.add_argument("--steps", type=int, default=200)
    p.add_argument("--end", type=float, default=0.1, help="the final time")
    p.add_argument("--folder", type=Path, default=Path("."),
                   help="folder of heat.pvd and its grid files (default: the current one)")
    p.add_argument("--every", type=int, default=20,
                   help="print every this many steps (and the last)")
    args = p.parse_args()
    args.folder.mkdir(parents=True, exist_ok=True)
    shape = (f"level {args.level}" if args.cells is None else
             f"{args.cells[0]} x {args.cells[1]} cells, {args.pattern}")
    print(f"{shape}, {args.lengths[0]:g} x {args.lengths[1]:g}, "
          f"{args.steps} steps to t = {args.end:g}, corrected flux\n"
          " step          t       decay       exact  difference")
    began = time.perf_counter()
    records = run(args.level, tuple(args.lengths), args.steps, args.end, args.folder,
                  args.every, lambda r: print(
                      f"{r['step']:5d} {r['t']:10.3e} {r['decay']:11.6f} {r['exact']:11.6f}"
                      f" {r['difference']:+10.3%}", flush=True), args.cells, args.pattern)
    last = records[-1]
    print(f"decay at t = {last['t']:g}: {last['decay']:.6f} computed, {last['exact']:.6f} exact, "
          f"{last['difference']:+.3%}; {args.steps + 1} steps written to "
          f"{args.folder / 'heat.pvd'} in {time.perf_counter() - began:.1f} s")


if __name__ == "__main__":
    main()
