"""The faces of a mesh for a cell-centred solver: ``malha.Faces``."""

from __future__ import annotations

import functools
import typing
import warnings

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


def _deprecated_alias(old: str, new: str) -> property:
    """The old name of an attribute: warns, then gives the attribute ``new``."""
    def alias(self: Faces) -> typing.Any:
        warnings.warn(f"Faces.{old} is deprecated: use Faces.{new}", DeprecationWarning,
                      stacklevel=2)
        return getattr(self, new)
    return property(alias, doc=f"Deprecated alias of ``{new}``, kept for one release.")


# The names of the first releases, kept as deprecated aliases for one release:
# old name -> the C++ name that every attribute now has.
_DEPRECATED_NAMES = {
    "owner": "face_owners", "neighbour": "face_neighbours", "nodes": "face_nodes",
    "normal": "face_normals", "length": "face_lengths", "side": "face_sides",
    "midpoint": "face_midpoints", "delta": "face_deltas",
    "normal_distance": "normal_distances",
}


class Faces:
    """The faces of a mesh: what a cell-centred solver computes before its first flux.

    Made by ``Mesh.faces()``, never directly. A face is an edge that a real
    volume shares with another volume: a real one (an interior face) or a
    fictitious one (a boundary face); an edge between two fictitious
    volumes is not a face. Every index is 0-based: volumes are rows of the
    mesh's tables (``face_owners < n_real_volumes``; a ``face_neighbours``
    entry from ``n_real_volumes`` on is fictitious), nodes are rows of
    ``node_coords``, faces are rows of the face arrays. The attributes have
    the names of the C++ tables (``malha/faces/faces.h``, where the
    numbering, the order, the normals' direction and the sides are stated);
    the names of the first releases (``owner``, ``neighbour``, ``nodes``,
    ``normal``, ``length``, ``side``, ``midpoint``, ``delta``,
    ``normal_distance`` and the method ``gradients``) remain for one release
    as deprecated aliases.

    Order and geometry:
        0-based forms of the C++ rules: interior faces first
        (``0`` to ``n_interior_faces - 1``), then boundary face ``j``
        (face ``n_interior_faces + j``) against fictitious volume
        ``n_real_volumes + j``; each side of the rectangle is one contiguous
        run of faces (``on_side``). Edge ``k`` (0, 1, 2) of a volume joins
        its nodes ``k`` and ``k + 1`` of ``triangles``. Sides: 0 for an
        interior face, 1 "bottom", 2 "right", 3 "top", 4 "left".

    Boundary conditions:
        The value a ghost volume takes for a Dirichlet or a Neumann
        condition is stated once, in ``malha/faces/faces.h``.

    Arrays:
        Every array is a numpy view of the compiled tables (no copy), read
        only; the geometry's four (``face_midpoints``, ``face_deltas``,
        ``normal_distances``, ``non_orthogonality``) are computed at the
        first use of any of them and kept, the others made by
        ``Mesh.faces()``: ``setflags(write=True)`` raises ``ValueError``. Every
        array keeps its storage alive as long as it lives, and a ``Faces``
        keeps the mesh's tables that it reads alive, also after its ``Mesh``
        is gone.

    Example:
        >>> faces = malha.build(4, 2.0, 1.0).faces()
        >>> faces.n_faces, faces.n_interior_faces, faces.n_boundary_faces
        (28, 20, 8)
        >>> bottom = faces.on_side("bottom")  # or on_side(1)
        >>> bottom
        range(20, 22)
        >>> faces.face_owners[bottom], faces.face_normals[bottom[0]], faces.face_lengths[bottom[0]]
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
    face_owners = _faces_field(
        "face_owners",
        "numpy.ndarray: (n_faces,) int32, read only: the owner of each face, a real volume.")
    face_neighbours = _faces_field(
        "face_neighbours",
        "numpy.ndarray: (n_faces,) int32, read only: the other volume of each face, "
        "fictitious (from n_real_volumes on) at a boundary face.")
    face_nodes = _faces_field(
        "face_nodes",
        "numpy.ndarray: (n_faces, 2) int32, read only: the face's two nodes, rows of "
        "node_coords, in the owner's order.")
    face_normals = _faces_field(
        "face_normals",
        "numpy.ndarray: (n_faces, 2) float64, read only: the unit normal, x and y, "
        "from the owner to the neighbour.")
    face_lengths = _faces_field(
        "face_lengths", "numpy.ndarray: (n_faces,) float64, read only: the face's length.")
    face_sides = _faces_field(
        "face_sides",
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

    face_midpoints = _kept_faces_field(
        "face_midpoints",
        "numpy.ndarray: (n_faces, 2) float64, read only: the middle of each face.")
    face_deltas = _kept_faces_field(
        "face_deltas",
        "numpy.ndarray: (n_faces, 2) float64, read only: the neighbour's barycentre less "
        "the owner's.")
    normal_distances = _kept_faces_field(
        "normal_distances",
        "numpy.ndarray: (n_faces,) float64, read only: ``face_deltas`` . ``face_normals``, "
        "the distance between the two barycentres across the face, positive on a mesh.")
    non_orthogonality = _kept_faces_field(
        "non_orthogonality",
        "numpy.ndarray: (n_faces,) float64, read only: degrees between ``face_deltas`` and "
        "``face_normals``; 0 where the segment between the barycentres crosses the face at a "
        "right angle, where the two-point flux is exact for a linear solution.")

    def cell_gradients(self, values: npt.ArrayLike) -> npt.NDArray[np.float64]:
        """The least-squares gradient of a cell field in every real volume.

        ``malha::cell_gradients`` (``malha/faces/cell_gradients.h`` states
        the fit); the ghosts' values are the caller's boundary conditions.
        The weights are computed at the first call and kept, so that every
        later call is one pass over the volumes, without the interpreter
        lock.

        Args:
            values: ``(n_volumes,)`` real numbers: the real volumes' values,
                then one for each fictitious volume.

        Returns:
            A new ``(n_real_volumes, 2)`` float64 array in row order, x and y
            of each real volume's gradient; its columns are views.

        Raises:
            TypeError: When ``values`` does not hold real numbers.
            ArgumentError: When ``values`` is not one-dimensional with
                ``n_volumes`` entries, or holds a NaN or an infinity: such a
                value would spread into the gradients of its volume and its
                neighbours unseen, so it is refused where it enters.
        """
        array = np.asarray(values)
        if array.dtype.kind not in "biuf":
            raise TypeError(f"values must hold real numbers, not {array.dtype}")
        if array.ndim != 1:
            raise errors.refused("cell_gradients",
                                 f"values has {array.ndim} dimensions: give one value per volume")
        array = np.ascontiguousarray(array, dtype=np.float64)
        if not np.isfinite(array).all():
            first = int(np.flatnonzero(~np.isfinite(array))[0])
            raise errors.refused("cell_gradients",
                                 f"values[{first}] is {array[first]!r}: values must be finite")
        return _malha.cell_gradients(self._gradient_weights, array)

    def gradients(self, values: npt.ArrayLike) -> npt.NDArray[np.float64]:
        """Deprecated alias of ``cell_gradients``, kept for one release."""
        warnings.warn("Faces.gradients is deprecated: use Faces.cell_gradients",
                      DeprecationWarning, stacklevel=2)
        return self.cell_gradients(values)

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
            ArgumentError: When ``side`` is not 1 to 4 nor one of the four names.
        """
        if isinstance(side, (bool, np.bool_)):
            raise TypeError("side must be an integer 1 to 4 or a name, not bool")
        number = _SIDES.get(side) if isinstance(side, str) else errors.integer("side", side)
        if number is None or not 1 <= number <= 4:
            raise errors.refused("on_side",
                                 f"side must be 1 to 4 or one of {', '.join(_SIDES)}: {side!r}")
        boundary_sides = self.face_sides[self.n_interior_faces:]
        start, stop = np.searchsorted(boundary_sides, (number, number + 1))
        return range(self.n_interior_faces + int(start), self.n_interior_faces + int(stop))

    def __repr__(self) -> str:
        return (f"malha.Faces(n_faces={self.n_faces}, n_interior_faces={self.n_interior_faces}, "
                f"n_boundary_faces={self.n_boundary_faces})")


for _old, _new in _DEPRECATED_NAMES.items():
    setattr(Faces, _old, _deprecated_alias(_old, _new))
del _old, _new
