"""Solutions in time out to VTK readers: ``malha.TimeSeries``."""

from __future__ import annotations

import collections.abc
import pathlib
import threading
import typing

import numpy.typing as npt

from . import _malha, errors
from .mesh import Mesh

if typing.TYPE_CHECKING:
    import os


class TimeSeries:
    """A solution in time: one VTK grid per step and a ParaView collection of them.

    ``malha::TimeSeries`` (``malha/vtk/vtu.h`` states its files, their
    order of renaming and what a failure or a kill leaves): each ``write``
    adds the step file "name_NNNN.vtu" and rewrites the collection
    "name.pvd", which ParaView opens as one series with a time slider.
    Usable as a context manager, which closes it: a closed series writes no
    more steps. It keeps its mesh alive. Threads may share a series: its
    steps are written one at a time.

    Example:
        >>> import os
        >>> import numpy as np
        >>> mesh = malha.build(8, 1.0, 1.0)
        >>> x, y = mesh.barycentres[:mesh.n_real_volumes].T
        >>> os.makedirs("out", exist_ok=True)
        >>> with malha.TimeSeries(mesh, "out", "heat") as series:
        ...     for step in range(10):
        ...         t = step / 10
        ...         _ = series.write(t, {"u": np.exp(-t) * x * y})
        >>> series.steps, series.collection_file.name
        (10, 'heat.pvd')

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
            Error: OPEN (F4001, "cannot open the folder") when ``folder``
                is not a folder that can be read, as when it is missing.
            TypeError: When ``mesh`` is not a ``Mesh``, ``folder`` not a
                path or ``name`` not a ``str``.
            ArgumentError: When ``name`` is empty or holds a character above.
        """
        if not isinstance(mesh, Mesh):
            raise TypeError(f"mesh must be a malha.Mesh, not {type(mesh).__name__}")
        if not isinstance(name, str):
            raise TypeError(f"name must be a str, not {type(name).__name__}")
        errors.encodable_name("series name", "TimeSeries", name)
        self.mesh = mesh
        self._series: _malha.TimeSeries | None = _malha.TimeSeries(
            mesh._mesh, errors.path("folder", folder), name,
            errors.vtu_options(include_fictitious, include_tables))
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
            ArgumentError: As ``Mesh.write_vtu``; when ``time`` is NaN,
                infinite, or not after the last step's; when the series is
                closed. No file is then touched.
        """
        time = errors.real("time", time)
        fields = errors.cell_fields("TimeSeries", cell_data)
        with self._lock:
            if self._series is None:
                raise errors.refused("TimeSeries", "the series is closed")
            self._series.write(time, fields)
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
