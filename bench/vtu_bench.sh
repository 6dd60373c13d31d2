#!/usr/bin/env bash
# write_vtu against dd writing the same number of bytes, in one run.
#
#   bench/vtu_bench.sh [-r repeats] [level]        (defaults: 5, level 20; lengths 2 x 1)
#
# Builds Release in build-bench/ (with the benchmark programs), then, in
# turn, R times: write_vtu of the level's mesh with two scalar cell fields
# into a fresh folder, timed inside its process (bench/vtu_bench.cpp), and
# dd writing as many bytes from /dev/zero in 1 MiB blocks into the same
# folder (dd's own figure). Prints the medians and their ratio. Compare
# figures within one run only; run it under `nice` on a shared machine.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
repeats=5
while [ $# -gt 0 ]; do
  case "$1" in
    -r) repeats="$2"; shift ;;
    *) break ;;
  esac
  shift
done
level="${1:-20}"
build="$source_dir/build-bench"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMALHA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target vtu_bench >/dev/null
work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT

source "$source_dir/bench/median.sh"
writer=()
copier=()
bytes=0
for ((i = 0; i < repeats; ++i)); do
  rm -f "$work/grid.vtu" "$work/dd.bin"
  read -r seconds bytes < <("$build/bench/vtu_bench" "$level" "$work/grid.vtu")
  writer+=("$seconds")
  rm -f "$work/grid.vtu"
  copier+=("$(LC_ALL=C dd if=/dev/zero of="$work/dd.bin" bs=1M count="$bytes" iflag=count_bytes 2>&1 |
              sed -n 's/.*copied, \([0-9.e-]*\) s.*/\1/p')")
  rm -f "$work/dd.bin"
done
w="$(printf '%s\n' "${writer[@]}" | median)"
d="$(printf '%s\n' "${copier[@]}" | median)"
printf 'level %s, 2 x 1, two fields, %s bytes, medians of %s\n' "$level" "$bytes" "$repeats"
printf '  write_vtu    %.4f s   (%s)\n' "$w" "${writer[*]}"
printf '  dd           %.4f s   (%s)\n' "$d" "${copier[*]}"
awk -v w="$w" -v d="$d" 'BEGIN { printf "  write_vtu / dd  %.3f\n", w / d }'
