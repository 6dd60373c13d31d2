#!/usr/bin/python3
"""Solve -Laplace(u) = f on a malha mesh by cell-centred finite volumes.

One unknown per real volume; the faces, their normals and the areas come from
mesh.faces(), the operator from diffusion.py beside this file, the ghosts'
values from the rule of malha/faces/faces.h. --boundary dirichlet
imposes u on every side; --boundary mixed imposes u on x = 0 and x = dim_x and
du/dn on y = 0 and y = dim_y. The flux is the two-point difference between
the barycentres, plus (scheme "corrected") a least-squares gradient
correction. --study runs them all, and with --pictures DIR draws two
pictures into DIR.

The mesh is a level's (--level L: 2^L triangles, as many cells along each
side) or a lattice of NX x NY cells (--cells NX NY, --pattern crossed or
fan), whose cells are square when NX : NY is dim_x : dim_y. --study
--lattices runs the study on square cells instead of levels: 2m x m cells on
2 x 1, m x 3m on 1 x 3, m x m on 1 x 1, for m = 2^J, J from --sizes. The
options are those of examples/options.py, shared with heat.py; --grid
FILE.vtu writes the fields u and error (u - exact) of one solve.

--layer DELTA solves for exp(-x / DELTA) instead, a boundary layer of width
DELTA at the wall x = 0, where --cells NX NY --grading R 1 puts the cells
that the layer needs (the last cell along x R times the first).
"""
import argparse
import json
import math
from pathlib import Path

import numpy as np

import malha
import options
from diffusion import SCHEMES, diffusion_solver

BOUNDARIES = ("dirichlet", "mixed")
NEUMANN_SIDES = {"dirichlet": (), "mixed": (1, 3)}  # y = 0 and y = dim_y
STUDY_LENGTHS = ((1.0, 1.0), (2.0, 1.0), (1.0, 3.0))


def exact(x, y):
    """Return the manufactured solution x^2 y + sin(pi x) sinh(pi y) / 10."""
    return x**2 * y + np.sin(np.pi * x) * np.sinh(np.pi * y) / 10


def exact_gradient(x, y):
    """Return the gradient of exact at the points (x, y), one row each."""
    return np.column_stack((
        2 * x * y + np.pi * np.cos(np.pi * x) * np.sinh(np.pi * y) / 10,
        x**2 + np.pi * np.sin(np.pi * x) * np.cosh(np.pi * y) / 10))


def source(x, y):
    """Return f = -Laplace(exact) = -2 y."""
    return -2 * y


def layer(delta):
    """The manufactured solution exp(-x / delta), a layer of width delta at x = 0.

    Returns:
        (exact, exact_gradient, source) of that solution, as those above.
    """
    return (lambda x, y: np.exp(-x / delta),
            lambda x, y: np.column_stack((-np.exp(-x / delta) / delta, np.zeros_like(x))),
            lambda x, y: -np.exp(-x / delta) / delta**2)


def solve(mesh, scheme="corrected", boundary="dirichlet", tol=1e-12,
          max_iterations=200, problem=(exact, exact_gradient, source)):
    """Solve the test problem on a mesh.

    Args:
        mesh: a malha.Mesh.
        scheme: "two-point" or "corrected".
        boundary: "dirichlet" (u given on every side) or "mixed" (u on
            x = 0 and x = dim_x, du/dn on y = 0 and y = dim_y).
        tol: stop when |change of u| / |u| <= tol, within max_iterations.
        problem: (exact, exact_gradient, source) of the solution solved for.
    Returns:
        (u, area, steps): value and area of each real volume, steps taken.
    Raises:
        ValueError: for an unknown scheme or boundary.
        RuntimeError: when the correction does not settle.
    """
    if boundary not in BOUNDARIES:
        raise ValueError(f"unknown boundary {boundary!r}")
    u_exact, gradient, f = problem
    n, bc = mesh.n_real_volumes, mesh.barycentres
    faces = mesh.faces()
    bnd = slice(faces.n_interior_faces, faces.n_faces)
    neumann = np.isin(faces.face_sides[bnd], NEUMANN_SIDES[boundary])
    # Where d meets the face: the middle of the two barycentres.
    x, y = ((bc[faces.face_owners[bnd]] + bc[faces.face_neighbours[bnd]]) / 2).T
    du_dn = np.einsum("ij,ij->i", gradient(x, y), faces.face_normals[bnd])
    data = np.where(neumann, du_dn, u_exact(x, y))
    area = faces.volume_areas[:n]
    b = f(bc[:n, 0], bc[:n, 1]) * area
    solver = diffusion_solver(mesh, faces, neumann, scheme=scheme, tol=tol,
                              max_iterations=max_iterations)
    u, steps = solver(b, data)
    return u, area, steps


def run(level, lengths, scheme, boundary="dirichlet", cells=None,
        pattern="crossed", grading=None, two_sided=False, delta=None):
    """Build a mesh and solve; return (record, mesh, u).

    The mesh is the level's, or with cells = (NX, NY) the lattice of NX x NY
    cells in pattern, graded by grading (options.build_lattice); the record
    then names them in place of a level. The solution is exact, or with
    delta the layer of that width. h is sqrt(mean area of a real volume);
    error is the area-weighted discrete L2 norm of u - exact at the
    barycentres.
    """
    if cells is None:
        mesh = malha.build(level, *lengths)
        shape = dict(level=level)
    else:
        mesh = options.build_lattice(cells, lengths, pattern, grading, two_sided)
        shape = dict(cells=list(cells), pattern=pattern)
        if grading is not None:
            shape.update(grading=list(grading), two_sided=bool(two_sided))
    problem = (exact, exact_gradient, source) if delta is None else layer(delta)
    u, area, steps = solve(mesh, scheme, boundary, problem=problem)
    x, y = mesh.barycentres[:mesh.n_real_volumes].T
    return dict(**shape, lengths=list(lengths), scheme=scheme, boundary=boundary,
                n_real_volumes=mesh.n_real_volumes,
                h=math.sqrt(area.mean()),
                error=math.sqrt(np.sum(area * (u - problem[0](x, y)) ** 2)),
                iterations=steps), mesh, u


def square_cells(lengths, m):
    """The cells of lengths that are square, m across the shorter side."""
    short = min(lengths)
    return tuple(round(m * length / short) for length in lengths)


def study(levels, as_json, boundary="dirichlet", sizes=None, pattern="crossed"):
    """Run each rectangle, scheme and level, print it; return the records.

    With sizes (exponents J), the square-celled lattices of m = 2^J cells
    across the shorter side instead of the levels; the order is then
    log2(error(m / 2) / error(m)), h halving from one size to the next.
    """
    records = []
    for lengths in STUDY_LENGTHS:
        for scheme in SCHEMES:
            if not as_json:
                print(f"\n{lengths[0]:g} x {lengths[1]:g}, {scheme}, "
                      f"{boundary}" + (f", {pattern} lattices" if sizes else "")
                      + "\n" + ("  cells    " if sizes else "level  ")
                      + "volumes          h      error  order")
            for step in (sizes if sizes else levels):
                if sizes:
                    cells = square_cells(lengths, 2**step)
                    rec = run(None, lengths, scheme, boundary, cells, pattern)[0]
                    # one size down, or for levels two levels down
                    back, label = 1, f"{cells[0]:4d}x{cells[1]:<4d}"
                else:
                    rec = run(step, lengths, scheme, boundary)[0]
                    back, label = 2, f"{step:5d}"
                records.append(rec)
                low = (records[-1 - back]["error"]
                       if step - back in (sizes if sizes else levels) else None)
                order = f"{math.log2(low / rec['error']):6.2f}" if low else ""
                print(json.dumps(rec) if as_json else
                      f"{label} {rec['n_real_volumes']:8d} "
                      f"{rec['h']:10.3e} {rec['error']:10.3e} {order}",
                      flush=True)
    return records


def draw(records, folder, boundary="dirichlet", lattices=False):
    """Draw poisson_convergence.png and poisson_solution.png into folder.

    With mixed boundary conditions: poisson_mixed_convergence.png and
    poisson_mixed_solution.png; from a study of lattices, poisson_lattice_...
    """
    prefix = "poisson" if boundary == "dirichlet" else f"poisson_{boundary}"
    prefix = prefix.replace("poisson", "poisson_lattice") if lattices else prefix
    import matplotlib.pyplot as plt  # only the study draws
    folder.mkdir(parents=True, exist_ok=True)
    fig, ax = plt.subplots(figsize=(6.4, 4.8), layout="constrained")
    for lengths, colour in zip(STUDY_LENGTHS, ("C0", "C1", "C2")):
        for scheme, style in zip(SCHEMES, ("o--", "s-")):
            rows = [(r["h"], r["error"]) for r in records if r["scheme"] ==
                    scheme and tuple(r["lengths"]) == lengths]
            ax.loglog(*zip(*rows), style, color=colour, ms=4, mfc="none",
                      label=f"{lengths[0]:g} x {lengths[1]:g}, {scheme}")
    h = np.array(sorted({r["h"] for r in records}))
    guide = 0.5 * min(r["error"] / r["h"] ** 2 for r in records)
    ax.loglog(h, guide * h**2, "k:", label="slope 2")
    ax.set(xlabel="h = sqrt(area / real volumes)", ylabel="L2 error")
    ax.legend(fontsize=8)
    fig.savefig(folder / f"{prefix}_convergence.png")

    _, mesh, u = run(10, (2.0, 1.0), "corrected", boundary)
    fig, ax = plt.subplots(figsize=(7.2, 3.6), layout="constrained")
    x, y = mesh.node_coords.T
    shade = ax.tripcolor(x, y, mesh.triangles[:u.size], facecolors=u)
    fig.colorbar(shade, ax=ax, label="u", shrink=0.9)
    ax.set(aspect="equal", xlabel="x", ylabel="y",
           title=f"Corrected scheme, level 10, 2 x 1: {u.size} real volumes"
           + ("" if boundary == "dirichlet" else f", {boundary} conditions"))
    fig.savefig(folder / f"{prefix}_solution.png")
    plt.close("all")


def main():
    """Parse the command line, then run one solve or the study."""
    p = options.Parser(description=__doc__.split("\n")[0])
    options.add_mesh_options(p, level=10)
    p.add_argument("--boundary", choices=BOUNDARIES, default="dirichlet",
                   help="u on every side, or mixed: u on x = 0 and x = dim_x, "
                   "du/dn on y = 0 and y = dim_y")
    p.add_argument("--grid", metavar="FILE.vtu", help="write u and its error to this grid")
    p.add_argument("--layer", type=float, metavar="DELTA",
                   help="solve for exp(-x / DELTA), a boundary layer at x = 0, instead")
    p.add_argument("--study", action="store_true",
                   help="convergence study of every rectangle and scheme")
    p.add_argument("--json", action="store_const", const=True, help="study: JSON lines")
    p.add_argument("--levels", type=int, nargs=2, metavar=("L0", "L1"),
                   help="study: levels L0 to L1 (default 4 14)")
    p.add_argument("--lattices", action="store_const", const=True,
                   help="study: square-celled lattices instead of levels")
    p.add_argument("--sizes", type=int, nargs=2, metavar=("J0", "J1"),
                   help="study --lattices: m = 2^J0 to 2^J1 cells across the shorter side "
                   "(default 2 7)")
    p.add_argument("--pictures", type=Path, metavar="DIR",
                   help="study: draw its two pictures into DIR (docs renews this page's)")
    args = p.parse_args()
    if args.study:
        p.refuse(args, ["--level", "--cells", "--lengths", "--scheme", "--grid", "--grading",
                        "--two-sided", "--layer"],
                 "not with --study, which runs every rectangle and scheme")
        p.refuse(args, ["--levels"] if args.lattices else ["--sizes", "--pattern"],
                 "not with --study " + ("--lattices" if args.lattices else "of levels"))
        options.mesh_defaults(p, args, lattices=True)
        first, last = args.levels or (4, 14)
        levels = range(first, last + 1)
        sizes = range(args.sizes[0], args.sizes[1] + 1) if args.sizes else range(2, 8)
        records = study(levels, args.json, args.boundary, sizes if args.lattices else None,
                        args.pattern)
        if args.pictures is not None:
            draw(records, args.pictures, args.boundary, args.lattices)
        return
    p.refuse(args, ["--json", "--levels", "--lattices", "--sizes", "--pictures"],
             "only with --study")
    options.mesh_defaults(p, args)
    if args.layer is not None and not args.layer > 0:
        p.error(f"--layer: {args.layer:g} is not a width above 0")
    rec, mesh, u = run(args.level, args.lengths, args.scheme, args.boundary, args.cells,
                       args.pattern, args.grading, args.two_sided, args.layer)
    if args.grid is not None:
        x, y = mesh.barycentres[:mesh.n_real_volumes].T
        solution = exact if args.layer is None else layer(args.layer)[0]
        mesh.write_vtu(args.grid, {"u": u, "error": u - solution(x, y)})
    solved = "" if args.layer is None else f"layer {args.layer:g}, "
    print(f"{options.describe(args)}, {solved}lengths {args.lengths[0]:g} x {args.lengths[1]:g}, "
          f"scheme {args.scheme}, boundary {args.boundary}, "
          f"n_real_volumes {rec['n_real_volumes']}, iterations {rec['iterations']}, "
          f"h {rec['h']!r}, error {rec['error']!r}")


if __name__ == "__main__":
    main()
