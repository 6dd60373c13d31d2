#!/usr/bin/python3
"""Solve -Laplace(u) = f on a malha mesh by cell-centred finite volumes.

One unknown per real volume, u = g on the boundary. A ghost volume, the
mirror image of its real neighbour i across a boundary edge, carries 2 g - u_i.
The flux is the two-point difference between the barycentres, plus (scheme
"corrected") a least-squares gradient correction. --study runs them all and
draws two pictures into the current folder (--pictures DIR: into DIR).
"""
import argparse
import json
import math
from pathlib import Path

import numpy as np
import scipy.sparse as sp
import scipy.sparse.linalg as spla

import malha

SCHEMES = ("two-point", "corrected")
STUDY_LENGTHS = ((1.0, 1.0), (2.0, 1.0), (1.0, 3.0))


def exact(x, y):
    """Return the manufactured solution x^2 y + sin(pi x) sinh(pi y) / 10."""
    return x**2 * y + np.sin(np.pi * x) * np.sinh(np.pi * y) / 10


def faces(mesh):
    """Return arrays over the real volumes' edges, one per neighbour.

    own, oth: 0-based numbers of the volume and its neighbour; ghost: oth is
    fictitious; length; normal: unit, own to oth; d: own's barycentre to
    oth's; dn: d . normal; g: exact at the middle of d, on a ghost's edge.
    """
    n, tri, bc = mesh.n_real_volumes, mesh.triangles, mesh.barycentres
    own, column = np.nonzero(mesh.neighbours[:n] >= 0)
    oth = mesh.neighbours[own, column]
    # The edge is the two nodes of own that oth has too.
    shared = (tri[own][:, :, None] == tri[oth][:, None, :]).any(axis=2)
    ends = mesh.node_coords[tri[own][shared].reshape(-1, 2)]
    tangent = ends[:, 1] - ends[:, 0]
    length = np.hypot(*tangent.T)
    normal = np.column_stack((tangent[:, 1], -tangent[:, 0])) / length[:, None]
    d = bc[oth] - bc[own]
    dn = np.einsum("ij,ij->i", d, normal)
    return dict(own=own, oth=oth, ghost=oth >= n, length=length, d=d,
                normal=normal * np.sign(dn)[:, None], dn=np.abs(dn),
                g=exact(*((bc[own] + bc[oth]) / 2).T))


def solve(mesh, scheme="corrected", tol=1e-12, max_iterations=200):
    """Solve the test problem on a mesh.

    Args:
        mesh: a malha.Mesh.
        scheme: "two-point" or "corrected".
        tol: stop when |change of u| / |u| < tol, within max_iterations.
    Returns:
        (u, area, steps): value and area of each real volume, steps taken.
    Raises:
        ValueError: for an unknown scheme.
        RuntimeError: when the correction does not settle.
    """
    if scheme not in SCHEMES:
        raise ValueError(f"unknown scheme {scheme!r}")
    n = mesh.n_real_volumes
    f = faces(mesh)
    own, oth, ghost, g, d = f["own"], f["oth"], f["ghost"], f["g"], f["d"]
    corner = mesh.node_coords[mesh.triangles[:n]]
    e1, e2 = corner[:, 1] - corner[:, 0], corner[:, 2] - corner[:, 0]
    area = np.abs(e1[:, 0] * e2[:, 1] - e1[:, 1] * e2[:, 0]) / 2

    # Two-point flux |e| (u_j - u_i) / (d . n); a ghost's u_j = 2 g - u_i
    # makes it 2 |e| (g - u_i) / (d . n).
    t = f["length"] / f["dn"]
    inner = ~ghost
    matrix = sp.diags(np.bincount(own, np.where(ghost, 2 * t, t), n)) - \
        sp.csr_matrix((t[inner], (own[inner], oth[inner])), shape=(n, n))
    lu = spla.splu(matrix.tocsc())  # factorised once, for every step
    b = -2 * mesh.barycentres[:n, 1] * area  # f = -Laplace(exact) = -2 y
    b += np.bincount(own[ghost], 2 * t[ghost] * g[ghost], n)
    u = lu.solve(b)
    if scheme == "two-point":
        return u, area, 0

    # Cell gradients by least squares: (sum d d^T) grad = sum d (u_j - u_i).
    mxx, mxy, myy = (np.bincount(own, d[:, i] * d[:, j], n)
                     for i, j in ((0, 0), (0, 1), (1, 1)))
    det = mxx * myy - mxy**2
    skew = f["length"][:, None] * (f["normal"] - d / f["dn"][:, None])
    grad = np.zeros((mesh.n_volumes, 2))  # every volume, ghosts included
    for step in range(1, max_iterations + 1):
        value = np.concatenate((u, np.zeros(mesh.n_fict_volumes)))
        value[oth[ghost]] = 2 * g[ghost] - u[own[ghost]]  # mirror values
        du = value[oth] - u[own]
        rx, ry = (np.bincount(own, d[:, k] * du, n) for k in (0, 1))
        grad[:n, 0] = (myy * rx - mxy * ry) / det
        grad[:n, 1] = (mxx * ry - mxy * rx) / det
        grad[oth[ghost]] = grad[own[ghost]]  # a ghost takes its volume's
        face_grad = (grad[own] + grad[oth]) / 2
        flux = np.einsum("ij,ij->i", skew, face_grad)
        u_next = lu.solve(b + np.bincount(own, flux, n))
        change = np.linalg.norm(u_next - u) / np.linalg.norm(u_next)
        u = u_next
        if change < tol:
            return u, area, step
    raise RuntimeError(f"no convergence in {max_iterations} steps")


def run(level, lengths, scheme):
    """Build a mesh and solve; return (record, mesh, u).

    h is sqrt(mean area of a real volume); error is the area-weighted
    discrete L2 norm of u - exact at the barycentres.
    """
    mesh = malha.build(level, *lengths)
    u, area, steps = solve(mesh, scheme)
    x, y = mesh.barycentres[:mesh.n_real_volumes].T
    return dict(lengths=list(lengths), scheme=scheme, level=level,
                n_real_volumes=mesh.n_real_volumes,
                h=math.sqrt(area.mean()),
                error=math.sqrt(np.sum(area * (u - exact(x, y)) ** 2)),
                iterations=steps), mesh, u


def study(levels, as_json):
    """Run each rectangle, scheme and level, print it; return the records."""
    records = []
    for lengths in STUDY_LENGTHS:
        for scheme in SCHEMES:
            if not as_json:
                print(f"\n{lengths[0]:g} x {lengths[1]:g}, {scheme}\n"
                      "level  volumes          h      error  order")
            for level in levels:
                rec = run(level, lengths, scheme)[0]
                records.append(rec)
                # records[-3]: the same rectangle and scheme, two levels down
                low = records[-3]["error"] if level - 2 in levels else None
                order = f"{math.log2(low / rec['error']):6.2f}" if low else ""
                print(json.dumps(rec) if as_json else
                      f"{level:5d} {rec['n_real_volumes']:8d} "
                      f"{rec['h']:10.3e} {rec['error']:10.3e} {order}",
                      flush=True)
    return records


def draw(records, folder):
    """Draw poisson_convergence.png and poisson_solution.png into folder."""
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
    fig.savefig(folder / "poisson_convergence.png")

    _, mesh, u = run(10, (2.0, 1.0), "corrected")
    fig, ax = plt.subplots(figsize=(7.2, 3.6), layout="constrained")
    x, y = mesh.node_coords.T
    shade = ax.tripcolor(x, y, mesh.triangles[:u.size], facecolors=u)
    fig.colorbar(shade, ax=ax, label="u", shrink=0.9)
    ax.set(aspect="equal", xlabel="x", ylabel="y",
           title=f"Corrected scheme, level 10, 2 x 1: {u.size} real volumes")
    fig.savefig(folder / "poisson_solution.png")
    plt.close("all")


def main():
    """Parse the command line, then run one solve or the study."""
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("--scheme", choices=SCHEMES, default="corrected")
    p.add_argument("--level", type=int, default=10)
    p.add_argument("--lengths", type=float, nargs=2, default=(2.0, 1.0))
    p.add_argument("--study", action="store_true", help="convergence study")
    p.add_argument("--json", action="store_true", help="study: JSON lines")
    p.add_argument("--levels", type=int, nargs=2, default=(4, 14))
    p.add_argument("--pictures", type=Path, default=Path("."),
                   help="study: folder of the pictures (default: the current one)")
    args = p.parse_args()
    if args.study:
        levels = range(args.levels[0], args.levels[1] + 1)
        draw(study(levels, args.json), args.pictures)
    else:
        rec = run(args.level, tuple(args.lengths), args.scheme)[0]
        print(", ".join(f"{k} {v}" for k, v in rec.items()))


if __name__ == "__main__":
    main()
