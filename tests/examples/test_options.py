"""The options of the four solver examples: one set, with one meaning.

Each option is accepted by each example it applies to, in Python and C++;
each pair that conflicts, and each option a run would ignore, is refused with
status 2 and one line naming them; --help prints the usage and exits 0; a run
on a lattice names its cells. The C++ rows need MALHA_POISSON_EXE and
MALHA_HEAT_EXE (the built examples/cpp/) and are skipped without them.
"""
import os
import subprocess
import sys
from pathlib import Path

import pytest

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
LANGUAGES = ("python", "cpp")
SMALL = {"poisson": ["--level", "4"], "heat": ["--level", "4", "--steps", "2"]}

# (example, options, the line printed holds / the refusal names)
ACCEPTED = [
    ("poisson", ["--cells", "8", "4"], "cells 8 x 4, pattern crossed"),
    ("poisson", ["--cells", "8", "4", "--pattern", "fan"], "cells 8 x 4, pattern fan"),
    ("poisson", ["--cells", "8", "4", "--grading", "20", "0.5"],
     "cells 8 x 4, pattern crossed, grading 20 x 0.5,"),
    ("poisson", ["--lengths", "1", "3"], "lengths 1 x 3"),
    ("poisson", ["--scheme", "two-point"], "scheme two-point"),
    ("poisson", ["--boundary", "mixed"], "boundary mixed"),
    ("poisson", ["--grid", "{tmp}/u.vtu"], "level 4"),
    ("heat", ["--cells", "8", "4", "--pattern", "fan"], "cells 8 x 4, pattern fan"),
    ("heat", ["--cells", "8", "4", "--grading", "3", "2", "--two-sided"],
     "grading 3 x 2 two-sided,"),
    ("heat", ["--lengths", "1", "3"], "1 x 3"),
    ("heat", ["--scheme", "two-point"], "two-point flux"),
    ("heat", ["--end", "0.05", "--every", "1"], "decay at t = 0.05"),
    ("heat", ["--folder", "{tmp}/series"], "3 steps written to"),
]
REFUSED = [
    ("poisson", ["--cells", "8", "4", "--level", "3"], ["--level", "--cells"]),
    ("poisson", ["--pattern", "fan"], ["--pattern"]),
    ("poisson", ["--grading", "2", "2"], ["--grading"]),
    ("heat", ["--cells", "8", "4", "--two-sided"], ["--two-sided"]),
    ("poisson", ["--steps", "3"], ["--steps"]),
    ("poisson", ["--scheme", "upwind"], ["--scheme"]),
    ("poisson", ["--level"], ["--level"]),
    ("heat", ["--cells", "8", "4", "--level", "3"], ["--level", "--cells"]),
    ("heat", ["--pattern", "crossed"], ["--pattern"]),
    ("heat", ["--boundary", "mixed"], ["--boundary"]),
    ("heat", ["--grid", "u.vtu"], ["--grid"]),
]
# The study is poisson.py's alone.
STUDY_REFUSED = [
    (["--study", "--level", "5"], ["--level"]),
    (["--study", "--scheme", "two-point"], ["--scheme"]),
    (["--study", "--pattern", "fan"], ["--pattern"]),
    (["--study", "--lattices", "--levels", "4", "5"], ["--levels"]),
    (["--json"], ["--json"]),
    (["--pictures", "run"], ["--pictures"]),
    (["--sizes", "2", "3"], ["--sizes"]),
]


def command(example, language):
    if language == "python":
        return [sys.executable, str(EXAMPLES / f"{example}.py")]
    exe = os.environ.get(f"MALHA_{example.upper()}_EXE")
    if not exe:
        pytest.skip(f"MALHA_{example.upper()}_EXE names no C++ {example} example")
    return [exe]


def run(example, language, options, folder):
    options = [o.replace("{tmp}", str(folder)) for o in options]
    return subprocess.run([*command(example, language), *options], cwd=folder,
                          capture_output=True, text=True, timeout=120)


@pytest.mark.parametrize("language", LANGUAGES)
@pytest.mark.parametrize("example, options, printed", ACCEPTED,
                         ids=[f"{e} {' '.join(o)}" for e, o, _ in ACCEPTED])
def test_option_is_accepted(tmp_path, language, example, options, printed):
    has_mesh = any(o in options for o in ("--level", "--cells"))
    done = run(example, language, ([] if has_mesh else SMALL[example]) + options, tmp_path)
    assert done.returncode == 0, done.stderr
    assert printed in done.stdout
    # Only a folder or file named on the command line receives output.
    named = {Path(o.replace("{tmp}/", "")).parts[0] for o in options if "{tmp}" in o}
    assert {p.name for p in tmp_path.iterdir()} == named


REFUSALS = [(language, *row) for language in LANGUAGES for row in REFUSED] + [
    ("python", "poisson", options, named) for options, named in STUDY_REFUSED]


@pytest.mark.parametrize("language, example, options, named", REFUSALS,
                         ids=[f"{lang} {e} {' '.join(o)}" for lang, e, o, _ in REFUSALS])
def test_conflicting_or_ignored_option_is_refused_in_one_line(tmp_path, language, example,
                                                              options, named):
    done = run(example, language, options, tmp_path)
    assert done.returncode == 2 and done.stdout == ""
    assert done.stderr.count("\n") == 1 and done.stderr.startswith(example), done.stderr
    for name in named:
        assert name in done.stderr
    assert not any(tmp_path.iterdir())


@pytest.mark.parametrize("language", LANGUAGES)
@pytest.mark.parametrize("example", ["poisson", "heat"])
def test_help_prints_the_usage(tmp_path, language, example):
    done = run(example, language, ["--help"], tmp_path)
    assert done.returncode == 0 and done.stderr == ""
    assert done.stdout.startswith("usage:")
    for option in ("--level", "--cells", "--pattern", "--lengths", "--scheme",
                   "--boundary" if example == "poisson" else "--folder"):
        assert option in done.stdout
