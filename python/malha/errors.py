"""The errors of ``malha`` and the checks of the arguments its calls take.

Internal to the package: ``Error`` is ``malha.Error`` and ``ArgumentError``
``malha.ArgumentError``. The checks turn an argument of the wrong type into
``TypeError`` and one of the wrong value into ``ArgumentError`` before the
compiled core sees it; ``error_of`` picks the class of the core's reports.
"""

from __future__ import annotations

import collections.abc
import math
import numbers
import operator
import os
import typing

import numpy as np

from . import _malha


class Error(Exception):
    """A run-time error report: the one way an operation of ``malha`` fails.

    The message (``str(error)``) is the report's two lines,
    ``run-time error CODE: OPERATION``, CR LF, ``- DESCRIPTION``, and where
    the library says more (``detail``), a third line ``- DETAIL``; ``report``
    holds the report exactly as the program prints it on standard error,
    with a CR LF before and after its two lines.

    Attributes:
        report: The report's exact text, as the program frames it.
        code: The report's code, a letter and four digits: ``"S5001"`` for a
            level outside 1 to 30 (LEVEL), ``"S5002"`` for any other refused
            argument (ARGUMENT), both raised as ``ArgumentError``;
            ``"A2001"`` for memory, ``"M3001"`` to ``"M3003"`` for a
            non-finite value in the mesh and ``"M3004"`` for an area below
            the smallest double, ``"F4001"`` to ``"F4007"`` for files.
        operation: What failed, for example ``"LEVEL"``, ``"ALLOCATE"``,
            ``"MATH"``, ``"OPEN(out/dados_malha.txt)"`` or
            ``"READ(dados.ent)"``.
        description: The report's one-line description, for example
            ``"cannot write the file: No space left on device"``.
        detail: What the library adds beyond the report, or ``""``: for
            A2001, the bytes the tables need and those the process can
            obtain (the smallest of the memory available, the cgroup's
            limit and the address-space limit).
    """

    def __init__(self, message: str, code: str = "", operation: str = "",
                 description: str = "", detail: str = "") -> None:
        """Makes the error of a report; ``malha`` raises it, callers catch it.

        Args:
            message: The report, with or without the program's CR LF before
                and after it.
            code: The report's code.
            operation: What failed.
            description: The report's description.
            detail: What the library adds beyond the report.
        """
        text = message.strip("\r\n")
        super().__init__(text + "\r\n- " + detail if detail else text)
        self.report = message
        self.code = code
        self.operation = operation
        self.description = description
        self.detail = detail

    def __reduce__(self):
        return (type(self),
                (self.report, self.code, self.operation, self.description, self.detail))


class ArgumentError(Error, ValueError):
    """An argument that a call of ``malha`` refuses: the one error of a wrong value.

    Every refusal of an argument's value (a count or level out of range, a
    length that is not finite, a field of the wrong length, a name that
    cannot be written, tables that are not a mesh's) raises it, whether the
    compiled core or the Python layer refuses. It is a ``malha.Error``,
    with the report's code ``"S5001"`` (LEVEL, a level outside 1 to 30) or
    ``"S5002"`` (``ARGUMENT(function)``), and a ``ValueError``. An argument
    of the wrong type raises ``TypeError`` instead.
    """


# The codes of the reports that refuse an argument: LEVEL and ARGUMENT.
_ARGUMENT_CODES = frozenset(("S5001", "S5002"))


def error_of(report: str, code: str, operation: str, description: str,
             detail: str = "") -> Error:
    """The exception of a report of the compiled core: ``ArgumentError`` or ``Error``.

    Args:
        report: The report as the program prints it.
        code: The report's code.
        operation: What failed.
        description: The report's description.
        detail: What the library adds beyond the report.

    Returns:
        An ``ArgumentError`` for the LEVEL and ARGUMENT reports, else an
        ``Error``.
    """
    kind = ArgumentError if code in _ARGUMENT_CODES else Error
    return kind(report, code, operation, description, detail)


def refused(function: str, description: str) -> ArgumentError:
    """The ``ArgumentError`` of a refusal the Python layer makes, for ``raise``.

    Args:
        function: The refusing call's name, as the report names it.
        description: Why the argument is refused.

    Returns:
        The ARGUMENT report (S5002) of ``function``, made by the compiled
        core, so that it has the form of the core's own refusals.
    """
    try:
        _malha.refuse(function, description)
    except ArgumentError as error:
        return error
    raise AssertionError("_malha.refuse returned")


def integer(name: str, value: typing.Any) -> int:
    """The integer an argument holds.

    Args:
        name: The argument's name, for the message.
        value: The argument: an ``int`` or anything with ``__index__``.

    Returns:
        ``value`` as an ``int``.

    Raises:
        TypeError: When ``value`` is not an integer.
    """
    try:
        value = operator.index(value)
    except TypeError:
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None
    return value


def real(name: str, value: typing.Any) -> float:
    """The number an argument holds, as a float.

    Args:
        name: The argument's name, for the message.
        value: The argument: a real number (``numbers.Real``).

    Returns:
        ``float(value)``, which may be NaN or infinite.

    Raises:
        TypeError: When ``value`` is not a real number.
    """
    if not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a real number, not {type(value).__name__}")
    return float(value)


def seconds(name: str, value: typing.Any) -> float:
    """The seconds an argument holds, for a processing-time record.

    Args:
        name: The argument's name, for the message.
        value: The argument: a real number, finite and not negative.

    Returns:
        ``value`` as a float, with -0.0 made 0.0.

    Raises:
        TypeError: When ``value`` is not a real number.
        ArgumentError: When ``value`` is NaN, infinite or negative.
    """
    value = real(name, value)
    if not (math.isfinite(value) and value >= 0.0):
        raise refused("write_mesh_files",
                      f"{name} must be a finite number of seconds, not negative: {value!r}")
    return value + 0.0  # -0.0 becomes 0.0, the record of no time at all


def path(name: str, value: typing.Any) -> str | bytes:
    """The file system path an argument holds.

    Args:
        name: The argument's name, for the message.
        value: The argument: a ``str``, ``bytes`` or ``os.PathLike``.

    Returns:
        ``os.fspath(value)``.

    Raises:
        TypeError: When ``value`` is not a path.
    """
    try:
        return os.fspath(value)
    except TypeError:
        raise TypeError(f"{name} must be a path, not {type(value).__name__}") from None


def vtu_options(include_fictitious: typing.Any, include_tables: typing.Any) -> _malha.VtuOptions:
    """The compiled grid options of the two flags, each taken for its truth."""
    return _malha.VtuOptions(bool(include_fictitious), bool(include_tables))


def encodable_name(what: str, function: str, name: str) -> None:
    """Refuses a name without UTF-8 bytes; the core refuses the other non-ASCII names.

    Args:
        what: What the name names, for the message ("field name").
        function: The refusing call's name.
        name: The name.

    Raises:
        ArgumentError: When ``name`` holds a lone surrogate, which UTF-8
            cannot encode.
    """
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:
        raise refused(function, f"{what} {name!r} is not printable ASCII") from None


def cell_fields(function: str, cell_data: typing.Any) -> list[tuple[str, np.ndarray]]:
    """The (name, float64 array in row order) pairs of a mapping of cell data.

    Leaves the count of rows and the names' characters to the writer, whose
    ARGUMENT report is an ``ArgumentError`` as well.

    Args:
        function: The refusing call's name.
        cell_data: ``None`` or a mapping of field name to values.

    Returns:
        The pairs in the mapping's order; none for ``None``.

    Raises:
        TypeError: When ``cell_data`` is not a mapping, a name not a ``str``
            or values not real numbers.
        ArgumentError: When a name cannot be encoded or a field has not one
            or two dimensions.
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
        encodable_name("field name", function, name)
        array = np.asarray(values)
        if array.dtype.kind not in "biuf":
            raise TypeError(f"field {name!r} must hold real numbers, not {array.dtype}")
        if array.ndim not in (1, 2):
            raise refused(function, f"field {name!r} has {array.ndim} dimensions: give one value "
                          "per volume, or one row of components per volume")
        fields.append((name, np.ascontiguousarray(array, dtype=np.float64)))
    return fields
