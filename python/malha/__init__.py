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

Threads:
    ``build``, ``Mesh.write``, ``read``, ``Mesh.write_vtu`` and
    ``TimeSeries.write`` release the interpreter lock while they work, so
    threads may build, write and read different meshes at the same time.

Failures:
    Every failure of the mesh, of a file or of a read-back raises
    ``malha.Error``, whose message is the program's run-time error report
    (``report``: with the program's CR LF before and after it);
    arguments of the wrong type raise ``TypeError``, and a processing time
    that is NaN, infinite or negative ``ValueError``, as do the fields, names
    and times that ``Mesh.write_vtu`` and ``TimeSeries`` cannot write.
"""

from . import _malha
from .errors import Error
from .faces import Faces
from .mesh import (Mesh, build, build_lattice, graded_lines, read, square_cells,
                   two_sided_lines)
from .vtu import TimeSeries

__all__ = ["Error", "Faces", "Mesh", "TimeSeries", "build", "build_lattice", "graded_lines",
           "read", "square_cells", "two_sided_lines"]

#: The package's version, that of the program.
__version__: str = "{}.{}".format(*_malha.version)

# The names are the package's own, wherever they are defined: help(), reprs
# and pickles call them malha.Mesh, malha.Error, ...
for _name in __all__:
    globals()[_name].__module__ = __name__
del _name
