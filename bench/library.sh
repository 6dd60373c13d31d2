#!/usr/bin/env bash
# The library's build_mesh against the program's own processing-time record.
#
#   bench/library.sh [-r repeats] [level]        (defaults: 5, level 22; lengths 2 x 1)
#
# Builds Release in build-bench/ (with the benchmark programs), then, in
# turn, R runs of the program in a fresh folder (its processing-time record
# from dados_gerais.txt: sizing to barycentres, under the traps) and R calls
# of build_mesh, each in a fresh process (construction plus the finiteness
# check). Prints the medians and their ratio. Compare figures within one run
# only; run it under `nice` on a shared machine.
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
level="${1:-22}"
build="$source_dir/build-bench"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMALHA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target malha build_mesh_bench >/dev/null
work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT

source "$source_dir/bench/median.sh"
program=()
library=()
for ((i = 0; i < repeats; ++i)); do
  rm -rf "$work/run" && mkdir "$work/run"
  (cd "$work/run" && printf '%s\n2\n1\n0\n' "$level" | "$build/malha" >/dev/null)
  program+=("$(tail -c 20 "$work/run/dados_gerais.txt" | tr -d ' \r\n')")
  rm -rf "$work/run"
  library+=("$("$build/bench/build_mesh_bench" "$level" 2 1 | cut -d' ' -f1)")
done
p="$(printf '%s\n' "${program[@]}" | median)"
l="$(printf '%s\n' "${library[@]}" | median)"
printf 'level %s, 2 x 1, medians of %s\n' "$level" "$repeats"
printf '  program processing-time record  %.4f s   (%s)\n' "$p" "${program[*]}"
printf '  build_mesh                      %.4f s   (%s)\n' "$l" "${library[*]}"
awk -v p="$p" -v l="$l" 'BEGIN { printf "  build_mesh / program           %.3f\n", l / p }'
