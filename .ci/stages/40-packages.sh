#!/usr/bin/env bash
# The packages of both platforms, from the release build of stage 10 and the
# cross build of stage 30: made by cpack, then unpacked and checked: their
# lists of files, the packaged Linux program on a golden case, and the
# packaged malha.exe being the one the Windows checks ran.
set -euo pipefail
source_dir="$PWD"
(cd build && cpack -G TGZ)
(cd build-windows && cpack -G ZIP)
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)"
linux_package="build/malha-$version-linux-x86_64.tar.gz"
windows_package="build-windows/malha-$version-windows-x86_64.zip"

work="$(mktemp -d)"
trap 'rm -rf -- "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The files of an archive, without its folders, sorted.
files_of() { cmake -E tar tf "$1" | grep -v '/$' | LC_ALL=C sort; }

expect_files() {
  local package="$1" top="$2"
  shift 2
  local expected
  expected="$(printf "$top/%s\n" "$@" | LC_ALL=C sort)"
  if [ "$(files_of "$package")" != "$expected" ]; then
    fail "$package holds other files than expected"
    diff <(echo "$expected") <(files_of "$package") | sed 's/^/    /'
  fi
}

# The Python package's extension is named for the Python it was built for.
python_module="_malha$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')"
expect_files "$linux_package" "malha-$version-linux-x86_64" \
  bin/malha bin/malha-vtk share/doc/malha/README.md share/doc/malha/changelog.gz share/malha/cmd \
  share/malha/malha.gnu share/malha/malha_baricentros.gnu share/malha/malha_real.gnu \
  share/man/man1/malha.1.gz share/man/man1/malha-vtk.1.gz \
  include/malha/malha.h include/malha/faces.h include/malha/cell_gradients.h include/malha/vtu.h \
  include/malha/faces/faces.h include/malha/faces/cell_gradients.h include/malha/vtk/vtu.h \
  include/malha/mesh/mesh.h include/malha/mesh/lattice_lines.h include/malha/mesh/lattice_part.h \
  include/malha/system/error.h \
  lib/libmalha.a lib/cmake/malha/malhaConfig.cmake lib/cmake/malha/malhaConfigVersion.cmake \
  lib/cmake/malha/malhaTargets.cmake lib/cmake/malha/malhaTargets-release.cmake \
  lib/python3/dist-packages/malha/__init__.py lib/python3/dist-packages/malha/errors.py \
  lib/python3/dist-packages/malha/faces.py lib/python3/dist-packages/malha/mesh.py \
  lib/python3/dist-packages/malha/parts.py \
  lib/python3/dist-packages/malha/vtu.py "lib/python3/dist-packages/malha/$python_module"
expect_files "$windows_package" "malha-$version-windows-x86_64" \
  malha.exe malha-vtk.exe README.md README-windows.txt \
  plots/malha.gnu plots/malha_baricentros.gnu plots/malha_real.gnu

(cd "$work" && cmake -E tar xf "$source_dir/$linux_package" && cmake -E tar xf "$source_dir/$windows_package")
linux_top="$work/malha-$version-linux-x86_64"
windows_top="$work/malha-$version-windows-x86_64"

# The packaged Linux program writes the golden files of level 4 (the
# processing time, the last 20 bytes of "dados_gerais.txt", aside).
[ -x "$linux_top/share/malha/cmd" ] || fail "tools/cmd is not executable in the package"
mkdir "$work/run"
(cd "$work/run" && printf '4\n2\n1\n0\n' | "$linux_top/bin/malha" >/dev/null) || fail "packaged malha failed"
for golden in tests/golden/level4_2x1/*; do
  name="$(basename "$golden")"
  if [ "$name" = dados_gerais.txt ]; then
    cmp -s <(head -c -20 "$golden") <(head -c -20 "$work/run/$name") || fail "packaged malha: $name"
  else
    cmp -s "$golden" "$work/run/$name" || fail "packaged malha: $name"
  fi
done

# The packaged Python package, imported from another folder, writes the
# same files.
mkdir "$work/python"
(cd "$work/python" && PYTHONPATH="$linux_top/lib/python3/dist-packages" /usr/bin/python3 -c \
  'import malha; malha.build(4, 2, 1).write(".")') || fail "packaged Python package failed"
for golden in tests/golden/level4_2x1/*; do
  name="$(basename "$golden")"
  [ "$name" = dados_gerais.txt ] && continue
  cmp -s "$golden" "$work/python/$name" || fail "packaged Python package: $name"
done

# The packaged malha-vtk turns that run into a grid.
(cd "$work/run" && "$linux_top/bin/malha-vtk" >/dev/null) || fail "packaged malha-vtk failed"
[ -s "$work/run/malha.vtu" ] || fail "packaged malha-vtk wrote no malha.vtu"

# The packaged malha.exe is the one stage 30 checked under wine.
cmp -s build-windows/malha.exe "$windows_top/malha.exe" || fail "packaged malha.exe is not the checked one"
cmp -s build-windows/malha-vtk.exe "$windows_top/malha-vtk.exe" || fail "packaged malha-vtk.exe is not the built one"
# Notepad's line ends in the Windows notes.
if grep -q -v $'\r$' "$windows_top/README-windows.txt"; then
  fail "README-windows.txt has lines without CR LF"
fi

ls -l "$linux_package" "$windows_package"
if [ "$failures" -gt 0 ]; then
  echo "$failures package check(s) failed"
  exit 1
fi
echo "both packages hold what they should"
