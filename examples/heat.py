#!/usr/bin/python3
"""Solve the heat equation u_t = Laplace(u) on a malha mesh, written as a time series.

The rectangle [0, dim_x] x [0, dim_y] starts from its slowest mode
sin(pi x / dim_x) sin(pi y / dim_y) with u = 0 on every side, so the exact
solution is that mode times exp(-pi^2 (1/dim_x^2 + 1/dim_y^2) t). Each step
is one implicit Euler step of the finite-volume scheme of diffusion.py beside
this file (its diffusion_solver, factorised once; --scheme corrected or
two-point):

    area / dt (u_new - u_old) = sum over the faces of the flux of grad u_new.

With --folder DIR every step goes to the ParaView collection DIR/heat.pvd (one
grid file per step, cell data "u"), which `paraview heat.pvd` opens as one
series; without it nothing is written. The program prints the mode's
amplitude, the area-weighted projection of u on the mode, as a decay from
t = 0 against the exact one. The mesh and scheme options are those of
examples/options.py, shared with poisson.py.
"""
import argparse
import math
import time
from pathlib import Path

import numpy as np

import malha
import options
from diffusion import diffusion_solver


def mode(mesh):
    """The slowest mode at the real volumes' barycentres."""
    x, y = mesh.barycentres[:mesh.n_real_volumes].T
    return np.sin(np.pi * x / mesh.dim_x) * np.sin(np.pi * y / mesh.dim_y)


def exact_decay(mesh, t):
    """exp(-pi^2 (1/dim_x^2 + 1/dim_y^2) t), the mode's exact decay at time t."""
    return math.exp(-math.pi**2 * (1 / mesh.dim_x**2 + 1 / mesh.dim_y**2) * t)


def run(level, lengths, steps, end, folder, every=1, report=print, cells=None,
        pattern="crossed", scheme="corrected", grading=None, two_sided=False):
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
        scheme: the flux, "corrected" or "two-point".
        grading: (RX, RY) to grade the lattice's cells (options.build_lattice).
        two_sided: whether that grading is two-sided.
    Returns:
        The records reported.
    """
    mesh = (malha.build(level, *lengths) if cells is None
            else options.build_lattice(cells, lengths, pattern, grading, two_sided))
    faces = mesh.faces()
    area = faces.volume_areas[:mesh.n_real_volumes]
    dt = end / steps
    neumann = np.zeros(faces.n_boundary_faces, dtype=bool)  # u = 0 on every side
    zero = np.zeros(faces.n_boundary_faces)
    solve = diffusion_solver(mesh, faces, neumann, diagonal=area / dt, scheme=scheme)
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
    p = options.Parser(description=__doc__.split("\n")[0])
    options.add_mesh_options(p, level=12)
    p.add_argument("--steps", type=int, default=200, help="implicit Euler steps (default 200)")
    p.add_argument("--end", type=float, default=0.1, help="the final time (default 0.1)")
    p.add_argument("--every", type=int, default=20,
                   help="print every this many steps, and the last (default 20)")
    p.add_argument("--folder", type=Path, metavar="DIR",
                   help="write every step to DIR/heat.pvd and its grid files (default: nothing)")
    args = p.parse_args()
    options.mesh_defaults(p, args)
    if args.steps < 1 or args.every < 1:
        p.error("--steps and --every take a whole number from 1")
    if args.folder is not None:
        args.folder.mkdir(parents=True, exist_ok=True)
    print(f"{options.describe(args)}, {args.lengths[0]:g} x {args.lengths[1]:g}, "
          f"{args.steps} steps to t = {args.end:g}, {args.scheme} flux\n"
          " step          t       decay       exact  difference")
    began = time.perf_counter()
    records = run(args.level, args.lengths, args.steps, args.end, args.folder,
                  args.every, lambda r: print(
                      f"{r['step']:5d} {r['t']:10.3e} {r['decay']:11.6f} {r['exact']:11.6f}"
                      f" {r['difference']:+10.3%}", flush=True), args.cells, args.pattern,
                  args.scheme, args.grading, args.two_sided)
    last = records[-1]
    written = (f"{args.steps + 1} steps written to {args.folder / 'heat.pvd'}"
               if args.folder is not None else
               f"{args.steps + 1} steps, none written (--folder DIR writes them)")
    print(f"decay at t = {last['t']:g}: {last['decay']:.6f} computed, {last['exact']:.6f} exact, "
          f"{last['difference']:+.3%}; {written} in {time.perf_counter() - began:.1f} s")


if __name__ == "__main__":
    main()
