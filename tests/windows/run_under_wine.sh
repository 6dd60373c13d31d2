#!/usr/bin/env bash
# Runs the cross-built malha.exe under wine and compares it, byte for byte,
# with the Linux build of the same source:
#
#   - all eleven output files, standard output, standard error and exit
#     status of whole runs (the golden cases, a level-12 run with unequal
#     lengths, lengths near the largest and below the smallest normal
#     double), and the golden files themselves; a run over longer files of
#     an earlier run; a file that cannot be opened;
#   - standard output, standard error and exit status of the runs that end
#     before any output file (unreadable answers, input that ends before a
#     value, refused levels), and that they leave no file behind;
#   - the floating-point overflow report of level 1 with dim_x = 1e308;
#   - reruns over an earlier run's files stopped while writing, by SIGKILL
#     and by an interrupt: no file mixes the two runs;
#   - malha-vtk.exe's grid, where built, through a new temporary file;
#   - the viewer launch with show_plots = 1 through wine's own cmd.exe, with
#     COMSPEC naming it and with COMSPEC unset: stand-ins notepad.exe and
#     wgnuplot.exe log the six command lines, each start after the previous
#     viewer ended; a COMSPEC naming no program starts nothing and the run
#     still succeeds.
#
# Usage: run_under_wine.sh LINUX_MALHA MALHA_EXE RECORDING_VIEWER_EXE
#
# Exit status: 0 when every check holds, 1 when one fails, 77 when wine or
# one of the programs is missing (the test is then skipped).
set -uo pipefail

if [ "$#" -ne 3 ]; then
  echo "usage: $0 LINUX_MALHA MALHA_EXE RECORDING_VIEWER_EXE" >&2
  exit 2
fi
linux_exe="$(realpath -m -- "$1")"
windows_exe="$(realpath -m -- "$2")"
viewer_exe="$(realpath -m -- "$3")"
golden_dir="$(cd "$(dirname "$0")/../golden" && pwd)"

for program in wine wineboot wineserver timeout; do
  if ! command -v "$program" >/dev/null; then
    echo "skipped: $program is not installed (apt-get install wine wine64)" >&2
    exit 77
  fi
done
for file in "$linux_exe" "$windows_exe" "$viewer_exe"; do
  if [ ! -f "$file" ]; then
    echo "skipped: $file does not exist (cmake --preset windows && cmake --build --preset windows builds it)" >&2
    exit 77
  fi
done

# Wine without a display, without its debugger and without its own messages,
# in a prefix of its own that goes at the end.
export WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES=winedbg.exe=d
work="$(mktemp -d)"
export WINEPREFIX="$work/prefix"
cleanup() {
  timeout 60 wineserver -k >/dev/null 2>&1
  rm -rf -- "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

# Every run has a time limit (a hanging wine must fail, not stall CI).
run_limit=60

now() { echo "${EPOCHREALTIME/,/.}"; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

start="$(now)"
if ! timeout 300 wineboot --init </dev/null >/dev/null 2>&1; then
  echo "FAIL: wineboot --init could not make the prefix" >&2
  exit 1
fi
boot_time="$(seconds_since "$start")"
# The first wine process of a prefix starts the background services, which
# keep the standard streams they inherit open for ever: start them here, on
# the null device, before any run whose output is captured.
start="$(now)"
timeout "$run_limit" wineserver -p
timeout "$run_limit" wine cmd /c exit 0 </dev/null >/dev/null 2>&1
# The registry's ComSpec value would replace the caller's COMSPEC: without
# it, the COMSPEC a run is given (or its absence) reaches the program as on
# Windows.
timeout "$run_limit" wine reg delete \
  'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v ComSpec /f \
  </dev/null >/dev/null 2>&1
services_time="$(seconds_since "$start")"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A Unix path as wine's Z: drive names it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# run SIDE CASE INPUT [VAR=VALUE | -u VAR ...]: runs the Linux (SIDE linux)
# or Windows (SIDE windows) program in the empty folder $work/CASE/SIDE with
# INPUT (printf escapes) on standard input and the environment changes given
# to env; keeps SIDE.out, SIDE.err and SIDE.status beside the folder.
windows_runs=()
run() {
  local side="$1" name="$2" input="$3"
  shift 3
  local base="$work/cases/$name"
  mkdir -p "$base/$side"
  printf -- "$input" >"$base/input"
  local program="$linux_exe"
  local command=()
  if [ "$side" = windows ]; then
    program="$windows_exe"
    command=(wine)
    # Unless the case says otherwise, COMSPEC names no program, so that the
    # run starts no viewer, as on Linux, where no cmd.exe is found.
    [ "$#" -gt 0 ] || set -- COMSPEC='C:\no\such\processor.exe'
  fi
  local started status=0
  started="$(now)"
  (cd "$base/$side" && env "$@" timeout "$run_limit" "${command[@]}" "$program" \
    <"$base/input" >"$base/$side.out" 2>"$base/$side.err") || status=$?
  [ "$side" = windows ] && windows_runs+=("$(seconds_since "$started")")
  [ -n "${MALHA_WINE_TIMES:-}" ] && echo "  $side $name: $(seconds_since "$started") s"
  echo "$status" >"$base/$side.status"
}

# Shows where two files first differ.
show_difference() {
  local expected="$1" actual="$2"
  cmp -- "$expected" "$actual" 2>&1 | sed 's/^/    /'
  local line
  line="$(cmp -- "$expected" "$actual" 2>/dev/null | sed -n 's/.*line \([0-9]*\).*/\1/p')"
  if [ -n "$line" ]; then
    echo "    expected line $line: $(sed -n "${line}p" -- "$expected" | cat -A | head -c 300)"
    echo "    written  line $line: $(sed -n "${line}p" -- "$actual" | cat -A | head -c 300)"
  fi
}

same_bytes() {
  local label="$1" expected="$2" actual="$3"
  if ! cmp -s -- "$expected" "$actual"; then
    fail "$label"
    show_difference "$expected" "$actual"
  fi
}

# The last record of "dados_gerais.txt": the processing-time field (18
# characters) and CR LF, which differ from run to run.
time_record_ok() {
  local tail_bytes
  tail_bytes="$(tail -c 20 -- "$1"; echo x)"
  [[ "${tail_bytes%x}" =~ ^\ {3}[0-9]\.[0-9]{9}(E[+-][0-9]{2}|[+-][0-9]{3})$'\r\n'$ ]]
}

output_files=(dados_gerais.txt dados_malha.txt nos_malha.txt malha.txt malha_real.txt
  nos_conectividade.txt vol_conectividades.txt baricentros.txt dados.ent
  conectividades.ent baricentros.ent)

# Compares the eleven files of folder ACTUAL with those of folder EXPECTED:
# byte for byte, the processing time by its form only.
same_output_files() {
  local label="$1" expected="$2" actual="$3" name
  for name in "${output_files[@]}"; do
    if [ ! -f "$actual/$name" ] || [ ! -f "$expected/$name" ]; then
      fail "$label: $name missing"
      continue
    fi
    if [ "$name" = dados_gerais.txt ]; then
      time_record_ok "$actual/$name" || fail "$label: $name: processing-time record"
      head -c -20 -- "$expected/$name" >"$work/expected_counts"
      head -c -20 -- "$actual/$name" >"$work/written_counts"
      same_bytes "$label: $name" "$work/expected_counts" "$work/written_counts"
    else
      same_bytes "$label: $name" "$expected/$name" "$actual/$name"
    fi
  done
  local listed
  listed="$(ls -A -- "$actual" | tr '\n' ' ')"
  [ "$listed" = "$(printf '%s\n' "${output_files[@]}" | sort | tr '\n' ' ')" ] ||
    fail "$label: the folder holds $listed"
}

# Standard output, standard error and exit status of both sides alike.
same_console() {
  local name="$1" base="$work/cases/$1"
  same_bytes "$name: standard output" "$base/linux.out" "$base/windows.out"
  same_bytes "$name: standard error" "$base/linux.err" "$base/windows.err"
  same_bytes "$name: exit status" "$base/linux.status" "$base/windows.status"
}

# Runs NAME with INPUT on both sides and compares their consoles; the
# Windows side must end with STATUS.
run_both() {
  local name="$1" input="$2" status="$3"
  run linux "$name" "$input"
  run windows "$name" "$input"
  same_console "$name"
  [ "$(cat "$work/cases/$name/windows.status")" = "$status" ] ||
    fail "$name: exit status $(cat "$work/cases/$name/windows.status")"
}

# Whole runs: the golden cases, a larger level with unequal lengths,
# answers ended by CR LF, as a file written on Windows holds them, and the
# edges of the floating-point traps: sums near the largest double that do
# not overflow, and subnormal lengths, whose underflow is not trapped.
complete_runs=(
  "level1_1x1|1\n1\n1\n0\n"
  "level3_2x1|3\n2\n1\n0\n"
  "level4_2x1|4\n2\n1\n0\n"
  "level12_3.7x1.3|12\n3.7\n1.3\n0\n"
  "level5_crlf_answers|5\r\n2.5\r\n0.75\r\n0\r\n"
  "level3_near_the_largest_double|3\n1e308\n1e308\n0\n"
  "level4_subnormal_lengths|4\n1e-310\n3e-320\n0\n"
)
for entry in "${complete_runs[@]}"; do
  name="${entry%%|*}"
  input="${entry#*|}"
  run_both "$name" "$input" 0
  base="$work/cases/$name"
  same_output_files "$name" "$base/linux" "$base/windows"
  if [ -d "$golden_dir/$name" ]; then
    same_output_files "$name against tests/golden" "$golden_dir/$name" "$base/windows"
  fi
done

# Longer files of an earlier run leave no trace.
name="level1_over_longer_files"
for side in linux windows; do
  mkdir -p "$work/cases/$name/$side"
  for file in "${output_files[@]}"; do
    { head -c 100000 /dev/zero | tr '\0' o; printf '\r\n'; } >"$work/cases/$name/$side/$file"
  done
  run "$side" "$name" "1\n1\n1\n0\n"
done
same_console "$name"
same_output_files "$name" "$work/cases/$name/linux" "$work/cases/$name/windows"

# A file that cannot be opened (a folder has its name) ends the run with the
# OPEN report (its last words are the system's own); the files opened before
# it keep what an earlier run left in them, the later ones are not created.
name="open failure"
for side in linux windows; do
  mkdir -p "$work/cases/$name/$side/malha_real.txt"
  for file in dados_malha.txt nos_malha.txt nos_conectividade.txt malha.txt; do
    printf 'earlier run\r\n' >"$work/cases/$name/$side/$file"
  done
  run "$side" "$name" "3\n2\n1\n0\n"
done
base="$work/cases/$name"
same_bytes "$name: standard output" "$base/linux.out" "$base/windows.out"
same_bytes "$name: exit status" "$base/linux.status" "$base/windows.status"
same_bytes "$name: standard error" \
  <(printf '\r\nrun-time error F4001: OPEN(malha_real.txt)\r\n- cannot create or open the file: ') \
  <(head -c 80 -- "$base/windows.err")
for side in linux windows; do
  (cd "$base/$side" && ls -A && cat -- dados_malha.txt nos_malha.txt nos_conectividade.txt malha.txt) \
    >"$base/$side.files" 2>&1
done
same_bytes "$name: the files left" "$base/linux.files" "$base/windows.files"

# Runs that end before any output file is opened.
early_endings=(
  "empty input|"
  "input ending after two answers|3\n1\n"
  "only blank lines left|3\n1\n \n\t\n"
  "ctrl-z line|3\n1\n\x1a\n1\n0\n"
  "ctrl-z after a value|3\n1\n1\n0\x1a\r\n"
  "decimal point in the level|3.0\n1\n1\n0\n"
  "word for show_plots|3\n1\n1\nsim\n"
  "quoted length|3\n'1.5'\n1\n0\n"
  "exponent letter without digits|3\n1\n1.5E\n0\n"
  "level beyond int32|2147483648\n1\n1\n0\n"
  "radix beyond int32|#FFFFFFFF\n1\n1\n0\n"
  "length beyond the largest double|3\n1e309\n1\n0\n"
  "zero repeat count|0*3\n1\n1\n0\n"
  "level zero|0\n1\n1\n0\n"
  "level minus one|-1\n1\n1\n0\n"
  "level thirty-one|31\n1\n1\n0\n"
  "level int32 min|-2147483648\n1\n1\n0\n"
  "null answer leaves level zero|,\n1\n1\n0\n"
  "slash leaves level zero|/\n1\n1\n0\n"
  "level 1 with dim_x 1e308|1\n1e308\n1\n0\n"
)
for entry in "${early_endings[@]}"; do
  name="${entry%%|*}"
  input="${entry#*|}"
  run_both "$name" "$input" 1
  base="$work/cases/$name"
  [ -z "$(ls -A -- "$base/windows")" ] || fail "$name: left files: $(ls -A -- "$base/windows" | tr '\n' ' ')"
done
# The overflow ends with the floating-point report, not a system exception.
same_bytes "level 1 with dim_x 1e308: the overflow report" \
  <(printf '\r\nrun-time error M3003: MATH\r\n- floating-point error: overflow\r\n') \
  "$work/cases/level 1 with dim_x 1e308/windows.err"

# The viewers, through wine's cmd.exe, from a folder on the search path.
viewers="$work/viewers"
mkdir -p "$viewers"
cp -- "$viewer_exe" "$viewers/notepad.exe"
cp -- "$viewer_exe" "$viewers/wgnuplot.exe"
expected_log="$work/expected_viewer_log"
for line in "notepad dados_gerais.txt" "notepad dados_malha.txt" "wgnuplot malha_real.gnu" \
  "wgnuplot malha.gnu" "wgnuplot malha_baricentros.gnu" "notepad vol_conectividades.txt"; do
  printf 'start %s.exe %s\nend %s.exe\n' "${line%% *}" "$line" "${line%% *}"
done >"$expected_log"

viewer_run() {
  local name="$1"
  shift
  run windows "$name" "1\n1\n1\n1\n" "$@" \
    MALHA_VIEWER_LOG="$(windows_path "$work/cases/$name.log")" WINEPATH="$(windows_path "$viewers")"
  local base="$work/cases/$name"
  touch "$base.log"
  # A run that did not wait for its viewers has ended before they did: give
  # them up to 10 s to finish their log, so that it shows how they overlapped.
  local tries=0
  while [ "$(wc -l <"$base.log")" -lt 12 ] && [ "$tries" -lt 50 ] &&
    [ "$(cat "$base/windows.status")" = 0 ] && [ "$name" != "viewers, COMSPEC names no program" ]; do
    sleep 0.2
    tries=$((tries + 1))
  done
  [ "$(cat "$base/windows.status")" = 0 ] || fail "$name: exit status $(cat "$base/windows.status")"
  same_bytes "$name: standard output" "$work/cases/level1_1x1/linux.out" "$base/windows.out"
  same_bytes "$name: standard error" /dev/null "$base/windows.err"
}
viewer_run "viewers, COMSPEC names cmd.exe" COMSPEC='C:\windows\system32\cmd.exe'
same_bytes "viewers, COMSPEC names cmd.exe: the viewer log" "$expected_log" \
  "$work/cases/viewers, COMSPEC names cmd.exe.log"
viewer_run "viewers, COMSPEC unset" -u COMSPEC
same_bytes "viewers, COMSPEC unset: the viewer log" "$expected_log" \
  "$work/cases/viewers, COMSPEC unset.log"
viewer_run "viewers, COMSPEC names no program" COMSPEC='C:\no\such\processor.exe'
same_bytes "viewers, COMSPEC names no program: the viewer log" /dev/null \
  "$work/cases/viewers, COMSPEC names no program.log"

# Reruns over an earlier run's files, stopped while they write: by SIGKILL,
# and by an interrupt, which reaches the program as a console control event
# on a thread of its own while the main thread writes. Every file must be the
# earlier one whole or a beginning of the rerun's (tests/output/
# reruns_under_kill.py, with the Linux program's files as the reference).
python="$(command -v /usr/bin/python3 || command -v python3)"
if [ -z "$python" ]; then
  echo "no python3: reruns stopped while writing not checked"
else
  for stop in KILL INT; do
    if ! timeout 300 "$python" "$(dirname "$0")/../output/reruns_under_kill.py" "$linux_exe" \
        --windows "$windows_exe" --signal "$stop" --kills 4 >"$work/reruns_$stop.log" 2>&1; then
      fail "reruns stopped by SIG$stop while writing"
      sed 's/^/    /' "$work/reruns_$stop.log" | head -20
    fi
  done
fi

# malha-vtk.exe, where built: the level-12 run's grid, over an earlier grid
# and an older temporary file, through a new one (CREATE_NEW), no .tmp left.
vtk_exe="$(dirname "$windows_exe")/malha-vtk.exe"
if [ -f "$vtk_exe" ]; then
  for side in linux windows; do
    mkdir -p "$work/vtk/$side" && cp -- "$work/cases/level12_3.7x1.3/linux/"* "$work/vtk/$side/"
    echo earlier | tee "$work/vtk/$side/malha.vtu" >"$work/vtk/$side/malha.vtu.tmp"
  done
  (cd "$work/vtk/linux" && "$(dirname "$linux_exe")/malha-vtk" >/dev/null)
  (cd "$work/vtk/windows" && timeout "$run_limit" wine "$vtk_exe" >/dev/null 2>&1) || fail "malha-vtk.exe"
  same_bytes "malha-vtk.exe: malha.vtu" "$work/vtk/linux/malha.vtu" "$work/vtk/windows/malha.vtu"
  ls -- "$work/vtk/windows" | grep -q 'tmp$' && fail "malha-vtk.exe: a temporary file left"
fi

total=0
for t in "${windows_runs[@]}"; do total="$(awk -v a="$total" -v b="$t" 'BEGIN { print a + b }')"; done
echo "wine: prefix made in $boot_time s, services started in $services_time s;" \
  "${#windows_runs[@]} runs of malha.exe, the first ${windows_runs[0]} s, all together $total s"
if [ "$failures" -gt 0 ]; then
  echo "$failures Windows check(s) failed"
  exit 1
fi
echo "every Windows check holds"
