#!/usr/bin/env bash
# Times complete runs of malha at the given mesh levels (default 16 18 20),
# each in a fresh temporary directory with lengths 2 and 1 and no plots:
# wall time, peak resident memory, the construction time the run itself
# reports, and the bytes of the eleven output files.
#
#   bench/run_levels.sh [-e path/to/malha] [-r repeats] [level ...]
#
# Needs GNU time as /usr/bin/time (Debian package "time").
set -euo pipefail

exe="$(dirname "$0")/../build/malha"
repeats=1
while getopts "e:r:" opt; do
  case "$opt" in
    e) exe="$OPTARG" ;;
    r) repeats="$OPTARG" ;;
    *) echo "usage: $0 [-e malha] [-r repeats] [level ...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
levels=("$@")
[ "${#levels[@]}" -gt 0 ] || levels=(16 18 20)

if [ ! -x /usr/bin/time ]; then
  echo "GNU time is missing: apt-get install time" >&2
  exit 2
fi
exe="$(realpath "$exe")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

printf '%-6s %10s %12s %14s %16s\n' level wall_s peak_MiB construction_s bytes_written
for level in "${levels[@]}"; do
  for ((i = 0; i < repeats; i++)); do
    dir="$work/level-$level"
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && printf '%s\n2\n1\n0\n' "$level" |
      /usr/bin/time -v -o "$work/time.txt" "$exe" >/dev/null)
    wall="$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt" |
      awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')"
    peak_kib="$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")"
    construction="$(awk '/tempo de processamento/ {print $NF}' "$dir/dados_gerais.txt" | tr -d '\r')"
    bytes="$(cat "$dir"/*.txt "$dir"/*.ent | wc -c)"
    printf '%-6s %10s %12.1f %14s %16s\n' "$level" "$wall" "$(awk -v k="$peak_kib" 'BEGIN {print k / 1024}')" \
      "$construction" "$bytes"
  done
  rm -rf "$work/level-$level"
done
