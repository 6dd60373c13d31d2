#!/usr/bin/env bash
# malha.vtu of levels 1, 6 and 12 read back by meshio and by VTK, which must
# both be installed here: the test may not skip in CI.
set -euo pipefail
/usr/bin/python3 -c 'import meshio, vtk'
ctest --test-dir build --output-on-failure -R '^VtuReadBack$'
