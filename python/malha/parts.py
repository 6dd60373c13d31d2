"""Parts of a lattice, each built on its own: ``malha.build_lattice_part``.

Every process of a parallel solver builds only its part of a lattice, with
its halo and the global numbers of ``build_lattice``'s whole mesh, in time
and memory in proportion to the part and with no communication. The
contract is that of the C++ header ``malha/mesh/lattice_part.h``; here every
number is 0-based, as in every Python table.
"""

from __future__ import annotations

import collections.abc
import functools
import os
import typing

import numpy as np
import numpy.typing as npt

from . import _malha, errors
from .mesh import Mesh, _given_lines, _pattern

_INT32_MAX = 2**31 - 1
_INT64_MAX = 2**63 - 1


class LatticePartition:
    """How a lattice's cells are cut into a grid of parts_x x parts_y blocks.

    Part p is the block (p % parts_x, p // parts_x). Block column i holds
    the cells ``x_starts[i]`` to ``x_starts[i + 1] - 1`` (0-based); rows
    alike. Made by ``partition_lattice``.
    """

    def __init__(self, partition: _malha.LatticePartition) -> None:
        """Wraps a compiled partition; not for callers."""
        self._partition = partition

    cells_x = property(lambda self: self._partition.cells_x, doc="int: Cells along x.")
    cells_y = property(lambda self: self._partition.cells_y, doc="int: Cells along y.")
    pattern = property(lambda self: self._partition.pattern.name,
                       doc='str: "crossed" or "fan".')
    parts = property(lambda self: self._partition.parts, doc="int: The parts.")
    parts_x = property(lambda self: self._partition.parts_x, doc="int: Blocks along x.")
    parts_y = property(lambda self: self._partition.parts_y, doc="int: Blocks along y.")
    x_starts = property(lambda self: tuple(self._partition.x_starts),
                        doc="tuple[int, ...]: parts_x + 1 cell boundaries along x.")
    y_starts = property(lambda self: tuple(self._partition.y_starts),
                        doc="tuple[int, ...]: parts_y + 1 cell boundaries along y.")

    def owned_offset(self, part: int) -> int:
        """The owned volumes of the parts before ``part`` (0 to parts).

        Args:
            part: A part, 0 to ``parts`` (``parts`` gives every real volume).

        Returns:
            Where the part's owned volumes start in one numbering of all
            real volumes, part by part.

        Raises:
            ArgumentError: When ``part`` is outside 0 to ``parts``.
        """
        part = errors.integer("part", part)
        if not 0 <= part <= self.parts:
            raise errors.refused("owned_offset", f"part ({part}) is outside 0 to {self.parts}")
        return _malha.owned_offset(self._partition, part)

    def __repr__(self) -> str:
        return (f"malha.LatticePartition(cells_x={self.cells_x}, cells_y={self.cells_y}, "
                f"pattern={self.pattern!r}, parts_x={self.parts_x}, parts_y={self.parts_y})")


class MeshPart:
    """One part of a lattice: its own mesh and the global numbers of its volumes.

    ``mesh`` numbers the part's volumes from 0: first the ``n_owned`` real
    volumes the part owns, then its ``n_halo`` halo volumes (the other parts'
    real volumes that share a face with an owned one), then the fictitious
    volumes of the owned volumes' boundary edges, each run in the order of
    the whole mesh's numbers. A halo volume's ``neighbours`` hold only the
    volumes of the part (-1 for the others). Coordinates and barycentres are
    bit for bit the whole mesh's. ``mesh.faces()`` and the gradients work
    on the owned volumes. Every array is read only.
    """

    def __init__(self, part: _malha.MeshPart) -> None:
        """Wraps a compiled part; not for callers."""
        self._part = part
        self.mesh: Mesh = Mesh(part.mesh)
        """Mesh: The part's own mesh, numbered locally."""

    part = property(lambda self: self._part.part, doc="int: This part, 0 to parts - 1.")
    parts = property(lambda self: self._part.parts, doc="int: The parts of the lattice.")
    n_owned = property(lambda self: self._part.n_owned, doc="int: Real volumes owned.")
    n_halo = property(lambda self: self._part.n_halo, doc="int: Halo volumes.")

    @functools.cached_property
    def global_volumes(self) -> npt.NDArray[np.int64]:
        """numpy.ndarray: (mesh.n_volumes,) int64: each volume's 0-based whole-mesh number."""
        return self._part.global_volumes

    @functools.cached_property
    def global_nodes(self) -> npt.NDArray[np.int64]:
        """numpy.ndarray: (mesh.n_nodes,) int64: each node's 0-based number in the whole mesh."""
        return self._part.global_nodes

    @property
    def halo_owners(self) -> npt.NDArray[np.int32]:
        """numpy.ndarray: (n_halo,) int32: the part that owns each halo volume."""
        return self._part.halo_owners

    @functools.cached_property
    def halo_owner_locals(self) -> npt.NDArray[np.int32]:
        """numpy.ndarray: (n_halo,) int32: each halo volume's 0-based number in its owner."""
        return self._part.halo_owner_locals

    def write_vtu(self, path: str | os.PathLike[str],
                  cell_data: collections.abc.Mapping[str, npt.ArrayLike] | None = None) -> None:
        """Writes the owned volumes as one piece of a parallel grid.

        The piece holds the owned real volumes over the nodes they use, the
        cell data ``global_volume`` (int64, the 1-based number in the whole
        mesh) and the fields, written as ``Mesh.write_vtu`` writes its file.

        Args:
            path: The piece's file; its folder must exist.
            cell_data: Field name to values: ``n_owned`` numbers, or rows of
                k numbers, as for ``Mesh.write_vtu``.

        Raises:
            Error: OPEN, WRITE or ALLOCATE, as for ``Mesh.write_vtu``.
            TypeError: As for ``Mesh.write_vtu``.
            ArgumentError: For a field of the wrong length or a name the piece
                cannot carry (``global_volume`` included).
        """
        fields = errors.cell_fields("write_vtu", cell_data)
        _malha.write_part_vtu(self._part,
                                      errors.path("path", path), fields)

    def __repr__(self) -> str:
        return (f"malha.MeshPart(part={self.part}, parts={self.parts}, n_owned={self.n_owned}, "
                f"n_halo={self.n_halo})")


def _counts(cells_x: typing.Any, cells_y: typing.Any, parts: typing.Any) -> tuple[int, int, int]:
    """The lattice's cells and parts as integers in the compiled calls' range.

    Raises:
        TypeError: When one is not an integer.
        ArgumentError: When a count of cells is below 1 or past 64 bits, or
            ``parts`` below 1 or past 32 bits.
    """
    cells_x = errors.integer("cells_x", cells_x)
    cells_y = errors.integer("cells_y", cells_y)
    parts = errors.integer("parts", parts)
    for name, cells in (("cells_x", cells_x), ("cells_y", cells_y)):
        if not 1 <= cells <= _INT64_MAX:
            raise errors.refused("partition_lattice",
                                 f"{name} ({cells}) is below 1 or past 64 bits")
    if not 1 <= parts <= _INT32_MAX:
        raise errors.refused("partition_lattice", f"parts ({parts}) is below 1 or past 32 bits")
    return cells_x, cells_y, parts


def lattice_of_level(level: int) -> tuple[int, int, str]:
    """The lattice that a level's mesh is, to cut it into parts.

    ``build_lattice_part(cells_x, cells_y, dim_x, dim_y, pattern, part,
    parts)`` with these is a part of ``build(level, dim_x, dim_y)``.

    Args:
        level: A mesh level, 2 to 30.

    Returns:
        ``(cells_x, cells_y, pattern)``.

    Raises:
        ArgumentError: For a level outside 2 to 30 (level 1 is one cell cut by
            one diagonal, no lattice).
        TypeError: When ``level`` is not an integer.
    """
    level = errors.integer("level", level)
    if not 2 <= level <= 30:
        raise errors.refused("lattice_of_level",
                             f"level {level} is not a lattice's (accepted: 2 to 30)")
    cells_x, cells_y, pattern = _malha.lattice_of_level(level)
    return cells_x, cells_y, pattern.name


def partition_lattice(cells_x: int, cells_y: int, pattern: str, parts: int) -> LatticePartition:
    """How ``build_lattice_part`` cuts a lattice into ``parts`` parts.

    A grid of blocks whose counts are the factor pair of ``parts`` nearest
    each other that fits the cells, the larger along the side with more
    cells; the cells split as evenly as can be (whole 2 x 2 blocks for
    "fan").

    Args:
        cells_x: Cells along x, 1 or more (even for "fan").
        cells_y: Cells along y, 1 or more (even for "fan").
        pattern: "crossed" or "fan".
        parts: The parts, 1 or more.

    Returns:
        The partition.

    Raises:
        ArgumentError: For counts below 1, odd counts for "fan", more parts
            than a grid of blocks can give at least one cell (one 2 x 2
            block for "fan") each, or another pattern; the message says
            which and the limit.
        TypeError: When a count is not an integer or the pattern not a str.
    """
    cells_x, cells_y, parts = _counts(cells_x, cells_y, parts)
    pattern = _pattern("partition_lattice", pattern)
    return LatticePartition(_malha.partition_lattice(cells_x, cells_y, pattern, parts))


def build_lattice_part(cells_x: int | None = None, cells_y: int | None = None,
                       dim_x: float | None = None, dim_y: float | None = None,
                       pattern: str = "crossed", part: int | None = None,
                       parts: int | None = None, *, xs: typing.Any = None,
                       ys: typing.Any = None) -> MeshPart:
    """Builds one part of the lattice that ``build_lattice`` builds whole.

    The lattice is given as ``build_lattice`` takes it: by its cells and
    lengths, or by its lines ``xs`` and ``ys`` (a graded lattice), whose
    parts tile it as those of equal cells do; a part of a graded lattice
    holds the whole lattice's lines.

    Time and memory go in proportion to the part and its halo; nothing as
    large as the whole lattice is made, so the whole may have more than
    2**31 volumes as long as the part's own counts fit 32 bits. The
    interpreter lock is released while the part is built.

    Example:
        >>> part = malha.build_lattice_part(64, 32, 2.0, 1.0, "crossed", 1, 4)
        >>> part.n_owned, part.mesh.n_real_volumes - part.n_owned
        (2048, 48)

    Args:
        cells_x: Cells along x of the whole lattice, 1 or more (even for "fan").
        cells_y: Cells along y of the whole lattice, 1 or more (even for "fan").
        dim_x: The rectangle's length along x, finite.
        dim_y: The rectangle's length along y, finite.
        pattern: "crossed" or "fan".
        part: This part, 0 to ``parts - 1``.
        parts: The parts, as ``partition_lattice`` cuts them.
        xs: Instead of the counts and lengths, the lattice's vertical lines,
            as ``build_lattice`` takes them.
        ys: Its horizontal lines.

    Returns:
        The new part.

    Raises:
        ArgumentError: As ``partition_lattice``, for a length that is not
            finite, ``part`` outside 0 to ``parts - 1``, a part whose own
            counts pass 32 bits, or lines ``build_lattice`` refuses; the
            message says which and the limit.
        Error: ALLOCATE (A2001) when the tables do not fit in memory; MATH
            when a node or barycentre is beyond the largest double.
        TypeError: When a count is not an integer, a length not a real
            number or the pattern not a str.
    """
    lines = _given_lines("build_lattice_part", (cells_x, cells_y, dim_x, dim_y), xs, ys)
    if lines:
        # Fewer than 2 lines are the compiled call's refusal.
        cells_x, cells_y = (max(axis.size - 1, 1) for axis in lines)
    cells_x, cells_y, parts = _counts(cells_x, cells_y, parts)
    part = errors.integer("part", part)
    if not 0 <= part < parts:
        raise errors.refused("build_lattice_part", f"part ({part}) is outside 0 to {parts - 1}")
    if lines:
        return MeshPart(_malha.build_lattice_part_on_lines(
            *lines, _pattern("build_lattice_part", pattern), part, parts))
    dim_x = errors.real("dim_x", dim_x)
    dim_y = errors.real("dim_y", dim_y)
    pattern = _pattern("build_lattice_part", pattern)
    return MeshPart(_malha.build_lattice_part(cells_x, cells_y, dim_x, dim_y, pattern, part, parts))


def write_pvtu(path: str | os.PathLike[str], pieces: collections.abc.Sequence[str],
               fields: collections.abc.Mapping[str, int] | None = None) -> None:
    """Writes the parallel collection (".pvtu") of the pieces of a lattice's parts.

    One process writes it; VTK's parallel reader and ParaView open it as
    one grid with the cell data ``global_volume`` and the fields.

    Args:
        path: The collection's file; its folder must exist.
        pieces: The pieces' files (``MeshPart.write_vtu``), relative to the
            collection's folder.
        fields: Field name to its components, as the pieces hold them.

    Raises:
        ArgumentError: For no piece, a piece or field name that is empty or not
            printable ASCII without ``< > & " '``, a field name given twice or
            ``global_volume``, or components below 1.
        Error: OPEN or WRITE when the file cannot be written.
        TypeError: When ``path`` or a piece is not a path, or a name not a
            str, or components not an integer.
    """
    names = [os.fspath(errors.path("piece", piece)) for piece in pieces]
    pairs = []
    for name, components in (fields or {}).items():
        if not isinstance(name, str):
            raise TypeError(f"a field name must be a str, not {type(name).__name__}")
        components = errors.integer("components", components)
        if not 1 <= components <= _INT32_MAX:
            raise errors.refused("write_pvtu", f"field {name!r} has {components} components, "
                                 "fewer than 1 or past 32 bits")
        pairs.append((name, components))
    _malha.write_pvtu(errors.path("path", path), names, pairs)
