#!/usr/bin/python3
"""Reruns in a folder that holds an earlier run's files, killed by SIGKILL
while they write, leave no file that mixes the two runs.

    reruns_under_kill.py MALHA [--windows MALHA_EXE] [--signal KILL|INT]
                               [--kills N] [--reruns N]

The folder is first filled with a complete level-16 run (lengths 2 and 1).
Three reruns over it, two with other lengths and one with a lower level, are
each killed at 20 moments spread over their writing: a moment is a count of
bytes the process has written (its "wchar" in /proc), from 2.5 % to 97.5 %
of the rerun's output. After each kill, every one of the eleven files must
be the earlier run's file whole, or a prefix of the rerun's file (both are
made complete in folders of their own), and the folder must hold nothing
else but, at most, one empty file under a hidden temporary name (a kill
between its creation and its rename). A file that is neither is reported
with the record at which it leaves the rerun's bytes and what follows there.
A fourth rerun repeats the earlier run over its own files and is stopped at
moments spread over its comparing (a count of bytes read, "rchar"): every
file must then be whole (not with --windows, where a rerun replaces each
file at its first block), but for the one file whose bytes it changes,
which after a SIGKILL may hold a beginning of the rerun's bytes, as a
replaced file may.

With --windows, the reruns that are stopped are MALHA_EXE run under wine
(whose settings come from the environment), against complete files made by
MALHA; --signal INT sends an interrupt in place of SIGKILL (under wine, the
console's control event); --kills and --reruns take fewer moments and the
first reruns only.

Exits 77 (the test is skipped) where /proc gives no write counts.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

FILES = [
    "dados_malha.txt", "nos_malha.txt", "malha.txt", "nos_conectividade.txt",
    "malha_real.txt", "vol_conectividades.txt", "baricentros.txt", "dados.ent",
    "conectividades.ent", "baricentros.ent", "dados_gerais.txt",
]
EARLIER = ("16", "2", "1")
RERUNS = [("16", "3", "1"), ("16", "1", "5"), ("15", "2", "1")]
KILLS = 20
# The processing-time value of "dados_gerais.txt": columns 30 to 47 of its
# fifth record, after four count records of 37 characters and a line end.
TIME_AT = 4 * 39 + 29
TIME_FIELD_EXAMPLE = b"   0.000000000E+00"
TIME_FIELD = re.compile(rb" {3}\d\.\d{9}(E[+-]\d{2}|[+-]\d{3})")
# A kill that has not come after this many seconds ends the test.
RUN_LIMIT_S = 20.0


def answers(run):
    """The console answers of a run: level, lengths, no plots.

    Args:
        run: (level, dim_x, dim_y) as texts.

    Returns:
        The bytes for standard input.
    """
    return ("\n".join(run) + "\n0\n").encode()


def complete_run(malha, run, folder):
    """Runs malha to its end in `folder` and returns its eleven files.

    Args:
        malha: path of the program.
        run: (level, dim_x, dim_y).
        folder: an empty folder.

    Returns:
        A dict from file name to bytes.

    Raises:
        subprocess.CalledProcessError: the run failed.
    """
    folder.mkdir()
    subprocess.run([malha], input=answers(run), cwd=folder, check=True,
                   stdout=subprocess.DEVNULL, timeout=RUN_LIMIT_S)
    return {name: (folder / name).read_bytes() for name in FILES}


def written_bytes(pid, counter=b"wchar:"):
    """Bytes the process has passed to write calls so far (or to read calls,
    with counter b"rchar:"), or None once it has gone."""
    try:
        with open(f"/proc/{pid}/io", "rb") as io:
            for line in io:
                if line.startswith(counter):
                    return int(line.split()[1])
    except (FileNotFoundError, ProcessLookupError):
        return None
    return None


def killed_run(command, run, folder, at_bytes, stop_signal, counter=b"wchar:"):
    """Starts a rerun in `folder` and stops it once it has written
    `at_bytes` bytes.

    Args:
        command: the program and any launcher before it, as a list.
        run: (level, dim_x, dim_y).
        folder: the folder with the earlier run's files.
        at_bytes: the write count at which the signal is sent.
        stop_signal: the signal that stops the run.
        counter: the /proc count that `at_bytes` is compared with.

    Returns:
        True when the signal came before the run ended by itself.

    Raises:
        RuntimeError: the run hung, or ended in another way.
    """
    # A run that ends before the signal starts no viewer: COMSPEC names no
    # program (Windows), and Linux has no cmd.exe.
    environment = dict(os.environ, COMSPEC="C:\\no\\such\\processor.exe")
    process = subprocess.Popen(command, stdin=subprocess.PIPE, cwd=folder,
                               stdout=subprocess.DEVNULL, env=environment)
    process.stdin.write(answers(run))
    process.stdin.close()
    deadline = time.monotonic() + RUN_LIMIT_S
    while process.poll() is None:
        count = written_bytes(process.pid, counter)
        if count is not None and count >= at_bytes:
            process.send_signal(stop_signal)
            break
        if time.monotonic() > deadline:
            process.kill()
            raise RuntimeError(f"run {run} did not reach {at_bytes} bytes")
    try:
        status = process.wait(timeout=RUN_LIMIT_S)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        # Under wine a console control event now and then leaves the process
        # hanging (seen with builds before and after the files were
        # replaced); the kill is then the stop whose files are checked.
        if command[0] != "wine":
            raise RuntimeError(f"run {run} did not end after the signal") from None
        print(f"run {run}: still running {RUN_LIMIT_S:.0f} s after the signal under wine, killed")
        return True
    # Under wine an interrupted run ends with the status of its exit call.
    if status not in (0, -stop_signal):
        raise RuntimeError(f"run {run} ended with status {status}")
    return status == -stop_signal


def record_at(data, offset):
    """The 1-based number of the record that holds byte `offset`."""
    return data.count(b"\n", 0, offset) + 1


def first_difference(a, b):
    """The first offset at which `a` and `b` differ (within the shorter)."""
    low, high = 0, min(len(a), len(b))
    # Halving on equal prefixes finds the offset in C-speed comparisons.
    while low < high:
        middle = (low + high + 1) // 2
        if a[:middle] == b[:middle]:
            low = middle
        else:
            high = middle - 1
    return low


def with_new_time(data, new):
    """"dados_gerais.txt" with the rerun's time value in place of its own.

    The processing time differs from run to run; in a complete file it must
    be a time field, which is then compared as the rerun's.

    Args:
        data: what the file holds.
        new: the rerun's complete file.

    Returns:
        `data` with the time value of `new` where `data` holds one.
    """
    end = TIME_AT + len(TIME_FIELD_EXAMPLE)
    if len(data) < end or not TIME_FIELD.fullmatch(data[TIME_AT:end]):
        return data
    return data[:TIME_AT] + new[TIME_AT:end] + data[end:]


def check_file(name, data, earlier, new, whole=False):
    """The fault in one file after a kill, or None.

    Args:
        name: the file name.
        data: what the file holds.
        earlier: the earlier run's complete file.
        new: the rerun's complete file.
        whole: only `earlier` or `new` whole will do (a repeated run).

    Returns:
        None when `data` is `earlier` whole or a prefix of `new`; otherwise
        a description of where it leaves the rerun's records.
    """
    if data == earlier:
        return None
    if name == "dados_gerais.txt":
        data = with_new_time(data, new)
    if data == new or (new.startswith(data) and not whole):
        return None
    if whole:
        return f"{name}: {len(data)} of {len(new)} bytes, not whole"
    at = first_difference(data, new)
    record = record_at(data, at)
    if data[at:] == earlier[at:len(data)]:
        rest = "the earlier run's records"
    else:
        rest = "bytes of neither run"
    return (f"{name}: {len(data)} bytes, the rerun's bytes up to record {record}, "
            f"then {rest}")


def check_folder(folder, earlier, new, whole=False, killed=False):
    """Every fault in the folder after a kill (an empty list when none).

    Args:
        folder: the rerun's folder.
        earlier: the earlier run's files by name.
        new: the rerun's complete files by name.
        whole: every file must be whole (a repeated run).
        killed: the stop was SIGKILL. A file whose bytes the repeated run
            changes ("dados_gerais.txt", by its processing time) is then
            replaced as any rerun replaces a file, and may hold a beginning
            of the rerun's bytes; only an interrupt is waited for until the
            new file is whole.

    Returns:
        A list of descriptions, and whether some file was between the two
        runs' complete files (the kill came while the rerun was writing).
    """
    faults = []
    between = False
    for name in FILES:
        path = folder / name
        if not path.exists():
            faults.append(f"{name}: missing")
            continue
        data = path.read_bytes()
        must_be_whole = whole and not (killed and earlier[name] != new[name])
        fault = check_file(name, data, earlier[name], new[name], must_be_whole)
        if fault:
            faults.append(fault)
        if name == "dados_gerais.txt":
            data = with_new_time(data, new[name])
        if data != earlier[name] and data != new[name]:
            between = True
    others = sorted(set(os.listdir(folder)) - set(FILES))
    temporaries = [n for n in others if n.startswith(".") and (folder / n).stat().st_size == 0]
    if len(temporaries) > 1 or len(others) > len(temporaries):
        faults.append(f"files besides the eleven: {others}")
    return faults, between


def main():
    """Runs the kills; exit status 0 when no file mixed two runs."""
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("malha")
    parser.add_argument("--windows", metavar="MALHA_EXE")
    parser.add_argument("--signal", choices=["KILL", "INT"], default="KILL")
    parser.add_argument("--kills", type=int, default=KILLS)
    parser.add_argument("--reruns", type=int, default=len(RERUNS))
    options = parser.parse_args()
    malha = os.path.abspath(options.malha)
    command = [malha]
    if options.windows:
        command = ["wine", os.path.abspath(options.windows)]
    stop_signal = signal.SIGKILL if options.signal == "KILL" else signal.SIGINT
    kills = options.kills
    if written_bytes(os.getpid()) is None:
        print("skipped: /proc/PID/io is not available")
        return 77
    failures = 0
    with tempfile.TemporaryDirectory(prefix="malha-reruns-") as scratch:
        scratch = Path(scratch)
        earlier = complete_run(malha, EARLIER, scratch / "earlier")
        reruns = RERUNS[:options.reruns] + ([] if options.windows else [EARLIER])
        for index, run in enumerate(reruns):
            new = complete_run(malha, run, scratch / f"new-{index}")
            total = sum(len(data) for data in new.values())
            # The repeated run reads the files while it compares them.
            repeated = run == EARLIER
            counter = b"rchar:" if repeated else b"wchar:"
            mid_writing = 0
            for kill in range(kills):
                folder = scratch / "rerun"
                shutil.rmtree(folder, ignore_errors=True)
                folder.mkdir()
                for name in FILES:
                    (folder / name).write_bytes(earlier[name])
                at_bytes = total * (2 * kill + 1) // (2 * kills)
                stopped = killed_run(command, run, folder, at_bytes, stop_signal, counter)
                faults, between = check_folder(folder, earlier, new, repeated,
                                               stop_signal == signal.SIGKILL)
                mid_writing += stopped if repeated else between
                for fault in faults:
                    print(f"level {run[0]}, {run[1]} x {run[2]}, stopped at {at_bytes} bytes: "
                          f"{fault}")
                failures += len(faults)
            print(f"level {run[0]}, {run[1]} x {run[2]}: {kills} times SIG{options.signal}, "
                  f"{mid_writing} while writing")
            # Signals that all came after the end would check nothing.
            if mid_writing < kills // 2:
                print("too few kills came while the rerun was writing")
                failures += 1
    print(f"{failures} faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
