"""Structured triangular meshes of a rectangle, with ghost volumes, as numpy arrays.

``malha`` builds the mesh of the rectangle [0, dim_x] x [0, dim_y] in
2**level triangular volumes, or a lattice of any cells along each side
(``build_lattice``), for a cell-centred finite-volume solver, adds one
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
    >>> import os
    >>> os.makedirs("out", exist_ok=True)
    >>> mesh.write("out")             # the program's eleven files
    >>> malha.read("out").n_volumes
    48
    >>> mesh.to_meshio().write("malha.vtu")  # needs meshio
    >>> u = mesh.barycentres[:mesh.n_real_volumes, 0]  # one value per real volume
    >>> mesh.write_vtu("u.vtu", {"u": u})

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

Names:
    Python names are the C++ names of ``malha/malha.h``: every table and
    quantity keeps its C++ name; the functions are these (``Faces``'s
    names of the first releases stay one release as deprecated aliases):

    ================================  ===================================
    C++ (``malha/malha.h``)           Python
    ================================  ===================================
    ``build_mesh``                    ``malha.build``
    ``build_lattice_mesh``            ``malha.build_lattice``
    ``build_lattice_mesh(xs, ys)``    ``malha.build_lattice(xs=, ys=)``
    ``graded_lines``,                 ``malha.graded_lines``,
    ``two_sided_lines``               ``malha.two_sided_lines``
    ``write_mesh_files``              ``Mesh.write``
    ``read_mesh_files``               ``malha.read``
    ``Mesh`` fields and tables        ``Mesh`` attributes, same names
                                      (all but ``show_plots``)
    ``is_lattice`` (mesh/lattice.h)   ``Mesh.pattern is not None``
    (Python only: 0-based forms)      ``Mesh.triangles``, ``neighbours``,
                                      ``is_fictitious``
    ``build_faces``                   ``Mesh.faces()``
    ``Faces`` tables                  ``Faces`` attributes, same names
    ``face_geometry``                 ``Faces.face_midpoints``,
                                      ``face_deltas``,
                                      ``normal_distances``,
                                      ``non_orthogonality``
    ``gradient_weights`` and          ``Faces.cell_gradients``
    ``cell_gradients``
    (Python only: a side's run)       ``Faces.on_side``
    (Python only: square cells)       ``malha.square_cells``
    ``write_vtu``                     ``Mesh.write_vtu``
    ``TimeSeries``                    ``malha.TimeSeries``
    ``malha::Error``                  ``malha.Error``; ``ArgumentError``
                                      for LEVEL and ARGUMENT reports
    ``build_lattice_part``            ``malha.build_lattice_part``
    ``partition_lattice``             ``malha.partition_lattice``
    ``lattice_of_level``              ``malha.lattice_of_level``
    ``write_vtu`` of a ``MeshPart``   ``MeshPart.write_vtu``
    ``write_pvtu``                    ``malha.write_pvtu``
    ================================  ===================================

Parts:
    ``build_lattice_part`` builds one part of a lattice for a parallel
    solver, with its halo and global numbers (``malha.parts``), of a
    lattice of equal cells or on given lines (``xs=``, ``ys=``);
    ``MeshPart.write_vtu`` and ``write_pvtu`` write the pieces and their
    parallel collection.

Threads:
    ``build``, ``build_lattice``, ``read``, ``Mesh.write``, ``Mesh.faces``,
    ``Faces.cell_gradients``, ``Mesh.write_vtu`` and ``TimeSeries.write``
    release the interpreter lock while they work, so threads may build,
    write and read different meshes at the same time.

Failures:
    Every failure raises ``malha.Error``, whose message is the program's
    run-time error report (``report``: with the program's CR LF before and
    after it). A refused argument value, in every call, raises
    ``malha.ArgumentError``, which is both ``malha.Error`` (code ``S5001``
    for a level, ``S5002`` otherwise) and ``ValueError``: an integer out of
    range, a length or time that is not finite, a field or a name that
    cannot be written, tables that are not a mesh's. An argument of the
    wrong type raises ``TypeError``.
"""

from . import _malha
from .errors import ArgumentError, Error
from .faces import Faces
from .mesh import (Mesh, build, build_lattice, graded_lines, read, square_cells,
                   two_sided_lines)
from .parts import (LatticePartition, MeshPart, build_lattice_part, lattice_of_level,
                    partition_lattice, write_pvtu)
from .vtu import TimeSeries

__all__ = ["ArgumentError", "Error", "Faces", "LatticePartition", "Mesh", "MeshPart",
           "TimeSeries", "build", "build_lattice", "build_lattice_part", "graded_lines",
           "lattice_of_level", "partition_lattice", "read", "square_cells", "two_sided_lines",
           "write_pvtu"]

#: The package's version, that of the program.
__version__: str = "{}.{}".format(*_malha.version)

# The names are the package's own, wherever they are defined: help(), reprs
# and pickles call them malha.Mesh, malha.Error, ...
for _name in __all__:
    globals()[_name].__module__ = __name__
del _name
