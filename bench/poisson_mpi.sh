#!/usr/bin/env bash
# poisson_mpi against poisson's direct solver, in one run: the two whole
# processes taken in turn (A B A B ...), poisson_mpi on one rank, each timed
# by GNU time (processor and wall seconds, peak memory); then poisson_mpi on
# 2 ranks against 1, in turn as well. It prints the medians of each figure
# and the medians of the pairs' ratios, as the README's table gives them.
#
#   bench/poisson_mpi.sh [-r repeats] [-b build-mpi] [cells_x cells_y]
#                        (defaults: 5; build-mpi; 1024 512)
#
# Lengths 2 x 1, the corrected scheme, Dirichlet conditions. build-mpi is the
# build of examples/mpi that the README makes (poisson_mpi, and poisson where
# Eigen is found). Compare figures within one run only; as root, Open MPI
# also wants OMPI_ALLOW_RUN_AS_ROOT=1 and OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
repeats=5
build="$source_dir/build-mpi"
while [ $# -gt 0 ]; do
  case "$1" in
    -r) repeats="$2"; shift 2 ;;
    -b) build="$(realpath "$2")"; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) break ;;
  esac
done
cells_x="${1:-1024}"
cells_y="${2:-512}"
for program in poisson_mpi poisson; do
  if [ ! -x "$build/$program" ]; then
    echo "$build/$program is missing: build examples/mpi as the README says (-b names the build)" >&2
    exit 2
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "GNU time is missing: apt-get install time" >&2
  exit 2
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
problem=(--cells "$cells_x" "$cells_y" --lengths 2 1 --scheme corrected)

source "$source_dir/bench/median.sh"

# Runs the command; appends "cpu_s wall_s peak_MiB" to the log named first.
measure() {
  local log="$1"
  shift
  /usr/bin/time -f '%U %S %e %M' -o "$work/time.txt" "$@" >/dev/null
  awk '{ print $1 + $2, $3, $4 / 1024 }' "$work/time.txt" >>"$log"
}

# The median of column `column` of a log, or of the ratios of two logs' lines.
column_median() { awk -v c="$2" '{ print $c }' "$1" | median; }
ratio_median() { paste -d' ' "$1" "$2" | awk -v c="$3" '{ print $c / $(c + 3) }' | median; }

for ((i = 0; i < repeats; ++i)); do
  measure "$work/mpi.log" "$build/poisson_mpi" "${problem[@]}"
  measure "$work/direct.log" "$build/poisson" "${problem[@]}"
done
for ((i = 0; i < repeats; ++i)); do
  measure "$work/two.log" mpiexec -n 2 "$build/poisson_mpi" "${problem[@]}"
  measure "$work/one.log" mpiexec -n 1 "$build/poisson_mpi" "${problem[@]}"
done

printf '%s x %s cells, lengths 2 x 1, corrected, medians of %s pairs\n' "$cells_x" "$cells_y" "$repeats"
printf '  %-30s %8s %8s %10s\n' "" "cpu s" "wall s" "peak MiB"
for row in "poisson_mpi, 1 rank:mpi" "poisson (direct):direct" "poisson_mpi, 2 ranks:two" \
           "poisson_mpi, 1 rank (mpiexec):one"; do
  log="$work/${row##*:}.log"
  printf '  %-30s %8.2f %8.2f %10.0f\n' "${row%:*}" "$(column_median "$log" 1)" \
    "$(column_median "$log" 2)" "$(column_median "$log" 3)"
done
printf '  poisson_mpi / direct:  cpu %.3f, wall %.3f, peak %.3f\n' \
  "$(ratio_median "$work/mpi.log" "$work/direct.log" 1)" \
  "$(ratio_median "$work/mpi.log" "$work/direct.log" 2)" \
  "$(ratio_median "$work/mpi.log" "$work/direct.log" 3)"
printf '  2 ranks / 1 rank:      wall %.3f\n' "$(ratio_median "$work/two.log" "$work/one.log" 2)"
