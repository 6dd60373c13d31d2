#!/usr/bin/env bash
# malha.exe: cross-built without warnings, then every Windows check under
# wine against the release build of stage 10 (build/malha).
set -euo pipefail
cmake --preset windows -DMALHA_WERROR=ON
cmake --build --preset windows -j2
# Nothing but the system's own DLLs: the runtimes are linked in.
dlls="$(x86_64-w64-mingw32-objdump -p build-windows/malha.exe | sed -n 's/^[[:space:]]*DLL Name: //p')"
echo "malha.exe imports:" $dlls
if grep -viqE '^(kernel32|advapi32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$' <<<"$dlls"; then
  echo "malha.exe needs a DLL that Windows does not have" >&2
  exit 1
fi
bash tests/windows/run_under_wine.sh build/malha build-windows/malha.exe \
  build-windows/recording_viewer.exe
