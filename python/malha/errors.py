"""The one error of ``malha`` and the checks of the arguments its calls take.

Internal to the package: ``Error`` is ``malha.Error``; the checks turn an
argument of the wrong type or value into ``TypeError`` or ``ValueError``
before the compiled core sees it.
"""

from __future__ import annotations

import math
import numbers
import operator
import os
import typing


class Error(Exception):
    """A run-time error report: the one way an operation of ``malha`` fails.

    The message (``str(error)``) is the report's two lines,
    ``run-time error CODE: OPERATION``, CR LF, ``- DESCRIPTION``; ``report``
    holds the report exactly as the program prints it on standard error,
    with a CR LF before and after those lines.

    Attributes:
        report: The report's exact text, as the program frames it.
        code: The report's code, a letter and four digits: ``"S5001"`` for a
            level outside 1 to 30, ``"S5002"`` for arguments that are not a
            mesh's (ARGUMENT), ``"A2001"`` for memory, ``"M3001"`` to
            ``"M3003"`` for a non-finite value in the mesh and ``"M3004"``
            for an area below the smallest double, ``"F4001"`` to
            ``"F4007"`` for files.
        operation: What failed, for example ``"LEVEL"``, ``"ALLOCATE"``,
            ``"MATH"``, ``"OPEN(out/dados_malha.txt)"`` or
            ``"READ(dados.ent)"``.
        description: The report's one-line description, for example
            ``"cannot write the file: No space left on device"``.
    """

    def __init__(self, message: str, code: str = "", operation: str = "",
                 description: str = "") -> None:
        """Makes the error of a report; ``malha`` raises it, callers catch it.

        Args:
            message: The report, with or without the program's CR LF before
                and after it.
            code: The report's code.
            operation: What failed.
            description: The report's description.
        """
        super().__init__(message.strip("\r\n"))
        self.report = message
        self.code = code
        self.operation = operation
        self.description = description

    def __reduce__(self):
        return (type(self), (self.report, self.code, self.operation, self.description))


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
        ValueError: When ``value`` is NaN, infinite or negative.
    """
    value = real(name, value)
    if not (math.isfinite(value) and value >= 0.0):
        raise ValueError(f"{name} must be a finite number of seconds, not negative: {value!r}")
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


def value_error_on_refusal(call: typing.Callable[..., typing.Any],
                           *args: typing.Any) -> typing.Any:
    """Calls ``call``; its ARGUMENT report (S5002) becomes a ``ValueError``.

    Args:
        call: A compiled call that may refuse its arguments with S5002.
        *args: The arguments of ``call``.

    Returns:
        What ``call`` returns.

    Raises:
        ValueError: When ``call`` raises ``Error`` S5002; the message is the
            report's description.
        Error: Any other report of ``call``, as it is.
    """
    try:
        return call(*args)
    except Error as error:
        if error.code != "S5002":
            raise
        message = error.description
    raise ValueError(message)
