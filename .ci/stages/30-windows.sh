#!/usr/bin/env bash
# malha.exe: cross-built without warnings, then every Windows check under
# wine against the release build of stage 10 (build/malha).
set -euo pipefail
cmake --preset windows -DMALHA_WERROR=ON
cmake --build --preset windows -j2
bash tests/windows/run_under_wine.sh build/malha build-windows/malha.exe \
  build-windows/recording_viewer.exe
