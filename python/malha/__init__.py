"""Structured triangular meshes of a rectangle, with ghost volumes, as numpy arrays.

``malha`` builds the mesh of the rectangle [0, dim_x] x [0, dim_y] in
2**level triangular volumes for a cell-centred finite-volume solver, adds one
fictitious (ghost) volume outside each boundary edge, and finds every
volume's neighbours and barycentre: the mesh that the program ``malha``
builds and writes as eleven text files, here in the interpreter's own
process.

Example:
    >>> import malha
    >>> mesh = malha.build(5, 2.0, 1.0)
    >>> mesh.n_real_volumes, mesh.n_fict_volumes
    (32, 16)
    >>> mesh.triangles.shape          # 0-based node indices, anticlockwise
    (48, 3)
    >>> mesh.write("out")             # the program's eleven files  # doctest: +SKIP
    >>> malha.read("out").n_volumes   # doctest: +SKIP
    48
    >>> mesh.to_meshio().write("malha.vtu")  # needs meshio  # doctest: +SKIP
    >>> mesh.write_vtu("u.vtu", {"u": u})  # u: one value per real volume  # doctest: +SKIP

Numbering:
    The arrays ``node_coords``, ``volume_nodes``, ``volume_neighbours`` and
    ``barycentres`` are read-only views of the mesh's own storage (no copy)
    and hold the numbers exactly as the files do: node and volume numbers are
    1-based and 0 in ``volume_neighbours`` means "no neighbour". Row ``i``
    describes node or volume ``i + 1``. Real volumes come first
    (1 to n_real_volumes), then the fictitious ones, anticlockwise around
    the boundary; real nodes come first, then the fictitious ones. For
    indexing numpy arrays use the 0-based ``triangles`` and ``neighbours``
    (-1 for none) and the ``is_fictitious`` mask. No array can be made
    writable (``setflags(write=True)`` raises ``ValueError``); take a copy
    to change one.

Threads:
    ``build``, ``Mesh.write``, ``read``, ``Mesh.write_vtu`` and
    ``TimeSeries.write`` release the interpreter lock while they work, so
    threads may build, write and read different meshes at the same time.

Failures:
    Every failure of the mesh, of a file or of a read-back raises
    ``malha.Error``, whose message is the program's run-time error report;
    arguments of the wrong type raise ``TypeError``, and a processing time
    that is NaN, infinite or negative ``ValueError``, as do the fields, names
    and times that ``Mesh.write_vtu`` and ``TimeSeries`` cannot write.
"""

from __future__ import annotations

import collections.abc
import functools
import math
import numbers
import operator
import os
import pathlib
import threading
import typing

import numpy as np
import numpy.typing as npt

from . import _malha

if typing.TYPE_CHECKING:
    import meshio

__all__ = ["Error", "Faces", "Mesh", "TimeSeries", "build", "read"]

#: The package's version, that of the program.
__version__: str = "{}.{}".format(*_malha.version)

_INT32_MIN = -(2**31)
_INT32_MAX = 2**31 - 1


class Error(Exception):
    """A run-time error report: the one way an operation of ``malha`` fails.

    The message (``str(error)``) is the report exactly as the program prints
    it on standard error: CR LF, ``run-time error CODE: OPERATION``, CR LF,
    ``- DESCRIPTION``, CR LF.

    Attributes:
        code: The report's code, a letter and four digits: ``"S5001"`` for a
            level outside 1 to 30, ``"A2001"`` for memory, ``"M3001"`` to
            ``"M3003"`` for a non-finite value in the mesh, ``"F4001"`` to
            ``"F4007"`` for files.
        operation: What failed, for example ``"LEVEL"``, ``"ALLOCATE"``,
            ``"MATH"``, ``"OPEN(out/dados_malha.txt)"`` or
            ``"READ(dados.ent)"``.
        description: The report's one-line description, for example
            ``"cannot write the file: No space left on device"``.
    """

    def __init__(self, message: str, code: str = "", operation: str = "",
                 description: str = "") -> None:
        """Makes the error of a report; ``malha`` raises it, callers catch it."""
        super().__init__(message)
        self.code = code
        self.operation = operation
        self.description = description

    def __reduce__(self):
        return (type(self), (str(self), self.code, self.operation, self.description))


def _field(name: str, doc: str) -> property:
    """A read-only attribute of the compiled mesh, with its documentation."""
    return property(lambda self: getattr(self._mesh, name), doc=doc)


def _frozen(array: np.ndarray) -> np.ndarray:
    """A read-only copy of ``array`` that no caller can make writable.

    The copy's bytes live in a ``bytes`` object, which lends its buffer for
    reading only: numpy refuses ``setflags(write=True)`` on the copy and on
    its base alike, so a cached array cannot be changed behind the mesh.
    """
    return np.frombuffer(array.tobytes(), dtype=array.dtype).reshape(array.shape)


class Mesh:
    """The mesh of a rectangle: counts, spacings and four tables.

    Made by ``build`` or ``read``, never directly. Every attribute is read
    only. The four tables are numpy views of the mesh's own storage: they
    are not copies, cannot be written, and keep the storage alive as long as
    any of them lives, also after the ``Mesh`` itself is gone. Numbers in
    them are 1-based, as in the files; ``triangles``, ``neighbours`` and
    ``is_fictitious`` are the 0-based forms for numpy indexing, computed
    once. No array that a ``Mesh`` hands out can be made writable:
    ``setflags(write=True)`` raises ``ValueError``; ``numpy.array(table)``
    gives a writable copy.

    A mesh from ``read`` holds every field: the four tables and counts
    of the files, the level their real volumes give, the other counts and
    the spacings as the level's sizing gives them, and the lengths that the
    far corner node holds.
    """

    def __init__(self, mesh: _malha.Mesh) -> None:
        """Wraps a compiled mesh of ``build`` or ``read``; not for callers."""
        if not isinstance(mesh, _malha.Mesh):
            raise TypeError("a Mesh is made by malha.build or malha.read")
        self._mesh = mesh

    level = _field("level", "int: The mesh level, 1 to 30: 2**level real volumes.")
    dim_x = _field("dim_x", "float: The rectangle's length along x.")
    dim_y = _field("dim_y", "float: The rectangle's length along y.")
    n_real_volumes = _field("n_real_volumes", "int: Real volumes, 2**level.")
    n_fict_volumes = _field("n_fict_volumes",
                            "int: Fictitious volumes, one outside each boundary edge.")
    n_volumes = _field("n_volumes", "int: All volumes, n_real_volumes + n_fict_volumes.")
    n_real_nodes = _field("n_real_nodes", "int: Nodes in the rectangle.")
    n_fict_nodes = _field("n_fict_nodes", "int: Apexes of the fictitious volumes.")
    n_nodes = _field("n_nodes", "int: All nodes, n_real_nodes + n_fict_nodes.")
    nodes_per_side = _field("nodes_per_side",
                            "int: Lattice nodes along each side (levels 3 and above, else 0).")
    centres_per_side = _field("centres_per_side",
                              "int: Cell centres along each side (even levels 4 and above, "
                              "else 0).")
    fict_per_side = _field("fict_per_side",
                           "int: Fictitious nodes along each side (levels 3 and above, else 0).")
    dx = _field("dx", "float: The lattice spacing along x.")
    dy = _field("dy", "float: The lattice spacing along y.")
    half_dx = _field("half_dx", "float: Half the spacing along x.")
    half_dy = _field("half_dy", "float: Half the spacing along y.")
    two_dx = _field("two_dx", "float: Twice the spacing along x.")
    two_dy = _field("two_dy", "float: Twice the spacing along y.")

    node_coords = _field(
        "node_coords",
        "numpy.ndarray: (n_nodes, 2) float64, read only: x and y of node i + 1 in row i.")
    volume_nodes = _field(
        "volume_nodes",
        "numpy.ndarray: (n_volumes, 3) int32, read only: the three node numbers (1-based) "
        "of volume i + 1, anticlockwise; a real volume from level 2 on lists its centre "
        "node first, a fictitious volume its fictitious node.")
    volume_neighbours = _field(
        "volume_neighbours",
        "numpy.ndarray: (n_volumes, 3) int32, read only: the volume numbers (1-based) "
        "of the neighbours of volume i + 1, 0 where a column holds none.")
    barycentres = _field(
        "barycentres",
        "numpy.ndarray: (n_volumes, 2) float64, read only: x and y of the barycentre "
        "of volume i + 1.")

    @functools.cached_property
    def triangles(self) -> npt.NDArray[np.int32]:
        """numpy.ndarray: (n_volumes, 3) int32, read only: ``volume_nodes - 1``.

        The 0-based rows of ``node_coords`` of each volume's corners, in the
        same anticlockwise order. Computed once, on first use.
        """
        return _frozen(self.volume_nodes - np.int32(1))

    @functools.cached_property
    def neighbours(self) -> npt.NDArray[np.int32]:
        """numpy.ndarray: (n_volumes, 3) int32, read only: ``volume_neighbours - 1``.

        The 0-based rows of each volume's neighbours, -1 where a column
        holds none. Computed once, on first use.
        """
        return _frozen(self.volume_neighbours - np.int32(1))

    @functools.cached_property
    def is_fictitious(self) -> npt.NDArray[np.bool_]:
        """numpy.ndarray: (n_volumes,) bool, read only: True for the fictitious volumes.

        These are the rows from ``n_real_volumes`` on. Computed once, on
        first use.
        """
        return _frozen(np.arange(self.n_volumes) >= self.n_real_volumes)

    def faces(self) -> Faces:
        """The finite-volume faces of this mesh: volumes, nodes, normals, lengths, sides.

        Built anew at each call, without the interpreter lock; see ``Faces``.

        Returns:
            A new ``Faces``, which keeps what it needs of this mesh alive.

        Raises:
            Error: ALLOCATE (A2001) when the tables do not fit in memory;
                MATH when an edge has zero length (a rectangle with a zero
                length) or a length or area overflows; ARGUMENT when the
                tables are not those of a mesh.
        """
        return Faces(self._mesh, _malha.build_faces(self._mesh))

    def write(self, folder: str | os.PathLike[str], processing_time: float = 0.0) -> None:
        """Writes the program's eleven files of this mesh into a folder.

        The files are byte for byte those the program writes for the same
        answers: "dados_gerais.txt", "dados_malha.txt", "nos_malha.txt",
        "malha.txt", "malha_real.txt", "nos_conectividade.txt",
        "vol_conectividades.txt", "baricentros.txt", "dados.ent",
        "conectividades.ent" and "baricentros.ent". Each replaces an earlier
        file of its name.

        Args:
            folder: An existing folder (it is not created); "" is the
                current working folder, and the reports then name the files
                alone.
            processing_time: The seconds written as the processing-time
                record of "dados_gerais.txt": finite and not negative.

        Raises:
            Error: OPEN when a file cannot be created or opened, WRITE when
                a write fails; a file that had begun is then cut after what
                it received.
            TypeError: When ``folder`` is not a path or ``processing_time``
                not a real number.
            ValueError: When ``processing_time`` is NaN, infinite or
                negative; no file is then touched.
        """
        _malha.write_mesh_files(self._mesh, _path("folder", folder),
                                _seconds("processing_time", processing_time))

    def to_meshio(self) -> meshio.Mesh:
        """The mesh as a ``meshio.Mesh``, with the data of "malha.vtu".

        Points are the nodes with z = 0, in node order; cells are one block
        of triangles (``triangles``, 0-based) in volume order. Cell data:
        ``volume`` (int32, the 1-based number), ``fictitious`` (uint8, 1 for
        a fictitious volume), ``neighbours`` (int32 x 3, 1-based, 0 for
        none) and ``barycentre`` (float64 x 3, z = 0). Point data: ``node``
        (int32, the 1-based number). The four counts that "malha.vtu" holds
        as field data are left out: meshio's Gmsh writer takes field data for
        physical groups. meshio is imported only here.

        Note:
            meshio takes a file named ``*.msh`` for an ANSYS file, which
            drops the data; for Gmsh's format name it:
            ``meshio.write("malha.msh", grid, file_format="gmsh")``.

        Returns:
            A new ``meshio.Mesh``; its arrays are copies.

        Raises:
            ImportError: When meshio is not installed
                (Debian: python3-meshio).
        """
        import meshio

        def with_zero_z(xy: np.ndarray) -> np.ndarray:
            return np.column_stack((xy, np.zeros(len(xy))))

        return meshio.Mesh(
            points=with_zero_z(self.node_coords),
            cells=[("triangle", np.array(self.triangles))],
            point_data={"node": np.arange(1, self.n_nodes + 1, dtype=np.int32)},
            cell_data={
                "volume": [np.arange(1, self.n_volumes + 1, dtype=np.int32)],
                "fictitious": [self.is_fictitious.astype(np.uint8)],
                "neighbours": [np.array(self.volume_neighbours)],
                "barycentre": [with_zero_z(self.barycentres)],
            },
        )

    def write_vtu(self, path: str | os.PathLike[str],
                  cell_data: collections.abc.Mapping[str, npt.ArrayLike] | None = None, *,
                  include_fictitious: bool = False, include_tables: bool = False) -> None:
        """Writes the mesh and the fields of a solution as a VTK grid (".vtu").

        The grid holds the real volumes as triangles over the real nodes
        (z = 0), in volume and node order, with the cell data ``volume``
        (int32, the 1-based number) and then each field of ``cell_data`` as
        float64, exactly the values given. ParaView, VisIt, VTK's readers and
        meshio open it. The file is written whole under a new temporary
        name beside ``path`` and then renamed to ``path``, so a reader never
        finds half a file there, and after a failure no new file is left and
        an earlier file of that name is as it was. The interpreter lock is
        released while the file is written; the arrays must not change
        meanwhile.

        Example:
            >>> mesh = malha.build(10, 2.0, 1.0)
            >>> x, y = mesh.barycentres[:mesh.n_real_volumes].T
            >>> mesh.write_vtu("u.vtu", {"u": x * y, "grad u": np.column_stack((y, x))})
            ... # doctest: +SKIP

        Args:
            path: The grid file; its folder must exist.
            cell_data: Field name to values: an array of ``n_real_volumes``
                numbers (one per real volume, volume i + 1 in row i), or of
                ``n_real_volumes`` rows of k numbers (a vector or tensor
                field of k components). Integers and booleans are written
                as float64. A name is printable ASCII without ``< > & "`` or
                ``'``, and not ``volume``.
            include_fictitious: Every volume over every node instead of the
                real ones, with the cell data ``fictitious`` (uint8, 1 for a
                fictitious volume) after ``volume``; the fields then have
                ``n_volumes`` rows.
            include_tables: Also the mesh's own tables: cell data
                ``neighbours`` (int32 x 3, 1-based, 0 for none) and
                ``barycentre`` (float64 x 3), point data ``node`` (int32) and
                the four counts as field data, as "malha.vtu" of malha-vtk.

        Raises:
            Error: OPEN (F4001) when the file cannot be created, as in a
                missing folder; WRITE (F4002) when a write fails, as on a
                full disk; WRITE (F4006) when the rename is refused, as where
                a folder has the name; ALLOCATE (A2001) for memory.
            TypeError: When ``path`` is not a path, ``cell_data`` not a
                mapping, a name not a ``str`` or values not real numbers.
            ValueError: When a field has the wrong number of rows, not one
                or two dimensions, or no column, or a name that is empty,
                taken by the grid's own cell data or not printable ASCII
                without ``< > & " '``. No file is then touched.
        """
        _refusal_as_value_error(_malha.write_vtu, self._mesh, _path("path", path),
                                _cell_fields(cell_data),
                                _vtu_options(include_fictitious, include_tables))

    def __repr__(self) -> str:
        return (f"malha.Mesh(level={self.level}, dim_x={self.dim_x!r}, dim_y={self.dim_y!r}, "
                f"n_volumes={self.n_volumes}, n_nodes={self.n_nodes})")


_SIDES = {"bottom": 1, "right": 2, "top": 3, "left": 4}


def _faces_field(name: str, doc: str) -> property:
    """A read-only attribute of the compiled faces, with its documentation."""
    return property(lambda self: getattr(self._faces, name), doc=doc)


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

    Arrays:
        ``owner``, ``neighbour``, ``nodes``, ``normal``, ``length``,
        ``side``, ``volume_areas`` and ``volume_faces`` are numpy views of
        the compiled tables (no copy), read only: ``setflags(write=True)``
        raises ``ValueError``. ``midpoint``, ``delta``,
        ``normal_distance`` and ``non_orthogonality`` are computed on first
        use and kept, read only as well. Every array keeps its storage alive
        as long as it lives, and a ``Faces`` keeps the mesh's tables that
        it reads alive, also after its ``Mesh`` is gone.

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

    @functools.cached_property
    def midpoint(self) -> npt.NDArray[np.float64]:
        """numpy.ndarray: (n_faces, 2) float64, read only: the middle of each face."""
        ends = self._mesh.node_coords[self.nodes]
        return _frozen((ends[:, 0] + ends[:, 1]) / 2)

    @functools.cached_property
    def delta(self) -> npt.NDArray[np.float64]:
        """numpy.ndarray: (n_faces, 2) float64, read only: the neighbour's barycentre
        less the owner's."""
        barycentres = self._mesh.barycentres
        return _frozen(barycentres[self.neighbour] - barycentres[self.owner])

    @functools.cached_property
    def normal_distance(self) -> npt.NDArray[np.float64]:
        """numpy.ndarray: (n_faces,) float64, read only: ``delta`` . ``normal``.

        The distance between the two barycentres across the face, positive
        on a mesh of positive lengths: the denominator of the two-point flux
        ``length * (u[neighbour] - u[owner]) / normal_distance``.
        """
        return _frozen(np.einsum("ij,ij->i", self.delta, self.normal))

    @functools.cached_property
    def non_orthogonality(self) -> npt.NDArray[np.float64]:
        """numpy.ndarray: (n_faces,) float64, read only: degrees between ``delta`` and ``normal``.

        0 where the segment between the barycentres crosses the face at a
        right angle, where the two-point flux is exact for a linear solution;
        the larger the angle, the more a solver must correct that flux.
        """
        delta, normal = self.delta, self.normal
        cross = delta[:, 0] * normal[:, 1] - delta[:, 1] * normal[:, 0]
        return _frozen(np.degrees(np.arctan2(np.abs(cross), self.normal_distance)))

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
            number = _integer("side", side)
            if not 1 <= number <= 4:
                raise ValueError(f"side must be 1 to 4 or one of {', '.join(_SIDES)}: {side!r}")
        boundary_sides = self.side[self.n_interior_faces:]
        start, stop = np.searchsorted(boundary_sides, (number, number + 1))
        return range(self.n_interior_faces + int(start), self.n_interior_faces + int(stop))

    def __repr__(self) -> str:
        return (f"malha.Faces(n_faces={self.n_faces}, n_interior_faces={self.n_interior_faces}, "
                f"n_boundary_faces={self.n_boundary_faces})")


def _vtu_options(include_fictitious: typing.Any, include_tables: typing.Any) -> _malha.VtuOptions:
    return _malha.VtuOptions(bool(include_fictitious), bool(include_tables))


def _cell_fields(cell_data: typing.Any) -> list[tuple[str, np.ndarray]]:
    """The (name, float64 array in row order) pairs of a mapping of cell data.

    Leaves the count of rows and the names' characters to the writer, whose
    ARGUMENT report ``_refusal_as_value_error`` turns into ``ValueError``.
    """
    if cell_data is None:
        return []
    if not isinstance(cell_data, collections.abc.Mapping):
        raise TypeError(f"cell_data must be a mapping of name to array, "
                        f"not {type(cell_data).__name__}")
    fields = []
    for name, values in cell_data.items():
        if not isinstance(name, str):
            raise TypeError(f"a field name must be a str, not {type(name).__name__}")
        try:
            name.encode("utf-8")
        except UnicodeEncodeError:
            raise ValueError(f"field name {name!r} is not printable ASCII") from None
        array = np.asarray(values)
        if array.dtype.kind not in "biuf":
            raise TypeError(f"field {name!r} must hold real numbers, not {array.dtype}")
        if array.ndim not in (1, 2):
            raise ValueError(f"field {name!r} has {array.ndim} dimensions: give one value per "
                             "volume, or one row of components per volume")
        fields.append((name, np.ascontiguousarray(array, dtype=np.float64)))
    return fields


def _refusal_as_value_error(call: typing.Callable[..., typing.Any],
                            *args: typing.Any) -> typing.Any:
    """Calls ``call``; its ARGUMENT report (S5002) becomes a ``ValueError``."""
    try:
        return call(*args)
    except Error as error:
        if error.code != "S5002":
            raise
        message = error.description
    raise ValueError(message)


class TimeSeries:
    """A solution in time: one VTK grid per step and a ParaView collection of them.

    Each ``write`` adds the step file "name_NNNN.vtu" (NNNN the step's index
    from 0000) as ``Mesh.write_vtu`` writes it, then rewrites the collection
    "name.pvd", which lists every step so far with its time. ParaView opens
    the collection as one series with a time slider (``paraview name.pvd``).
    Both files go through a temporary file and a rename, the step file
    first, so a process killed at any moment leaves a collection whose every
    step is complete; a ``write`` that fails leaves neither its step file nor
    a changed collection.

    A new series starts at step 0 and rewrites the collection at its first
    ``write``; it removes the temporary files of a killed series of the same
    name in the folder. Usable as a context manager, which closes it: a
    closed series writes no more steps. It keeps its mesh alive. Threads may
    share a series: its steps are written one at a time.

    Example:
        >>> mesh = malha.build(8, 1.0, 1.0)
        >>> x, y = mesh.barycentres[:mesh.n_real_volumes].T
        >>> with malha.TimeSeries(mesh, "out", "heat") as series:  # doctest: +SKIP
        ...     for step in range(10):
        ...         t = step / 10
        ...         series.write(t, {"u": np.exp(-t) * x * y})

    Attributes:
        mesh: The series' mesh.
    """

    def __init__(self, mesh: Mesh, folder: str | os.PathLike[str], name: str, *,
                 include_fictitious: bool = False, include_tables: bool = False) -> None:
        """Starts a series of grids of ``mesh``.

        Args:
            mesh: The mesh of every step.
            folder: An existing folder, which receives the files.
            name: The series' name: printable ASCII, without ``< > & " '``
                or ``/ \\ : * ? |``.
            include_fictitious: As for ``Mesh.write_vtu``, for every step.
            include_tables: As for ``Mesh.write_vtu``, for every step.

        Raises:
            Error: OPEN (F4001) when ``folder`` is not a folder that can
                be read.
            TypeError: When ``mesh`` is not a ``Mesh``, ``folder`` not a
                path or ``name`` not a ``str``.
            ValueError: When ``name`` is empty or holds a character above.
        """
        if not isinstance(mesh, Mesh):
            raise TypeError(f"mesh must be a malha.Mesh, not {type(mesh).__name__}")
        if not isinstance(name, str):
            raise TypeError(f"name must be a str, not {type(name).__name__}")
        try:
            name.encode("utf-8")
        except UnicodeEncodeError:
            raise ValueError(f"series name {name!r} is not printable ASCII") from None
        self.mesh = mesh
        self._series: _malha.TimeSeries | None = _refusal_as_value_error(
            _malha.TimeSeries, mesh._mesh, _path("folder", folder), name,
            _vtu_options(include_fictitious, include_tables))
        self._collection = self._series.collection_file
        self._steps = 0
        self._lock = threading.Lock()  # one step at a time, also across threads

    def write(self, time: float,
              cell_data: collections.abc.Mapping[str, npt.ArrayLike] | None = None
              ) -> pathlib.Path:
        """Adds the next step: its grid file, then the collection with it.

        The interpreter lock is released while the files are written; the
        arrays must not change meanwhile.

        Args:
            time: The step's time: finite, and after the last step's.
            cell_data: The step's fields, as for ``Mesh.write_vtu``.

        Returns:
            The step's grid file.

        Raises:
            Error: As ``Mesh.write_vtu``, for the step file or the collection.
            TypeError: As ``Mesh.write_vtu``, and when ``time`` is not a real
                number.
            ValueError: As ``Mesh.write_vtu``; when ``time`` is NaN,
                infinite, or not after the last step's; when the series is
                closed. No file is then touched.
        """
        time = _real("time", time)
        fields = _cell_fields(cell_data)
        with self._lock:
            if self._series is None:
                raise ValueError("the series is closed")
            _refusal_as_value_error(self._series.write, time, fields)
            self._steps = self._series.steps
            return self._series.step_file(self._steps - 1)

    @property
    def steps(self) -> int:
        """int: The steps written."""
        return self._steps

    @property
    def collection_file(self) -> pathlib.Path:
        """pathlib.Path: The collection, "name.pvd" in the folder."""
        return self._collection

    @property
    def closed(self) -> bool:
        """bool: True once ``close`` is called: no more steps."""
        return self._series is None

    def close(self) -> None:
        """Ends the series; its files stay as the last ``write`` left them."""
        with self._lock:
            self._series = None

    def __enter__(self) -> TimeSeries:
        return self

    def __exit__(self, *exc_info: typing.Any) -> None:
        self.close()

    def __repr__(self) -> str:
        return f"malha.TimeSeries({str(self._collection)!r}, steps={self._steps})"


def _integer(name: str, value: typing.Any) -> int:
    try:
        value = operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None
    return value


def _real(name: str, value: typing.Any) -> float:
    if not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {type(value).__name__}")
    return float(value)


def _seconds(name: str, value: typing.Any) -> float:
    seconds = _real(name, value)
    if not (math.isfinite(seconds) and seconds >= 0.0):
        raise ValueError(f"{name} must be a finite number of seconds, not negative: {seconds!r}")
    return seconds + 0.0  # -0.0 becomes 0.0, the record of no time at all


def _path(name: str, value: typing.Any) -> str | bytes:
    try:
        return os.fspath(value)
    except TypeError:
        raise TypeError(f"{name} must be a path, not {type(value).__name__}") from None


def build(level: int, dim_x: float, dim_y: float) -> Mesh:
    """Builds the mesh of a rectangle, exactly as the program does.

    Every count, spacing and the four tables, with the lower-left corner of
    the rectangle at the origin: level 1 is one cell cut by a diagonal,
    level 2 one cell cut by both diagonals, odd levels from 3 on a lattice of
    2 x 2 blocks of 8 triangles fanned around their centres, even levels
    from 4 on a lattice of cells of 4 triangles around a centre node. With
    positive lengths every volume lists its nodes anticlockwise.

    Args:
        level: The mesh level, 1 to 30: 2**level real volumes.
        dim_x: The rectangle's length along x.
        dim_y: The rectangle's length along y.

    Returns:
        The new mesh.

    Raises:
        Error: LEVEL (S5001) for a level outside 1 to 30; ALLOCATE (A2001)
            when the tables do not fit in memory; MATH (M3001, M3003) when a
            spacing, node or barycentre is not finite, as for a length near
            the largest double, an infinity or a NaN.
        TypeError: When ``level`` is not an integer or a length not a real
            number.
        OverflowError: When ``level`` does not fit in 32 bits.
    """
    level = _integer("level", level)
    dim_x = _real("dim_x", dim_x)
    dim_y = _real("dim_y", dim_y)
    # Outside 32 bits is outside 1 to 30 too: the LEVEL report of the
    # nearest 32-bit level would name another number, so say it here.
    if not _INT32_MIN <= level <= _INT32_MAX:
        raise OverflowError(f"level {level} does not fit in 32 bits (accepted: 1 to 30)")
    return Mesh(_malha.build_mesh(level, dim_x, dim_y))


def read(folder: str | os.PathLike[str]) -> Mesh:
    """Reads a mesh back from the files the program wrote.

    Reads "dados.ent", "conectividades.ent" and "baricentros.ent" of the
    folder, checking every record against what the program writes there,
    then checks the folder's other files of a run against their counts.
    The tables hold exactly the numbers of the text.

    Args:
        folder: The folder of a run's files; "" is the current working
            folder, and the reports then name the files alone.

    Returns:
        A mesh with the counts ``n_nodes``, ``n_volumes``,
        ``n_real_volumes``, ``n_fict_volumes`` and the four tables; every
        other attribute is 0.

    Raises:
        Error: OPEN (F4004) or READ (F4005) when a file cannot be opened or
            read, or is not a regular file; READ (F4007), naming the file
            and the line, at the first record that does not hold what the
            program writes there, or naming the first of the other files
            whose size or labelled counts disagree with "dados.ent".
        TypeError: When ``folder`` is not a path.
    """
    return Mesh(_malha.read_mesh_files(_path("folder", folder)))
