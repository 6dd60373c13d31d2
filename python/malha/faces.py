"""The faces of a mesh for a cell-centred solver: ``malha.Faces``."""

from __future__ import annotations

import functools

import numpy as np
import numpy.typing as npt

from . import _malha, errors


_SIDES = {"bottom": 1, "right": 2, "top": 3, "left": 4}


def _faces_field(name: str, doc: str) -> property:
    """A read-only attribute of the compiled faces, with its documentation."""
    return property(lambda self: getattr(self._faces, name), doc=doc)


def _kept_faces_field(name: str, doc: str) -> functools.cached_property:
    """A view of the faces' geometry, taken once and kept, with its documentation."""
    def view(self: Faces) -> np.ndarray:
        return getattr(self._geometry, name)
    view.__doc__ = doc
    return functools.cached_property(view)


class Faces:
    """The faces of a mesh: what a cell-centred solver computes before its first flux.

    Made by ``Mesh.faces()``, never directly. A face is an edge that a real
    volume shares with another volume: a real one (an interior face) or a
    fictitious one (a boundary face); an edge between two fictitious
    volumes is not a face. Every index is 0-based: volumes are rows of the
    mesh's tables (``owner < n_real_volumes``; a ``neighbour`` from
    ``n_real_volumes`` on is fictitious), nodes are rows of
    ``node_coords``, faces are rows of the face arrays.

    Order:
        Interior faces come first (``0`` to ``n_interior_faces - 1``),
        by owner, then by the owner's edge; the boundary faces follow,
        boundary face ``j`` (face ``n_interior_faces + j``) against
        fictitious volume ``n_real_volumes + j``. Each side of the
        rectangle is one contiguous run of faces: ``on_side``.

    Geometry:
        Edge ``k`` (0, 1, 2) of a volume joins its nodes ``k`` and
        ``k + 1`` (the third joins the last node to the first) as
        ``triangles`` lists them. The owner is the lower-numbered volume of
        an interior face and the real one of a boundary face; a face's two
        nodes are the owner's edge in the owner's order; its unit normal
        points from the owner's side to the neighbour's (outward at the
        boundary), for either sign of the rectangle's lengths. Sides: 0 for
        an interior face, 1 on y = 0 ("bottom"), 2 on x = dim_x ("right"),
        3 on y = dim_y ("top"), 4 on x = 0 ("left").

    Boundary conditions:
        Dirichlet value g: ghost value 2 g - u_owner, g at the barycentres' midpoint, on the face.
        Neumann value g_n (outward derivative): ghost value u_owner + normal_distance * g_n,
        so that the two-point flux length * (u_ghost - u_owner) / normal_distance is length * g_n.

    Arrays:
        ``owner``, ``neighbour``, ``nodes``, ``normal``, ``length``,
        ``side``, ``volume_areas``, ``volume_faces``, ``midpoint``,
        ``delta``, ``normal_distance`` and ``non_orthogonality`` are numpy
        views of the compiled tables (no copy), the first eight made by
        ``Mesh.faces()``, the last four (the geometry) computed at the
        first use of any of them and kept, read only:
        ``setflags(write=True)`` raises ``ValueError``. Every array keeps
        its storage alive as long as it lives, and a ``Faces`` keeps the
        mesh's tables that it reads alive, also after its ``Mesh`` is gone.

    Example:
        >>> faces = malha.build(4, 2.0, 1.0).faces()
        >>> faces.n_faces, faces.n_interior_faces, faces.n_boundary_faces
        (28, 20, 8)
        >>> bottom = faces.on_side("bottom")  # or on_side(1)
        >>> bottom
        range(20, 22)
        >>> faces.owner[bottom], faces.normal[bottom[0]], faces.length[bottom[0]]
        (array([0, 4], dtype=int32), array([ 0., -1.]), 1.0)
    """

    def __init__(self, mesh: _malha.Mesh, faces: _malha.Faces) -> None:
        """Wraps the compiled faces of a compiled mesh; not for callers."""
        if not (isinstance(mesh, _malha.Mesh) and isinstance(faces, _malha.Faces)):
            raise TypeError("a Faces is made by Mesh.faces()")
        self._mesh = mesh
        self._faces = faces

    n_faces = _faces_field("n_faces", "int: All faces, n_interior_faces + n_boundary_faces.")
    n_interior_faces = _faces_field(
        "n_interior_faces",
        "int: Faces between two real volumes, (3 n_real_volumes - n_fict_volumes) / 2.")
    n_boundary_faces = _faces_field(
        "n_boundary_faces", "int: Faces between a real and a fictitious volume, n_fict_volumes.")
    owner = _faces_field(
        "owner",
        "numpy.ndarray: (n_faces,) int32, read only: the owner of each face, a real volume.")
    neighbour = _faces_field(
        "neighbour",
        "numpy.ndarray: (n_faces,) int32, read only: the other volume of each face, "
        "fictitious (from n_real_volumes on) at a boundary face.")
    nodes = _faces_field(
        "nodes",
        "numpy.ndarray: (n_faces, 2) int32, read only: the face's two nodes, rows of "
        "node_coords, in the owner's order.")
    normal = _faces_field(
        "normal",
        "numpy.ndarray: (n_faces, 2) float64, read only: the unit normal, x and y, "
        "from the owner to the neighbour.")
    length = _faces_field(
        "length", "numpy.ndarray: (n_faces,) float64, read only: the face's length.")
    side = _faces_field(
        "side",
        "numpy.ndarray: (n_faces,) int8, read only: 0 for an interior face, 1 to 4 for "
        "the side (bottom, right, top, left) of a boundary face.")
    volume_areas = _faces_field(
        "volume_areas",
        "numpy.ndarray: (n_volumes,) float64, read only: the area of every volume, "
        "positive; a fictitious volume's is that of its mirror image, its owner.")
    volume_faces = _faces_field(
        "volume_faces",
        "numpy.ndarray: (n_real_volumes, 3) int32, read only: the faces of each real "
        "volume, across its edges 0, 1 and 2.")

    midpoint = _kept_faces_field(
        "midpoint", "numpy.ndarray: (n_faces, 2) float64, read only: the middle of each face.")
    delta = _kept_faces_field(
        "delta",
        "numpy.ndarray: (n_faces, 2) float64, read only: the neighbour's barycentre less "
        "the owner's.")
    normal_distance = _kept_faces_field(
        "normal_distance",
        "numpy.ndarray: (n_faces,) float64, read only: ``delta`` . ``normal``, the distance "
        "between the two barycentres across the face, positive on a mesh: the denominator "
        "of the two-point flux ``length * (u[neighbour] - u[owner]) / normal_distance``.")
    non_orthogonality = _kept_faces_field(
        "non_orthogonality",
        "numpy.ndarray: (n_faces,) float64, read only: degrees between ``delta`` and "
        "``normal``; 0 where the segment between the barycentres crosses the face at a right "
        "angle, where the two-point flux is exact for a linear solution.")

    def gradients(self, values: npt.ArrayLike) -> npt.NDArray[np.float64]:
        """The least-squares gradient of a cell field in every real volume.

        For real volume ``i`` the vector ``g`` that best fits
        ``g . d ~ values[j] - values[i]`` over its three neighbours ``j``
        across its faces, ``d`` from ``i``'s barycentre to ``j``'s; exact for
        a linear field. A fictitious volume's barycentre is the mirror image
        of its volume's; its value is the one the caller's boundary
        condition gives it. The weights are computed at the first call and
        kept, so that every later call is one pass over the volumes, without
        the interpreter lock.

        Args:
            values: ``(n_volumes,)`` real numbers: the real volumes' values,
                then one for each fictitious volume.

        Returns:
            A new ``(n_real_volumes, 2)`` float64 array in row order, x and y
            of each real volume's gradient; its columns are views.

        Raises:
            TypeError: When ``values`` does not hold real numbers.
            ValueError: When ``values`` is not one-dimensional with
                ``n_volumes`` entries, or holds a NaN or an infinity: such a
                value would spread into the gradients of its volume and its
                neighbours unseen, so it is refused where it enters.
        """
        array = np.asarray(values)
        if array.dtype.kind not in "biuf":
            raise TypeError(f"values must hold real numbers, not {array.dtype}")
        if array.ndim != 1:
            raise ValueError(f"values has {array.ndim} dimensions: give one value per volume")
        array = np.ascontiguousarray(array, dtype=np.float64)
        if not np.isfinite(array).all():
            first = int(np.flatnonzero(~np.isfinite(array))[0])
            raise ValueError(f"values[{first}] is {array[first]!r}: values must be finite")
        return errors.value_error_on_refusal(_malha.cell_gradients, self._gradient_weights, array)

    @functools.cached_property
    def _geometry(self) -> _malha.FaceGeometry:
        # Computed at the first use of a geometric table, without the
        # interpreter lock, and released with this object.
        return _malha.face_geometry(self._mesh, self._faces)

    @functools.cached_property
    def _gradient_weights(self) -> _malha.GradientWeights:
        return _malha.gradient_weights(self._mesh, self._faces)

    def on_side(self, side: int | str) -> range:
        """The indices of the boundary faces on one side of the rectangle.

        Args:
            side: 1 or "bottom" (y = 0), 2 or "right" (x = dim_x), 3 or
                "top" (y = dim_y), 4 or "left" (x = 0).

        Returns:
            A ``range`` of face indices, contiguous, in the order of the
            side's fictitious volumes (anticlockwise round the rectangle);
            it indexes every face array.

        Raises:
            TypeError: When ``side`` is neither an integer nor a string.
            ValueError: When ``side`` is not 1 to 4 nor one of the four names.
        """
        if isinstance(side, str):
            if side not in _SIDES:
                raise ValueError(f"side must be 1 to 4 or one of {', '.join(_SIDES)}: {side!r}")
            number = _SIDES[side]
        elif isinstance(side, (bool, np.bool_)):
            raise TypeError("side must be an integer 1 to 4 or a name, not bool")
        else:
            number = errors.integer("side", side)
            if not 1 <= number <= 4:
                raise ValueError(f"side must be 1 to 4 or one of {', '.join(_SIDES)}: {side!r}")
        boundary_sides = self.side[self.n_interior_faces:]
        start, stop = np.searchsorted(boundary_sides, (number, number + 1))
        return range(self.n_interior_faces + int(start), self.n_interior_faces + int(stop))

    def __repr__(self) -> str:
        return (f"malha.Faces(n_faces={self.n_faces}, n_interior_faces={self.n_interior_faces}, "
                f"n_boundary_faces={self.n_boundary_faces})")
