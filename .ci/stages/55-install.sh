#!/usr/bin/env bash
# The installed C++ package as a user meets it: the release build of stage
# 10 installed into a temporary prefix, then examples/cpp/ configured and
# built against that prefix alone (not this build tree) and run.
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT
cmake --install build --prefix "$work/prefix" >/dev/null
# Installed into ~/.local, the Python package is imported without PYTHONPATH.
mkdir "$work/home"
HOME="$work/home" cmake --install build --prefix "$work/home/.local" >/dev/null
(cd "$work" && env -u PYTHONPATH HOME="$work/home" /usr/bin/python3 -c \
  'import malha, os; assert malha.__file__.startswith(os.path.expanduser("~/.local/lib/"))')
# The headers: include/malha/ mirrors src/ with src/malha/ as its root.
ls "$work/prefix/include/malha/malha.h" "$work/prefix/include/malha/faces.h" \
  "$work/prefix/include/malha/cell_gradients.h" "$work/prefix/include/malha/vtu.h" \
  "$work/prefix/include/malha/faces/faces.h" "$work/prefix/include/malha/faces/cell_gradients.h" \
  "$work/prefix/include/malha/vtk/vtu.h" "$work/prefix/include/malha/mesh/mesh.h" \
  "$work/prefix/include/malha/mesh/lattice_lines.h" \
  "$work/prefix/include/malha/mesh/lattice_part.h" "$work/prefix/include/malha/system/error.h" \
  "$work/prefix/lib/libmalha.a" \
  "$work/prefix/lib/cmake/malha/malhaConfig.cmake" "$work/prefix/lib/cmake/malha/malhaConfigVersion.cmake"
cmake -S examples/cpp -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_CXX_FLAGS=-Werror >/dev/null
cmake --build "$work/build" -j2 >/dev/null
(cd "$work" && "$work/build/mesh_check" "$work/files") | tee "$work/out.txt"
grep -q 'area 2, neighbours symmetric' "$work/out.txt"
grep -q 'level 31 refused (S5001)' "$work/out.txt"
test "$(ls "$work/files" | wc -l)" -eq 11
# faces_check includes <malha/malha.h> alone: the faces, their geometry, a
# grid and a time series.
mkdir "$work/grids"
"$work/build/faces_check" "$work/grids" | tee "$work/faces.txt"
grep -q 'volumes closed, area 2$' "$work/faces.txt"
test "$(cd "$work/grids" && LC_ALL=C ls | tr '\n' ' ')" = "x.pvd x.vtu x_0000.vtu x_0001.vtu "
# The C++ Poisson and heat examples against examples/poisson.py and
# examples/heat.py, with the installed Python package, and the options of all
# four.
MALHA_POISSON_EXE="$work/build/poisson" MALHA_HEAT_EXE="$work/build/heat" \
  PYTHONPATH="$work/prefix/lib/python3/dist-packages" \
  /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/examples/test_cpp_examples.py \
  tests/examples/test_options.py
