#!/usr/bin/env bash
# A lattice against the level of as many volumes, in one run: the
# build_lattice_mesh call and the build_mesh call, each in a fresh process,
# taken in turn (A B A B ...), their in-process seconds' medians and ratio,
# then, from GNU time in a second set of paired runs, the median of the
# pairs' wall-time ratios and both peak memories.
#
#   bench/lattice.sh [-r repeats] [cells_x cells_y pattern level]
#                    (defaults: 9; 2048 512 crossed 22, lengths 2 x 1)
#
# Builds Release in build-bench/. Compare figures within one run only.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
repeats=9
if [ "${1:-}" = -r ]; then repeats="$2"; shift 2; fi
cells_x="${1:-2048}"
cells_y="${2:-512}"
pattern="${3:-crossed}"
level="${4:-22}"
build="$source_dir/build-bench"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMALHA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target build_mesh_bench >/dev/null
bench="$build/bench/build_mesh_bench"

source "$source_dir/bench/median.sh"
lattice=()
levels=()
for ((i = 0; i < repeats; ++i)); do
  lattice+=("$("$bench" --lattice "$cells_x" "$cells_y" 2 1 "$pattern" | cut -d' ' -f1)")
  levels+=("$("$bench" "$level" 2 1 | cut -d' ' -f1)")
done
a="$(printf '%s\n' "${lattice[@]}" | median)"
b="$(printf '%s\n' "${levels[@]}" | median)"
printf '%s x %s %s against level %s, 2 x 1, in-process medians of %s\n' \
  "$cells_x" "$cells_y" "$pattern" "$level" "$repeats"
printf '  build_lattice_mesh  %.4f s   (%s)\n' "$a" "${lattice[*]}"
printf '  build_mesh          %.4f s   (%s)\n' "$b" "${levels[*]}"
awk -v a="$a" -v b="$b" 'BEGIN { printf "  lattice / level     %.3f\n", a / b }'
if [ -x /usr/bin/time ]; then
  ratios=()
  peaks_a=()
  peaks_b=()
  for ((i = 0; i < repeats; ++i)); do
    /usr/bin/time -f '%e %M' -o "$build/lattice_a.txt" \
      "$bench" --lattice "$cells_x" "$cells_y" 2 1 "$pattern" >/dev/null
    /usr/bin/time -f '%e %M' -o "$build/lattice_b.txt" "$bench" "$level" 2 1 >/dev/null
    read -r wall_a peak_a <"$build/lattice_a.txt"
    read -r wall_b peak_b <"$build/lattice_b.txt"
    ratios+=("$(awk -v a="$wall_a" -v b="$wall_b" 'BEGIN { print a / b }')")
    peaks_a+=("$peak_a")
    peaks_b+=("$peak_b")
  done
  printf '  whole processes, %s pairs: wall lattice / level %.3f (median of the pairs),' \
    "$repeats" "$(printf '%s\n' "${ratios[@]}" | median)"
  printf ' peak %s KiB against %s KiB\n' "$(printf '%s\n' "${peaks_a[@]}" | median)" \
    "$(printf '%s\n' "${peaks_b[@]}" | median)"
fi
