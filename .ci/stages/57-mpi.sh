#!/usr/bin/env bash
# The parallel Poisson example on MPI and PETSc, which must both be installed
# here: the release build of stage 10 installed into a temporary prefix,
# examples/mpi/ configured and built against that prefix alone, and its
# tests run by ctest: the multigrid's grids against the partition, its
# finest transfer against PETSc's assembled products on 1 and 3 ranks,
# poisson_mpi at 1, 2, 3 and 4 ranks against the serial examples/cpp/poisson,
# and the 4-rank grid read back by VTK's parallel reader. More ranks than
# cores, as root.
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT
/usr/bin/python3 -c 'import vtk'
cmake --install build --prefix "$work/prefix" >/dev/null
cmake -S examples/mpi -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-Werror \
  -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build "$work/build" -j2 >/dev/null
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1
# Every test is registered: none may be left out for a missing package.
[ "$(ctest --test-dir "$work/build" -N | sed -n 's/^Total Tests: //p')" -eq 8 ]
ctest --test-dir "$work/build" --output-on-failure
