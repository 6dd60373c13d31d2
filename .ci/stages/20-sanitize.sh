#!/usr/bin/env bash
# The whole test suite (the Python package's too) and one level-12 run under
# the address and undefined-behaviour sanitizers (the `sanitize` preset, no
# recovery). Any sanitizer report fails the stage: reports go to log files as
# well, so that one from a child process whose standard error a test captured
# still counts.
# The level-12 files must equal those of the release build of stage 10.
set -euo pipefail
root="$PWD"
logs="$(mktemp -d)"
runs="$(mktemp -d)"
trap 'rm -rf "$logs" "$runs"' EXIT
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=0:exitcode=86:log_path=$logs/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=86:log_path=$logs/ubsan"

cmake --preset sanitize
cmake --build --preset sanitize -j2 --target malha malha_tests malha_python
status=0
# ReadmeSnippets is left to the release build of stage 10: its C++ snippet
# installs the build, and this one builds only the targets above (no manual
# pages), and building the examples against it would add minutes for nothing
# the sanitizers could see. PoissonConvergence and ExampleOptions are left
# to it as well: the studies' solves and the examples' option readers add
# minutes here and no call of the library that PythonPackage and
# HeatExample do not make.
ctest --test-dir build-sanitize -j2 --output-on-failure \
  -E '^(ReadmeSnippets|PoissonConvergence|ExampleOptions)$' || status=1

mkdir "$runs/sanitized" "$runs/release"
(cd "$runs/sanitized" && printf '12\n1\n1\n0\n' | "$root/build-sanitize/malha" >/dev/null) || status=1
(cd "$runs/release" && printf '12\n1\n1\n0\n' | "$root/build/malha" >/dev/null) || status=1
bash "$root/.ci/same-files.sh" "$runs/release" "$runs/sanitized" || status=1
[ "$(ls "$runs/sanitized" | wc -l)" -eq 11 ] || { echo "level 12: not eleven files"; status=1; }

if compgen -G "$logs/*" >/dev/null; then
  echo "sanitizer reports:"
  cat "$logs"/*
  status=1
fi
exit "$status"
