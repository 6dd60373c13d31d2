"""Every shell and Python snippet of README.md works as a user pastes it.

Shell snippets run in order, each from a fresh folder that links the
project's files and this build (MALHA_BUILD_DIR) as ``build``, answering the
dialogue 5, 2, 1, 1 without a display; Python snippets each in a fresh
folder. A snippet after ``<!-- README test: not run (why) -->`` is skipped
with that reason.
"""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

SOURCE = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("MALHA_BUILD_DIR", SOURCE / "build"))
NOT_RUN = re.compile(r"<!-- README test: not run \((.+)\) -->")


def snippets():
    """(line, language, text, reason not run or None) of each sh and python block."""
    lines = (SOURCE / "README.md").read_text(encoding="utf-8").splitlines()
    found, number = [], 0
    while number < len(lines):
        fence = re.fullmatch(r"```(sh|python)", lines[number])
        if fence:
            end = lines.index("```", number + 1)
            marker = NOT_RUN.fullmatch(lines[number - 1]) if number > 0 else None
            found.append((number + 1, fence.group(1), "\n".join(lines[number + 1:end]) + "\n",
                          marker.group(1) if marker else None))
            number = end
        number += 1
    return found


SNIPPETS = snippets()


@pytest.fixture(scope="module")
def project(tmp_path_factory):
    """A fresh folder that looks like the project's: its files, and the build."""
    root = tmp_path_factory.mktemp("project")
    for entry in SOURCE.iterdir():
        if not (entry.name.startswith("build") or entry.name in ("run", ".git")):
            (root / entry.name).symlink_to(entry)
    (root / "build").symlink_to(BUILD)
    return root


def environment():
    env = {name: value for name, value in os.environ.items()
           if name not in ("DISPLAY", "WAYLAND_DISPLAY", "COMSPEC", "PAGER", "EDITOR", "VISUAL",
                           "PYTHONPATH")}
    # The examples' "env python3" is the Python the package is built for.
    env["PATH"] = str(Path(sys.executable).parent) + os.pathsep + env.get("PATH", "")
    return env


@pytest.mark.parametrize("line, language, text, reason", SNIPPETS,
                         ids=[f"README.md:{s[0]}" for s in SNIPPETS])
def test_snippet_works(project, tmp_path, line, language, text, reason):
    if reason:
        pytest.skip(reason)
    if "gnuplot -e" in text and not shutil.which("gnuplot"):
        pytest.skip("no gnuplot: apt-get install gnuplot-nox")
    env = environment()
    if language == "sh":
        command, folder = ["sh", "-ec", text], project
    else:
        env["PYTHONPATH"] = str(BUILD / "python")
        command, folder = [sys.executable, "-c", text], tmp_path
    done = subprocess.run(command, cwd=folder, env=env, input=b"5\n2\n1\n1\n",
                          capture_output=True, timeout=300)
    assert done.returncode == 0, (f"README.md:{line} failed, status {done.returncode}:\n{text}"
                                  f"\n{done.stdout.decode(errors='replace')}"
                                  f"\n{done.stderr.decode(errors='replace')}")
