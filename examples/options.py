"""The command line shared by the solver examples poisson.py and heat.py.

The options mean what they mean in the C++ examples (examples/cpp/options.h):
the mesh is a level's (--level L) or a lattice of NX x NY cells (--cells NX
NY, cut in --pattern crossed or fan), of the rectangle --lengths X Y, solved
with --scheme corrected or two-point. A command line that pairs options
which exclude each other, or gives one that the run would ignore, is refused
in one line naming them, status 2.
"""
import argparse

import malha
from diffusion import SCHEMES

PATTERNS = ("crossed", "fan")


class Parser(argparse.ArgumentParser):
    """An argument parser that refuses a command line in one line."""

    def error(self, message):
        """Print "PROG: MESSAGE (--help: usage)" and exit with status 2."""
        self.exit(2, f"{self.prog}: {message} (--help: usage)\n")

    def refuse(self, args, names, reason):
        """Refuse the options of names (attributes of args) that were given.

        Args:
            args: the parsed arguments; an option not given is None.
            names: the options' names, as on the command line.
            reason: what follows the names given, e.g. "only with --study".
        """
        given = [name for name in names if getattr(args, name[2:].replace("-", "_")) is not None]
        if given:
            self.error(f"{', '.join(given)}: {reason}")


def add_mesh_options(parser, level):
    """Add --level | --cells, --pattern, --lengths and --scheme to parser.

    Options not given stay None, so that a run can tell them from their
    defaults (mesh_defaults fills them in).

    Args:
        parser: a Parser.
        level: the default level.
    """
    group = parser.add_mutually_exclusive_group()
    group.add_argument("--level", type=int, metavar="L",
                       help=f"the mesh of level L, 2^L triangles (default {level})")
    group.add_argument("--cells", type=int, nargs=2, metavar=("NX", "NY"),
                       help="the lattice of NX x NY cells instead of a level")
    parser.add_argument("--pattern", choices=PATTERNS,
                        help="how the lattice's cells are cut (with --cells; default crossed)")
    parser.add_argument("--lengths", type=float, nargs=2, metavar=("X", "Y"),
                        help="the rectangle's sides (default 2 1)")
    parser.add_argument("--scheme", choices=SCHEMES,
                        help="the flux: two-point, or corrected by the gradients (the default)")
    parser.set_defaults(default_level=level)


def mesh_defaults(parser, args, lattices=False):
    """Refuse --pattern without --cells (unless lattices), then fill in the defaults.

    Args:
        parser: the Parser that read args.
        args: its parsed arguments.
        lattices: whether the run builds lattices of its own (--pattern applies).
    """
    if args.cells is None and not lattices:
        parser.refuse(args, ["--pattern"], "only with --cells")
    if args.level is None and args.cells is None:
        args.level = args.default_level
    args.pattern = args.pattern or PATTERNS[0]
    args.lengths = tuple(args.lengths or (2.0, 1.0))
    args.scheme = args.scheme or "corrected"


def build_mesh(args):
    """The mesh args name: malha.build of the level, or malha.build_lattice."""
    if args.cells is None:
        return malha.build(args.level, *args.lengths)
    return malha.build_lattice(*args.cells, *args.lengths, args.pattern)


def describe(args):
    """"level 10", or "cells 64 x 32, pattern crossed", as the C++ examples print."""
    if args.cells is None:
        return f"level {args.level}"
    return f"cells {args.cells[0]} x {args.cells[1]}, pattern {args.pattern}"
