#!/usr/bin/env bash
# The output tests, and one level-18 run, under the thread sanitizer (the
# `tsan` preset): the files' blocks are written on a thread of their own
# while the next are formatted. Any report fails the stage; reports go to log
# files as well, so that one from a child process whose standard error a test
# captured still counts. The level-18 files must equal those of the release
# build of stage 10.
set -euo pipefail
root="$PWD"
logs="$(mktemp -d)"
runs="$(mktemp -d)"
trap 'rm -rf "$logs" "$runs"' EXIT
export TSAN_OPTIONS="halt_on_error=1:exitcode=86:log_path=$logs/tsan"

cmake --preset tsan
cmake --build --preset tsan -j2
status=0
build-tsan/malha_tests \
  --gtest_filter='FileSink.*:OutputFilesEndToEnd.*:WriteNodeFiles.*:Run.*' ||
  status=1

mkdir "$runs/tsan" "$runs/release"
(cd "$runs/tsan" && printf '18\n2\n1\n0\n' | "$root/build-tsan/malha" >/dev/null) || status=1
(cd "$runs/release" && printf '18\n2\n1\n0\n' | "$root/build/malha" >/dev/null) || status=1
# A rerun over the same files compares them on the writing thread.
(cd "$runs/tsan" && printf '18\n2\n1\n0\n' | "$root/build-tsan/malha" >/dev/null) || status=1
bash "$root/.ci/same-files.sh" "$runs/release" "$runs/tsan" || status=1

if compgen -G "$logs/*" >/dev/null; then
  echo "thread sanitizer reports:"
  cat "$logs"/*
  status=1
fi
exit "$status"
