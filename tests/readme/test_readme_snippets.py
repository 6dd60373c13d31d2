"""Every shell and Python snippet of README.md works as a user pastes it.

Shell snippets run in order as if pasted into one shell, in a fresh folder
that links the project's files and this build (MALHA_BUILD_DIR) as
``build``: each starts in the folder, and with the exported variables, that
the one before left, and answers the dialogue 5, 2, 1, 1 without a display.
Python snippets run each in a fresh folder. A snippet after
``<!-- README test: not run (why) -->`` is skipped with that reason. Last,
the snippets must have left no file that git does not ignore, and changed no
file of the project.
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


def git_status():
    """The project's `git status`, or None outside a git checkout."""
    done = subprocess.run(["git", "-C", str(SOURCE), "status", "--porcelain"],
                          capture_output=True, text=True)
    return done.stdout if done.returncode == 0 else None


@pytest.fixture(scope="module")
def project(tmp_path_factory):
    """A fresh folder that looks like the project's: its files, and the build;
    and the shell's state between snippets (its folder and exported variables)."""
    root = tmp_path_factory.mktemp("project")
    for entry in SOURCE.iterdir():
        if not (entry.name.startswith(("build", "out")) or entry.name in ("run", ".git")):
            (root / entry.name).symlink_to(entry)
    (root / "build").symlink_to(BUILD)
    state = tmp_path_factory.mktemp("shell")
    (state / "cwd").write_text(str(root))
    (state / "env").write_text("")
    return root, state, git_status()


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
    root, state, _ = project
    if language == "sh":
        # Where the last snippet left the shell, and what it exported.
        script = (f'. "{state}/env"\ncd "$(cat "{state}/cwd")"\n{text}'
                  f'pwd > "{state}/cwd"\nexport -p > "{state}/env"\n')
        command, folder = ["sh", "-ec", script], root
    else:
        env["PYTHONPATH"] = str(BUILD / "python")
        command, folder = [sys.executable, "-c", text], tmp_path
    done = subprocess.run(command, cwd=folder, env=env, input=b"5\n2\n1\n1\n",
                          capture_output=True, timeout=300)
    assert done.returncode == 0, (f"README.md:{line} failed, status {done.returncode}:\n{text}"
                                  f"\n{done.stdout.decode(errors='replace')}"
                                  f"\n{done.stderr.decode(errors='replace')}")


def test_snippets_leave_only_ignored_files(project):
    """Run after every snippet: what they wrote into the project's folder is
    ignored by git, and no file of the project changed."""
    root, _, status_before = project
    if status_before is None:
        pytest.skip("the project is not a git checkout")
    assert git_status() == status_before
    written = [p.name + ("/" if p.is_dir() else "") for p in root.iterdir() if not p.is_symlink()]
    for name in written:
        ignored = subprocess.run(["git", "-C", str(SOURCE), "check-ignore", "-q", name])
        assert ignored.returncode == 0, f"{name} is left behind, and git does not ignore it"
