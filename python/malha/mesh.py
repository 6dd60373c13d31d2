"""The mesh of a rectangle: ``build``, ``build_lattice``, ``read`` and ``malha.Mesh``."""

from __future__ import annotations

import collections.abc
import functools
import math
import os
import typing

import numpy as np
import numpy.typing as npt

from . import _malha, errors
from .faces import Faces

if typing.TYPE_CHECKING:
    import meshio

_INT32_MIN = -(2**31)
_INT32_MAX = 2**31 - 1


def _field(name: str, doc: str) -> property:
    """A read-only attribute of the compiled mesh, with its documentation."""
    return property(lambda self: getattr(self._mesh, name), doc=doc)


class Mesh:
    """The mesh of a rectangle: counts, spacings and four tables.

    Made by ``build``, ``build_lattice`` or ``read``, never directly. Every
    attribute is read only. The four tables are numpy views of the mesh's own storage: they
    are not copies, cannot be written, and keep the storage alive as long as
    any of them lives, also after the ``Mesh`` itself is gone. Numbers in
    them are 1-based, as in the files; ``triangles``, ``neighbours`` and
    ``is_fictitious`` are the 0-based forms for numpy indexing, computed
    once. No array that a ``Mesh`` hands out can be made writable:
    ``setflags(write=True)`` raises ``ValueError``; ``numpy.array(table)``
    gives a writable copy.

    A mesh from ``read`` holds every field: the four tables and counts
    of the files, the level or lattice their counts and first volumes give,
    the other counts and the spacings as its sizing gives them, and the
    lengths that the far corner node holds.
    """

    def __init__(self, mesh: _malha.Mesh) -> None:
        """Wraps a compiled mesh of ``build``, ``build_lattice`` or ``read``; not for callers."""
        if not isinstance(mesh, _malha.Mesh):
            raise TypeError("a Mesh is made by malha.build, malha.build_lattice or malha.read")
        self._mesh = mesh

    level = _field("level", "int: The mesh level, 1 to 30: 2**level real volumes; 0 for a "
                   "lattice that is no level's.")
    dim_x = _field("dim_x", "float: The rectangle's length along x.")
    dim_y = _field("dim_y", "float: The rectangle's length along y.")
    n_real_volumes = _field("n_real_volumes",
                            "int: Real volumes: 2**level of a level's mesh; of a lattice, "
                            "lattice_counts of src/mesh/lattice.h.")
    n_fict_volumes = _field("n_fict_volumes",
                            "int: Fictitious volumes, one outside each boundary edge.")
    n_volumes = _field("n_volumes", "int: All volumes, n_real_volumes + n_fict_volumes.")
    n_real_nodes = _field("n_real_nodes", "int: Nodes in the rectangle.")
    n_fict_nodes = _field("n_fict_nodes", "int: Apexes of the fictitious volumes.")
    n_nodes = _field("n_nodes", "int: All nodes, n_real_nodes + n_fict_nodes.")
    nodes_per_side = _field("nodes_per_side",
                            "int: Lattice nodes along each side of a square lattice of more "
                            "than one cell, else 0 (lattice_side_figures, src/mesh/lattice.h).")
    centres_per_side = _field("centres_per_side",
                              "int: Cell centres along each side of a square crossed lattice "
                              "of more than one cell, else 0 (src/mesh/lattice.h).")
    fict_per_side = _field("fict_per_side",
                           "int: Fictitious nodes along each side of a square lattice of more "
                           "than one cell, else 0 (src/mesh/lattice.h).")
    cells_x = _field("cells_x", "int: The lattice's cells along x (0 at level 1, no lattice).")
    cells_y = _field("cells_y", "int: The lattice's cells along y (0 at level 1, no lattice).")

    @property
    def pattern(self) -> str | None:
        """str | None: How the lattice's cells are cut, "crossed" or "fan"; None at level 1."""
        return self._mesh.pattern.name if _malha.is_lattice(self._mesh) else None

    x_lines = _field(
        "x_lines",
        "numpy.ndarray: (cells_x + 1,) float64, read only: the x of the lattice's vertical "
        "lines, 0 to dim_x; empty at level 1. See mesh.h.")
    y_lines = _field(
        "y_lines",
        "numpy.ndarray: (cells_y + 1,) float64, read only: the y of the lattice's horizontal "
        "lines, 0 to dim_y; empty at level 1. See mesh.h.")
    dx = _field("dx", "float: The lattice spacing along x; 0 where the x_lines are graded.")
    dy = _field("dy", "float: The lattice spacing along y; 0 where the y_lines are graded.")
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
        "of volume i + 1, anticlockwise; a real volume of a lattice lists its centre "
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
        return self._mesh.triangles

    @functools.cached_property
    def neighbours(self) -> npt.NDArray[np.int32]:
        """numpy.ndarray: (n_volumes, 3) int32, read only: ``volume_neighbours - 1``.

        The 0-based rows of each volume's neighbours, -1 where a column
        holds none. Computed once, on first use.
        """
        return self._mesh.neighbours

    @functools.cached_property
    def is_fictitious(self) -> npt.NDArray[np.bool_]:
        """numpy.ndarray: (n_volumes,) bool, read only: True for the fictitious volumes.

        These are the rows from ``n_real_volumes`` on. Computed once, on
        first use.
        """
        return self._mesh.is_fictitious

    def faces(self) -> Faces:
        """The finite-volume faces of this mesh: volumes, nodes, normals, lengths, sides.

        Built anew at each call, without the interpreter lock; see ``Faces``.

        Returns:
            A new ``Faces``, which keeps what it needs of this mesh alive.

        Raises:
            Error: ALLOCATE (A2001) when the tables do not fit in memory;
                MATH when an edge has zero length (a rectangle with a zero
                length), a length or area overflows or an area underflows
                (lengths so small that a volume's area is below the
                smallest double).
            ArgumentError: ARGUMENT (S5002) when the tables are not those of
                a mesh (as when a boundary face lies off its side).
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
            ArgumentError: When ``processing_time`` is NaN, infinite or
                negative; no file is then touched.
        """
        _malha.write_mesh_files(self._mesh, errors.path("folder", folder),
                                errors.seconds("processing_time", processing_time))

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

        The grid of ``malha::write_vtu``: what it holds, and its writing
        under a temporary name renamed when complete, are stated in
        ``malha/vtk/vtu.h``. ParaView, VisIt, VTK's readers and meshio open
        it. The interpreter lock is released while the file is written; the
        arrays must not change meanwhile.

        Example:
            >>> import numpy as np
            >>> mesh = malha.build(10, 2.0, 1.0)
            >>> x, y = mesh.barycentres[:mesh.n_real_volumes].T
            >>> mesh.write_vtu("u.vtu", {"u": x * y, "grad u": np.column_stack((y, x))})

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
            ArgumentError: When a field has the wrong number of rows, not one
                or two dimensions, or no column, or a name that
                ``malha/vtk/vtu.h`` refuses. No file is then touched.
        """
        _malha.write_vtu(self._mesh, errors.path("path", path),
                         errors.cell_fields("write_vtu", cell_data),
                         errors.vtu_options(include_fictitious, include_tables))

    def __repr__(self) -> str:
        return (f"malha.Mesh(level={self.level}, dim_x={self.dim_x!r}, dim_y={self.dim_y!r}, "
                f"n_volumes={self.n_volumes}, n_nodes={self.n_nodes})")


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
        ArgumentError: LEVEL (S5001) for a level outside 1 to 30; ARGUMENT
            (S5002) for one beyond 32 bits.
        Error: ALLOCATE (A2001) when the tables do not fit in memory; MATH
            (M3001, M3003) when a spacing, node or barycentre is not finite,
            as for a length near the largest double, an infinity or a NaN.
        TypeError: When ``level`` is not an integer or a length not a real
            number.
    """
    level = errors.integer("level", level)
    dim_x = errors.real("dim_x", dim_x)
    dim_y = errors.real("dim_y", dim_y)
    # Outside 32 bits is outside 1 to 30 too: the LEVEL report of the
    # nearest 32-bit level would name another number, so say it here.
    if not _INT32_MIN <= level <= _INT32_MAX:
        raise errors.refused("build_mesh", f"level {level} does not fit in 32 bits "
                             "(accepted: 1 to 30)")
    return Mesh(_malha.build_mesh(level, dim_x, dim_y))


_PATTERNS = {"crossed": _malha.LatticePattern.crossed, "fan": _malha.LatticePattern.fan}


def _pattern(function: str, value: typing.Any) -> _malha.LatticePattern:
    """The compiled lattice pattern a pattern argument names.

    Args:
        function: The refusing call's name.
        value: The argument, "crossed" or "fan".

    Returns:
        The ``_malha.LatticePattern`` of that name.

    Raises:
        TypeError: When ``value`` is not a ``str``.
        ArgumentError: When ``value`` is another ``str``.
    """
    if not isinstance(value, str):
        raise TypeError(f"pattern must be a str, not {type(value).__name__}")
    if value not in _PATTERNS:
        raise errors.refused(function, f"pattern must be 'crossed' or 'fan', not {value!r}")
    return _PATTERNS[value]


def _lines(name: str, value: typing.Any) -> npt.NDArray[np.float64]:
    """The lines an argument holds, as a one-dimensional float64 array.

    Args:
        name: The argument's name, for the message.
        value: Any sequence of real numbers.

    Returns:
        The lines as a new or shared float64 array.

    Raises:
        TypeError: When ``value`` is not a sequence of real numbers.
        ArgumentError: ARGUMENT (S5002) of build_lattice_mesh when it is
            not one-dimensional.
    """
    if isinstance(value, (str, bytes)) or not isinstance(
            value, (collections.abc.Sequence, np.ndarray)):
        raise TypeError(f"{name} must be a sequence of real numbers, not {type(value).__name__}")
    try:
        lines = np.asarray(value)
    except (TypeError, ValueError):
        raise TypeError(f"{name} must be a sequence of real numbers") from None
    if lines.ndim != 1:
        raise errors.refused("build_lattice_mesh",
                             f"{name} must be one-dimensional, not of shape {lines.shape}")
    if lines.size and not (np.issubdtype(lines.dtype, np.floating)
                           or np.issubdtype(lines.dtype, np.integer)
                           or lines.dtype == np.bool_):
        raise TypeError(f"{name} must be a sequence of real numbers, not of {lines.dtype}")
    return np.ascontiguousarray(lines, dtype=np.float64)


def _given_lines(function: str, shape: tuple[typing.Any, ...], xs: typing.Any,
                 ys: typing.Any) -> tuple[npt.NDArray[np.float64], ...]:
    """The lines ``xs`` and ``ys`` of a lattice, where given in place of its ``shape``.

    Args:
        function: The refusing call's name.
        shape: The counts and lengths given, each None where not.
        xs: The vertical lines, or None.
        ys: The horizontal lines, or None.

    Returns:
        ``(xs, ys)`` as float64 arrays, or ``()`` where neither is given.

    Raises:
        ArgumentError: For one without the other, lines given with counts
            or lengths, or lines not one-dimensional.
        TypeError: When lines are not a sequence of real numbers.
    """
    if xs is None and ys is None:
        return ()
    if xs is None or ys is None:
        raise errors.refused(function, "xs and ys are given together")
    if any(value is not None for value in shape):
        raise errors.refused(function, "xs and ys take the place of the counts and lengths: "
                             "give one or the other")
    return _lines("xs", xs), _lines("ys", ys)


def build_lattice(cells_x: int | None = None, cells_y: int | None = None,
                  dim_x: float | None = None, dim_y: float | None = None,
                  pattern: str = "crossed", *, xs: typing.Any = None,
                  ys: typing.Any = None) -> Mesh:
    """Builds a lattice mesh of a rectangle: of equal cells, or on given lines.

    Either ``cells_x`` x ``cells_y`` equal cells of dim_x / cells_x by
    dim_y / cells_y, or the cells between the lines ``xs`` and ``ys``
    (``build_lattice(xs=..., ys=..., pattern=...)``), as ``graded_lines``
    and ``two_sided_lines`` make them. "crossed" cuts every cell by both
    diagonals through its centre node into 4 triangles; "fan" groups the
    cells in blocks of 2 x 2, each a fan of 8 triangles around the block's
    middle node. Numbered as the level meshes are; a square lattice of
    2**k equal cells a side is a level's mesh (``level`` says which, 0 for
    any other lattice). With positive lengths every volume lists its nodes
    anticlockwise. Lines of equal steps give the lattice of equal cells bit
    for bit (``x_lines`` and ``y_lines`` of that lattice are such; see
    src/mesh/mesh.h). ``build_lattice_mesh`` of ``malha/malha.h``, built
    without the interpreter lock, so threads may build at once.

    Args:
        cells_x: Cells along x, 1 or more (even for "fan").
        cells_y: Cells along y, 1 or more (even for "fan").
        dim_x: The rectangle's length along x, finite.
        dim_y: The rectangle's length along y, finite.
        pattern: "crossed" or "fan".
        xs: Instead of the counts and lengths: the x of the lattice's
            vertical lines, any sequence of real numbers, starting at 0
            and strictly increasing (or decreasing, for a negative length).
        ys: The y of its horizontal lines, the same way.

    Returns:
        The new mesh.

    Raises:
        ArgumentError: ARGUMENT (S5002) for a count below 1, an odd count
            for "fan", a length that is not finite, counts that do not fit
            32 bits (n_volumes and n_nodes at most 2**31 - 1), another
            pattern, lines given with counts or lengths or one without the
            other, lines that are not one-dimensional, fewer than 2 lines, a
            line that is not finite, a first line other than 0 or lines not
            strictly monotone; the description says which.
        Error: ALLOCATE (A2001) when the tables do not fit in memory; MATH
            (M3003) when a node or barycentre is beyond the largest double.
        TypeError: When a count is not an integer, a length not a real
            number, lines not a sequence of them or the pattern not a str.
    """
    lines = _given_lines("build_lattice_mesh", (cells_x, cells_y, dim_x, dim_y), xs, ys)
    if lines:
        return Mesh(_malha.build_lattice_on_lines(*lines, _pattern("build_lattice_mesh", pattern)))
    cells_x = errors.integer("cells_x", cells_x)
    cells_y = errors.integer("cells_y", cells_y)
    dim_x = errors.real("dim_x", dim_x)
    dim_y = errors.real("dim_y", dim_y)
    pattern = _pattern("build_lattice_mesh", pattern)
    # The compiled call takes 64-bit counts; beyond them the counts are
    # past 32 bits all the more.
    for name, cells in (("cells_x", cells_x), ("cells_y", cells_y)):
        if cells > _INT32_MAX:
            raise errors.refused("build_lattice_mesh",
                                 f"{name} ({cells}) gives more than {_INT32_MAX} fictitious "
                                 "volumes, the most a 32-bit count holds")
        if cells < 1:
            raise errors.refused("build_lattice_mesh", f"{name} ({cells}) is below 1")
    return Mesh(_malha.build_lattice_mesh(cells_x, cells_y, dim_x, dim_y, pattern))


def _helper_lines(name: str, cells: typing.Any, length: typing.Any,
                  ratio: typing.Any) -> npt.NDArray[np.float64]:
    """The lines the compiled grading helper ``name`` makes."""
    cells = errors.integer("cells", cells)
    length = errors.real("length", length)
    ratio = errors.real("ratio", ratio)
    if not 1 <= cells <= _INT32_MAX:
        raise errors.refused(name, f"cells ({cells}) is not 1 to {_INT32_MAX}")
    return getattr(_malha, name)(cells, length, ratio)


def graded_lines(cells: int, length: float, ratio: float) -> npt.NDArray[np.float64]:
    """Lines whose steps grow in geometric progression, for ``build_lattice``.

    The last step is ``ratio`` times the first (below 1: the steps shrink),
    as a block mesher's expansion ratio; ratio 1 gives equal steps, those of
    the lattice of equal cells. src/mesh/lattice_lines.h says the rest.

    Args:
        cells: The cells, 1 or more.
        length: The length, finite and not 0; negative lines decrease.
        ratio: The last step over the first, finite and above 0.

    Returns:
        A new float64 array of ``cells + 1`` lines from 0 to exactly ``length``.

    Raises:
        ArgumentError: ARGUMENT (S5002) for cells below 1 or too many, a
            length that is 0 or not finite, a ratio that is not above 0 or
            not finite, or steps too small to tell apart; the description
            says which.
        TypeError: When ``cells`` is not an integer or another argument not
            a real number.
    """
    return _helper_lines("graded_lines", cells, length, ratio)


def two_sided_lines(cells: int, length: float, ratio: float) -> npt.NDArray[np.float64]:
    """Lines fine at both ends and coarse in the middle, for ``build_lattice``.

    Symmetric about the middle: the middle step (the two middle ones, for
    even cells) is ``ratio`` times the steps at the ends, in geometric
    progression from each end. src/mesh/lattice_lines.h says the rest.

    Args:
        cells: The cells, 1 or more.
        length: The length, finite and not 0; negative lines decrease.
        ratio: The middle step over the end ones, finite and above 0.

    Returns:
        A new float64 array of ``cells + 1`` lines from 0 to exactly ``length``.

    Raises:
        ArgumentError: As ``graded_lines``.
        TypeError: As ``graded_lines``.
    """
    return _helper_lines("two_sided_lines", cells, length, ratio)


def square_cells(dim_x: float, dim_y: float, volumes: int,
                 pattern: str = "crossed") -> tuple[int, int]:
    """The lattice of a rectangle whose cells are closest to square.

    With about ``volumes`` real volumes (4 a cell when crossed, 2 when
    fan): the cells along each side that make dx and dy nearest each other
    and the volumes nearest ``volumes``, each measured as a ratio. A lattice
    has at least one cell (one block for "fan") across each side, so a
    rectangle much longer than wide gets as many cells along it as square
    cells need, however few the volumes asked. Give the result to
    ``build_lattice``.

    Args:
        dim_x: The rectangle's length along x, finite and not 0.
        dim_y: The rectangle's length along y, finite and not 0.
        volumes: The real volumes wanted, 1 or more; a lattice has at least
            one cell (one block of 2 x 2 for "fan").
        pattern: "crossed" or "fan".

    Returns:
        ``(cells_x, cells_y)``, each 1 or more (even for "fan").

    Raises:
        ArgumentError: For a length that is 0 or not finite, lengths whose
            ratio a double cannot hold (such as 1e200 and 1e-200), fewer
            than 1 volume, more than 2**31 - 1, or another pattern.
        TypeError: When a length is not a real number, ``volumes`` not an
            integer or the pattern not a str.
    """
    dim_x = abs(errors.real("dim_x", dim_x))
    dim_y = abs(errors.real("dim_y", dim_y))
    volumes = errors.integer("volumes", volumes)
    fan = _pattern("square_cells", pattern) == _malha.LatticePattern.fan
    for name, length in (("dim_x", dim_x), ("dim_y", dim_y)):
        if not (math.isfinite(length) and length > 0.0):
            raise errors.refused("square_cells",
                                 f"{name} must be finite and not 0 for square cells: {length!r}")
    if not 1 <= volumes <= _INT32_MAX:
        raise errors.refused("square_cells", f"volumes must be 1 to {_INT32_MAX}: {volumes}")
    per_cell = 2 if fan else 4
    step = 2 if fan else 1
    ratio = dim_x / dim_y
    ideal_y = math.sqrt(volumes / per_cell / ratio) if 0.0 < ratio < math.inf else math.inf
    if not (math.isfinite(ideal_y) and math.isfinite(ideal_y * ratio)):
        raise errors.refused("square_cells",
                             f"dim_x / dim_y ({dim_x!r} / {dim_y!r}) is beyond what a double "
                             "holds: no count of square cells follows from it")

    def counts_near(ideal: float) -> set[int]:
        low = max(step, math.floor(ideal / step) * step)
        return {low, low + step}

    def misfit(cells: tuple[int, int]) -> float:
        aspect = (dim_x / cells[0]) / (dim_y / cells[1])
        return abs(math.log(aspect)) + abs(math.log(per_cell * cells[0] * cells[1] / volumes))

    candidates = [(cx, cy) for cy in counts_near(ideal_y) for cx in counts_near(cy * ratio)]
    return min(candidates, key=lambda cells: (misfit(cells), cells))


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
        A mesh holding every attribute: the four tables and the counts of
        the files; the level their real volumes give (0 for a lattice that
        is no level's); the other counts, lattice figures and spacings as
        the sizing of that mesh gives them; and the lengths that the far
        corner node holds.

    Raises:
        Error: OPEN (F4004) or READ (F4005) when a file cannot be opened or
            read, or is not a regular file; READ (F4007), naming the file
            and the line, at the first record that does not hold what the
            program writes there, or naming the first of the other files
            whose size or labelled counts disagree with "dados.ent".
        TypeError: When ``folder`` is not a path.
    """
    return Mesh(_malha.read_mesh_files(errors.path("folder", folder)))

