#!/usr/bin/env bash
# Times malha-vtk on the files of runs at the given mesh levels (default
# 16 18 20), lengths 2 and 1: wall time and peak resident memory of the
# conversion, the bytes of the four mesh arrays it holds (node_coords,
# volume_nodes, volume_neighbours, barycentres) and the ratio of the two,
# and the size of malha.vtu.
#
#   bench/vtk_levels.sh [-b build folder] [-r repeats] [level ...]
#
# Needs GNU time as /usr/bin/time (Debian package "time").
set -euo pipefail

build="$(dirname "$0")/../build"
repeats=3
while getopts "b:r:" opt; do
  case "$opt" in
    b) build="$OPTARG" ;;
    r) repeats="$OPTARG" ;;
    *) echo "usage: $0 [-b build] [-r repeats] [level ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
levels=("$@")
[ "${#levels[@]}" -gt 0 ] || levels=(16 18 20)

if [ ! -x /usr/bin/time ]; then
  echo "GNU time is missing: apt-get install time" >&2
  exit 2
fi
build="$(realpath "$build")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

printf '%-6s %10s %12s %12s %12s %12s\n' level wall_s peak_MiB arrays_MiB peak/arrays vtu_MiB
for level in "${levels[@]}"; do
  dir="$work/level-$level"
  mkdir -p "$dir"
  (cd "$dir" && printf '%s\n2\n1\n0\n' "$level" | COMSPEC=true "$build/malha" >/dev/null)
  n_nodes="$(sed -n 1p "$dir/dados.ent" | tr -d ' \r')"
  n_volumes="$(sed -n 2p "$dir/dados.ent" | tr -d ' \r')"
  arrays=$((n_nodes * 16 + n_volumes * (12 + 12 + 16)))
  for ((i = 0; i < repeats; i++)); do
    /usr/bin/time -v -o "$work/time.txt" "$build/malha-vtk" "$dir" >/dev/null
    wall="$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt" |
      awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')"
    peak_kib="$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")"
    awk -v l="$level" -v w="$wall" -v k="$peak_kib" -v a="$arrays" -v v="$(wc -c <"$dir/malha.vtu")" \
      'BEGIN { printf "%-6s %10s %12.1f %12.1f %12.2f %12.1f\n", l, w, k / 1024, a / 1048576, k * 1024 / a, v / 1048576 }'
  done
  rm -rf "$dir"
done
