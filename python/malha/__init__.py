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
    ``build``, ``Mesh.write`` and ``read`` release the interpreter lock while
    they work, so threads may build, write and read different meshes at the
    same time.

Failures:
    Every failure of the mesh, of a file or of a read-back raises
    ``malha.Error``, whose message is the program's run-time error report;
    arguments of the wrong type raise ``TypeError``, and a processing time
    that is NaN, infinite or negative ``ValueError``.
"""

from __future__ import annotations

import functools
import math
import numbers
import operator
import os
import typing

import numpy as np
import numpy.typing as npt

from . import _malha

if typing.TYPE_CHECKING:
    import meshio

__all__ = ["Error", "Mesh", "build", "read"]

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

    def __repr__(self) -> str:
        return (f"malha.Mesh(level={self.level}, dim_x={self.dim_x!r}, dim_y={self.dim_y!r}, "
                f"n_volumes={self.n_volumes}, n_nodes={self.n_nodes})")


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
    folder, checking every record against what the program writes there.
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
            read; READ (F4007), naming the file and the line, at the first
            record that does not hold what the program writes there.
        TypeError: When ``folder`` is not a path.
    """
    return Mesh(_malha.read_mesh_files(_path("folder", folder)))
