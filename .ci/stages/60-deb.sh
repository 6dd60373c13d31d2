#!/usr/bin/env bash
# The Debian package, from the release build of stage 10: made by cpack,
# its files, fields and maintainer scripts checked, installed with apt-get on
# this machine, the installed programs run on a level-5 case against the
# build's own, the Python package imported with bytecode writing on, the
# manual pages found by man, and the package removed again (on a failure
# too), leaving no folder of it and no dpkg warning.
set -euo pipefail
source_dir="$PWD"
(cd build && cpack -G DEB >/dev/null)
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)"
package="build/malha_${version}_$(dpkg --print-architecture).deb"
[ -f "$package" ] || { echo "FAIL: cpack made no $package"; exit 1; }

work="$(mktemp -d)"
installed=no
cleanup() {
  if [ "$installed" = yes ]; then
    echo "removing the package malha"
    apt-get remove -y -q malha >/dev/null || true
  fi
  rm -rf -- "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# The package's files (not its folders), sorted, without the leading ".".
dpkg-deb -c "$package" >"$work/listing"
awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' "$work/listing" | LC_ALL=C sort >"$work/files"

# The programs, the scripts beside them, the manual pages, the notes, and
# the C++ library with its headers and CMake package.
expected=(
  /usr/bin/malha /usr/bin/malha-vtk
  /usr/share/doc/malha/README.md /usr/share/doc/malha/changelog.gz
  /usr/share/malha/cmd /usr/share/malha/malha.gnu /usr/share/malha/malha_baricentros.gnu
  /usr/share/malha/malha_real.gnu
  /usr/share/man/man1/malha-vtk.1.gz /usr/share/man/man1/malha.1.gz
  /usr/lib/libmalha.a /usr/include/malha/malha.h /usr/include/malha/faces.h
  /usr/include/malha/cell_gradients.h /usr/include/malha/faces/faces.h
  /usr/include/malha/faces/cell_gradients.h /usr/include/malha/vtk/vtu.h
  /usr/include/malha/vtu.h /usr/include/malha/mesh/mesh.h /usr/include/malha/mesh/lattice_lines.h
  /usr/include/malha/mesh/lattice_part.h
  /usr/include/malha/system/error.h /usr/lib/cmake/malha/malhaConfig.cmake
  /usr/lib/cmake/malha/malhaConfigVersion.cmake /usr/lib/cmake/malha/malhaTargets.cmake
  /usr/lib/cmake/malha/malhaTargets-release.cmake
)
for file in "${expected[@]}"; do
  grep -qxF "$file" "$work/files" || fail "$package lacks $file"
done
# Besides those, only the Python package, in Debian's place for it.
unexpected="$(grep -vxF -f <(printf '%s\n' "${expected[@]}") "$work/files" |
  grep -vE '^/usr/lib/python3/dist-packages/malha/' || true)"
[ -z "$unexpected" ] || fail "$package holds unexpected files: $(echo $unexpected)"
# Every entry belongs to root; the programs and cmd are executable, and the
# pages and notes are not.
foreign="$(awk '$2 != "root/root" { print $6 }' "$work/listing")"
[ -z "$foreign" ] || fail "$package holds entries not owned by root: $(echo $foreign)"
for file in /usr/bin/malha /usr/bin/malha-vtk /usr/share/malha/cmd; do
  grep -qE "^-rwxr-xr-x .* \\.$file\$" "$work/listing" || fail "$file is not mode 755 in $package"
done
for file in /usr/share/man/man1/malha.1.gz /usr/share/doc/malha/README.md; do
  grep -qE "^-rw-r--r-- .* \\.$file\$" "$work/listing" || fail "$file is not mode 644 in $package"
done

# The programs are stripped; the pages are compressed and format without a
# warning.
dpkg-deb -x "$package" "$work/extracted"
for program in malha malha-vtk; do
  description="$(file -b "$work/extracted/usr/bin/$program")"
  [[ "$description" == ELF*", stripped"* ]] || fail "/usr/bin/$program: $description"
done
for page in malha malha-vtk; do
  compressed="$work/extracted/usr/share/man/man1/$page.1.gz"
  [[ "$(file -b "$compressed")" == "gzip compressed data"* ]] || fail "$page.1.gz is not compressed"
  warnings="$(zcat "$compressed" | groff -man -Tutf8 -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "$page.1.gz: $warnings"
done

# The control fields.
field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Package)" = malha ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = science ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -gt 1 ] || fail "no extended Description"
depends=", $(field Depends),"
for dependency in libc6 libstdc++6 python3 python3-numpy; do
  [[ "$depends" == *", $dependency"[\ ,]* ]] || fail "Depends lacks $dependency: $(field Depends)"
done
[ "$(field Recommends)" = "gnuplot, python3-meshio" ] || fail "Recommends is '$(field Recommends)'"
dpkg-deb -f "$package"

# The maintainer scripts: postinst compiles the Python package's bytecode,
# prerm removes it before dpkg removes the package's folders.
dpkg-deb -e "$package" "$work/control"
for script in postinst prerm; do
  [ -x "$work/control/$script" ] || fail "$package has no executable $script"
done
grep -q '^[[:space:]]*py3compile -p malha$' "$work/control/postinst" || fail "postinst runs no py3compile -p malha"
grep -q '^[[:space:]]*py3clean -p malha$' "$work/control/prerm" || fail "prerm runs no py3clean -p malha"

# dpkg's warnings in an apt-get log (a folder it could not remove, a
# maintainer script that failed).
dpkg_warnings() { grep -iE 'dpkg: warning|^W: |^E: ' "$1" || true; }

# Installed on this machine. A package left by an earlier run goes first,
# so that the one just built is the one tested. Its recommendations are
# not fetched: the checks below need neither gnuplot nor meshio.
if dpkg-query -W -f='${Status}' malha 2>/dev/null | grep -q 'install ok installed'; then
  echo "removing an earlier malha package"
  apt-get remove -y -q malha >/dev/null
fi
export DEBIAN_FRONTEND=noninteractive
installed=yes
apt-get install -y -q --no-install-recommends "$source_dir/$package" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install $package failed"; exit 1; }
warnings="$(dpkg_warnings "$work/apt.log")"
[ -z "$warnings" ] || fail "apt-get install $package warned: $warnings"

# The installed program writes the build's own bytes on the same answers
# (the processing time, the last 20 bytes of "dados_gerais.txt", aside), and
# the installed malha-vtk the build's malha.vtu.
mkdir "$work/installed" "$work/built"
(cd "$work/installed" && printf '5\n2\n1\n0\n' | /usr/bin/malha >/dev/null) || fail "/usr/bin/malha failed"
(cd "$work/built" && printf '5\n2\n1\n0\n' | "$source_dir/build/malha" >/dev/null) || fail "build/malha failed"
names="$(cd "$work/built" && ls)"
[ "$(echo "$names" | wc -l)" -eq 11 ] || fail "build/malha wrote $(echo "$names" | wc -l) files, not 11"
[ "$(cd "$work/installed" && ls)" = "$names" ] || fail "/usr/bin/malha wrote other files than build/malha"
for name in $names; do
  if [ "$name" = dados_gerais.txt ]; then
    cmp -s <(head -c -20 "$work/built/$name") <(head -c -20 "$work/installed/$name") ||
      fail "/usr/bin/malha: $name differs"
  else
    cmp -s "$work/built/$name" "$work/installed/$name" || fail "/usr/bin/malha: $name differs"
  fi
done
/usr/bin/malha-vtk "$work/installed" >/dev/null || fail "/usr/bin/malha-vtk failed"
"$source_dir/build/malha-vtk" "$work/built" >/dev/null || fail "build/malha-vtk failed"
cmp -s "$work/built/malha.vtu" "$work/installed/malha.vtu" || fail "/usr/bin/malha-vtk: malha.vtu differs"

# The Python package, from a folder outside the source tree: the installed
# one, not the build's, imported as a user imports it, with bytecode writing
# on (which would write what postinst had not compiled).
python_dir=/usr/lib/python3/dist-packages/malha
if grep -q "^$python_dir/" "$work/files"; then
  (cd /tmp && env -u PYTHONPATH -u PYTHONDONTWRITEBYTECODE -u PYTHONPYCACHEPREFIX /usr/bin/python3 -c "
import sys
assert not sys.dont_write_bytecode
import malha
assert malha.__file__ == '$python_dir/__init__.py', malha.__file__
m = malha.build(5, 2.0, 1.0)
assert m.n_real_volumes == 32 and m.triangles.shape == (m.n_volumes, 3)") ||
    fail "the installed Python package malha failed"
  for module in __init__ errors faces mesh parts vtu; do
    grep -qxF "$python_dir/$module.py" "$work/files" || fail "$package lacks $python_dir/$module.py"
    compgen -G "$python_dir/__pycache__/$module.cpython-*.pyc" >/dev/null ||
      fail "$python_dir holds no compiled bytecode of $module after the installation and an import"
  done
else
  fail "$package holds no Python package (/usr/lib/python3/dist-packages/malha)"
fi

# man finds both pages where the package put them, and shows them.
for page in malha malha-vtk; do
  [ "$(man -w "$page" 2>/dev/null)" = "/usr/share/man/man1/$page.1.gz" ] ||
    fail "man -w $page gives '$(man -w "$page" 2>&1)'"
  man "$page" >"$work/page.txt" 2>/dev/null || fail "man $page failed"
  grep -q 'EXIT STATUS' "$work/page.txt" || fail "man $page shows no EXIT STATUS"
done

# Removed again: nothing of it stays, not even the Python package's
# bytecode, and dpkg warns of nothing.
apt-get remove -y -q malha >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "apt-get remove malha failed"; }
installed=no
warnings="$(dpkg_warnings "$work/remove.log")"
[ -z "$warnings" ] || fail "apt-get remove malha warned: $warnings"
for path in /usr/bin/malha /usr/bin/malha-vtk "$python_dir" /usr/include/malha /usr/share/malha; do
  [ ! -e "$path" ] || fail "$path is still there after the removal"
done

ls -l "$package"
if [ "$failures" -gt 0 ]; then
  echo "$failures Debian package check(s) failed"
  exit 1
fi
echo "the Debian package installs, runs and removes as it should"
