"""The diffusion operator of the examples on a malha mesh, by cell-centred finite volumes.

diffusion_solver factorises the balance of the real volumes once and returns
a solver for any right-hand side and boundary data: -Laplace(u) = f
(poisson.py) or one implicit time step of u_t = Laplace(u) + f (heat.py). A
ghost volume carries the value its boundary condition gives, by the rule of
malha/faces/faces.h (Dirichlet and Neumann ghost values).
"""
import numpy as np
import scipy.sparse as sp
import scipy.sparse.linalg as spla

SCHEMES = ("two-point", "corrected")


def diffusion_solver(mesh, faces, neumann, diagonal=0.0, scheme="corrected",
                     tol=1e-12, max_iterations=200):
    """Factorise the real volumes' diffusion balance once; return a solver.

    The balance of real volume i is

        diagonal_i u_i - (sum over i's faces of the flux of grad u) = b_i,

    so diagonal = 0 and b_i = f_i area_i solve -Laplace(u) = f, and
    diagonal = area / dt with b = area / dt * u_old + f area is one implicit
    time step of u_t = Laplace(u) + f. The flux through face e from i to its
    neighbour j is the two-point flux |e| (u_j - u_i) / (d . n), d from i's
    barycentre to j's and n the unit normal from i to j, plus for scheme
    "corrected" |e| (n - d / (d . n)) . grad_e, grad_e the mean of the two
    volumes' least-squares gradients (faces.cell_gradients; a ghost takes its
    volume's). That
    correction is solved for by deferred correction on the two-point
    matrix, factorised here, until u changes by at most tol relative.

    The ghost of boundary face k (face faces.n_interior_faces + k, volume
    n_real_volumes + k) takes its value by the rule of malha/faces/faces.h,
    data_k being the Dirichlet value where neumann[k] is False and the
    outward derivative where it is True.

    Args:
        mesh: a malha.Mesh.
        faces: mesh.faces().
        neumann: (n_boundary_faces,) bool, True at a Neumann boundary face.
        diagonal: a number or one per real volume, added to the matrix's
            diagonal; with no Dirichlet face it must make the matrix
            regular.
        scheme: "two-point" or "corrected".
        tol: the relative change of u that ends the correction.
        max_iterations: the corrections allowed.
    Returns:
        solve(b, data) -> (u, steps): b one number per real volume, data one
        per boundary face; u the real volumes' values, steps the
        corrections taken (0 for "two-point").
    Raises:
        ValueError: for an unknown scheme (solve: RuntimeError when the
            correction does not settle within max_iterations).
    """
    if scheme not in SCHEMES:
        raise ValueError(f"unknown scheme {scheme!r}")
    n, first = mesh.n_real_volumes, faces.n_interior_faces
    bnd = slice(first, faces.n_faces)
    own_b, dn_b = faces.face_owners[bnd], faces.normal_distances[bnd]
    slope = np.where(neumann, 1.0, -1.0)  # ghost = slope u_i + offset
    # Every real volume's three faces as seen from it, by volume, then by
    # neighbour: an interior face once from its owner and once, reversed,
    # from its neighbour (d and n change sign, d . n does not).
    vol = np.concatenate((faces.face_owners, faces.face_neighbours[:first]))
    oth = np.concatenate((faces.face_neighbours, faces.face_owners[:first]))
    order = np.lexsort((oth, vol))
    vol, oth = vol[order], oth[order]
    sign = np.where(order < faces.n_faces, 1.0, -1.0)[:, None]
    face = np.where(order < faces.n_faces, order, order - faces.n_faces)
    d, normal = sign * faces.face_deltas[face], sign * faces.face_normals[face]
    length, dn = faces.face_lengths[face], faces.normal_distances[face]
    ghost = oth >= n

    # Two-point: t (u_j - u_i), t = |e| / (d . n); at a ghost
    # t ((slope - 1) u_i + offset).
    t = length / dn
    on_u = np.ones_like(t)  # minus the factor of u_i in u_j - u_i
    on_u[ghost] = 1 - slope[oth[ghost] - n]
    matrix = sp.diags(np.bincount(vol, on_u * t, n) + diagonal) - \
        sp.csr_matrix((t[~ghost], (vol[~ghost], oth[~ghost])), shape=(n, n))
    lu = spla.splu(matrix.tocsc())
    if scheme == "corrected":
        skew = length[:, None] * (normal - d / dn[:, None])

    def solve(b, data):
        offset = np.where(neumann, dn_b * data, 2 * data)
        rhs = b + np.bincount(own_b, faces.face_lengths[bnd] / dn_b * offset, n)
        u = lu.solve(rhs)
        if scheme == "two-point":
            return u, 0
        grad = np.zeros((mesh.n_volumes, 2))  # every volume, ghosts included
        for step in range(1, max_iterations + 1):
            grad[:n] = faces.cell_gradients(np.concatenate((u, slope * u[own_b] + offset)))
            grad[n:] = grad[own_b]  # a ghost takes its volume's
            flux = np.einsum("ij,ij->i", skew, (grad[vol] + grad[oth]) / 2)
            u_next = lu.solve(rhs + np.bincount(vol, flux, n))
            change = np.linalg.norm(u_next - u)
            settled = change <= tol * np.linalg.norm(u_next)
            u = u_next
            if settled:
                return u, step
        raise RuntimeError(f"no convergence in {max_iterations} steps")
    return solve
