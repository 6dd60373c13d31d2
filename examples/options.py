"""The command line shared by the solver examples poisson.py and heat.py.

The options mean what they mean in the C++ examples (examples/cpp/options.h):
the mesh is a level's (--level L) or a lattice of NX x NY cells (--cells NX
NY, cut in --pattern crossed or fan, graded by --grading RX RY, two-sided
with --two-sided), of the rectangle --lengths X Y, solved
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
    parser.add_argument("--grading", type=float, nargs=2, metavar=("RX", "RY"),
                        help="with --cells: cells graded along x and y, the last cell RX "
                        "(RY) times the first (malha.graded_lines)")
    parser.add_argument("--two-sided", action="store_const", const=True,
                        help="with --grading: cells fine at both ends, the middle cell RX "
                        "(RY) times the end ones (malha.two_sided_lines)")
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
        parser.refuse(args, ["--pattern", "--grading"], "only with --cells")
    if args.grading is None:
        parser.refuse(args, ["--two-sided"], "only with --grading")
    if args.level is None and args.cells is None:
        args.level = args.default_level
    args.pattern = args.pattern or PATTERNS[0]
    args.lengths = tuple(args.lengths or (2.0, 1.0))
    args.scheme = args.scheme or "corrected"


def build_lattice(cells, lengths, pattern, grading=None, two_sided=False):
    """The lattice of cells (NX, NY) on lengths, of equal cells or graded.

    Args:
        cells: (NX, NY).
        lengths: (X, Y).
        pattern: "crossed" or "fan".
        grading: None for equal cells, or (RX, RY): each axis's lines from
            malha.graded_lines (the last cell RX times the first), or with
            two_sided malha.two_sided_lines (the middle cell RX times the ends).
        two_sided: whether the grading is two-sided.
    """
    if grading is None:
        return malha.build_lattice(*cells, *lengths, pattern)
    lines = malha.two_sided_lines if two_sided else malha.graded_lines
    return malha.build_lattice(xs=lines(cells[0], lengths[0], grading[0]),
                               ys=lines(cells[1], lengths[1], grading[1]), pattern=pattern)


def build_mesh(args):
    """The mesh args name: malha.build of the level, or the lattice (build_lattice)."""
    if args.cells is None:
        return malha.build(args.level, *args.lengths)
    return build_lattice(args.cells, args.lengths, args.pattern, args.grading, args.two_sided)


def describe(args):
    """"level 10", or "cells 64 x 32, pattern crossed[, grading 20 x 1[ two-sided]]",
    as the C++ examples print."""
    if args.cells is None:
        return f"level {args.level}"
    graded = ("" if args.grading is None else f", grading {args.grading[0]:g} x "
              f"{args.grading[1]:g}" + (" two-sided" if args.two_sided else ""))
    return f"cells {args.cells[0]} x {args.cells[1]}, pattern {args.pattern}{graded}"
