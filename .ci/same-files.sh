#!/usr/bin/env bash
# Compares every file of one run's folder with the same-named file of another
# (a run of the release build and a run of an instrumented build, of the same
# input). Prints each difference and exits 1 when any file differs or is
# missing from the second folder.
#
#   .ci/same-files.sh RELEASE_FOLDER OTHER_FOLDER
set -euo pipefail
status=0
for file in "$1"/*; do
  name="$(basename "$file")"
  if [ "$name" = dados_gerais.txt ]; then
    # The last record is the processing time, which differs from run to run.
    cmp <(head -n -1 "$file") <(head -n -1 "$2/$name") || status=1
  else
    cmp "$file" "$2/$name" || status=1
  fi
done
exit "$status"
