#!/usr/bin/env bash
# Runs the Windows executable under wine beside the Linux one, on the same sample catalogs,
# and checks that they agree: zone files and report byte for byte, the same transcript with
# the backslash as separator, the same failures, the help, and the lock on the directory.
# Then ucac2db.exe checks the Windows build's database against its catalog.
#
# usage: tests/windows/wine_test.sh [--linux-build DIR] [--windows-build DIR] [--keep]
#   The build directories default to build/winref and build/win under the repository; each
#   is configured when it has no build yet, and brought up to date. --keep leaves the
#   scratch directory behind (it is always left after a failure).
# Needs cmake, ninja, g++, x86_64-w64-mingw32-g++ and wine. The last line reads
# "N passed, N failed"; the status is non-zero on any failure.
# shellcheck disable=SC2317  # the checks run through check(), out of shellcheck's sight
set -u

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LINUX_BUILD=$ROOT/build/winref
WINDOWS_BUILD=$ROOT/build/win
KEEP=0
while [ $# -gt 0 ]; do
  case $1 in
    --linux-build) LINUX_BUILD=$2; shift 2 ;;
    --windows-build) WINDOWS_BUILD=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    *) echo "usage: $0 [--linux-build DIR] [--windows-build DIR] [--keep]" >&2; exit 2 ;;
  esac
done

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
START=$(now)

PASSED=0
FAILED=0
pass() { PASSED=$((PASSED + 1)); echo "ok   - $1"; }
fail() { FAILED=$((FAILED + 1)); echo "FAIL - $1"; }
check() {  # check NAME COMMAND...: passes when the command succeeds
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
CLEANED=0
cleanup() {
  [ "$CLEANED" = 1 ] && return
  CLEANED=1
  [ -n "${SCRATCH:-}" ] || return  # no prefix of ours yet
  wineserver -k >/dev/null 2>&1
  if [ "$FAILED" -eq 0 ] && [ "$KEEP" -eq 0 ]; then
    rm -rf "$SCRATCH"
  else
    echo "scratch directory kept: $SCRATCH"
  fi
}
trap cleanup EXIT
finish() {
  cleanup
  echo "total time $(since "$START") s"
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
  exit
}

# --- builds -------------------------------------------------------------------------------
build() {  # build DIR TARGETS...; configure options come from the caller's CONFIGURE array
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "${CONFIGURE[@]}" >"$dir.configure.log" 2>&1 ||
      { cat "$dir.configure.log"; return 1; }
  fi
  cmake --build "$dir" --target "$@" >"$dir.build.log" 2>&1 || { cat "$dir.build.log"; return 1; }
}
mkdir -p "$(dirname "$LINUX_BUILD")" "$(dirname "$WINDOWS_BUILD")"
T=$(now)
CONFIGURE=(-DCMAKE_BUILD_TYPE=Release -DUCAC2_WERROR=ON -DUCAC2_BUILD_TESTS=OFF)
check "Linux build in $LINUX_BUILD" build "$LINUX_BUILD" ucac2 make_sample_catalog
CONFIGURE=(-DCMAKE_BUILD_TYPE=Release -DUCAC2_WERROR=ON
           -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake")
check "Windows cross build in $WINDOWS_BUILD" build "$WINDOWS_BUILD" ucac2 ucac2db
echo "builds took $(since "$T") s"
LINUX_EXE=$LINUX_BUILD/ucac2
SAMPLE_EXE=$LINUX_BUILD/make_sample_catalog
WINDOWS_EXE=$WINDOWS_BUILD/ucac2.exe
WINDOWS_DB_EXE=$WINDOWS_BUILD/ucac2db.exe
if [ ! -x "$LINUX_EXE" ] || [ ! -x "$SAMPLE_EXE" ] || [ ! -f "$WINDOWS_EXE" ] ||
   [ ! -f "$WINDOWS_DB_EXE" ]; then finish; fi

# Self-contained: each executable imports only DLLs every Windows has.
for exe in "$WINDOWS_EXE" "$WINDOWS_DB_EXE"; do
  IMPORTS=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
            tr '[:upper:]' '[:lower:]' | sort | tr '\n' ' ')
  OTHERS=$(echo "$IMPORTS" | tr ' ' '\n' | grep -v -x -e kernel32.dll -e msvcrt.dll -e '')
  check "$(basename "$exe") imports only system DLLs ($IMPORTS)" test -n "$IMPORTS" -a -z "$OTHERS"
done

# --- wine: quiet, no display, a prefix of its own -----------------------------------------
if ! command -v wine >/dev/null; then
  fail "wine is installed"
  finish
fi
SCRATCH=$(mktemp -d /tmp/ucac2-wine.XXXXXX)
export WINEPREFIX=$SCRATCH/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer
unset DISPLAY WAYLAND_DISPLAY
T=$(now)
wine wineboot -i >"$SCRATCH/wineboot.log" 2>&1
check "wine prefix created ($(since "$T") s)" test -d "$WINEPREFIX/drive_c/windows"

# --- helpers --------------------------------------------------------------------------------
# run_linux DIR ARGS... / run_windows DIR ARGS...: run in DIR (created fresh unless it
# exists), output in DIR.out, DIR.err, DIR.status beside it. The standard input is a file of
# ESC keys: with no console there, nothing may read it, and the run is never cancelled.
ESCAPES=$SCRATCH/escapes
printf '\033\033\033' >"$ESCAPES"
run_linux() {
  local dir=$1
  shift
  mkdir -p "$dir"
  (cd "$dir" && "$LINUX_EXE" "$@" >"$dir.out" 2>"$dir.err" <"$ESCAPES"
   echo $? >"$dir.status")
}
run_windows() {
  local dir=$1
  shift
  mkdir -p "$dir"
  (cd "$dir" && wine "$WINDOWS_EXE" "$@" >"$dir.out" 2>"$dir.err" <"$ESCAPES"
   echo $? >"$dir.status")
}
status() { cat "$1.status"; }
# A Windows text: its line ends, told as CRLF, LF or MIXED.
line_ends() {
  local lines crlf
  lines=$(wc -l <"$1")
  crlf=$(grep -c $'\r$' "$1")
  if [ "$crlf" -eq "$lines" ]; then
    echo CRLF
  elif [ "$crlf" -eq 0 ]; then
    echo LF
  else
    echo MIXED
  fi
}
# The Linux transcript as Windows must print it: the backslash for the slash.
as_windows() { sed 's#/#\\#g' "$1"; }
same_transcript() {  # same_transcript LINUX_ERR WINDOWS_ERR
  [ "$(line_ends "$2")" != MIXED ] && diff <(as_windows "$1") <(tr -d '\r' <"$2") >/dev/null
}
same_stdout() { diff "$1" <(tr -d '\r' <"$2") >/dev/null; }
same_help() { grep -q "Synopsis" "$2" && same_stdout "$1" "$2"; }
last_line() { tail -n 1 "$1" | tr -d '\r'; }
listing() { find "$1" -mindepth 1 -maxdepth 1 ! -name D -printf '%f\n' | LC_ALL=C sort; }
ZONES=$(for h in $(seq -w 0 23); do echo "UCAC2_$h.dat"; done)
EXPECTED_FILES=$(printf '%s\ninfo.txt\n' "$ZONES" | LC_ALL=C sort)
same_outputs() {  # same_outputs LINUX_DIR WINDOWS_DIR: the 24 zone files and the report
  local f
  for f in $ZONES info.txt; do
    [ -s "$1/$f" ] && cmp -s "$1/$f" "$2/$f" || return 1
  done
}
only_outputs() { [ "$(listing "$1")" = "$EXPECTED_FILES" ]; }

# --- the .zip CPack makes of the Windows build ----------------------------------------------
# Both executables, which run from it, and the README with CR LF line ends, in one folder.
(cd "$WINDOWS_BUILD" && cpack -G ZIP -B "$SCRATCH/package") >"$SCRATCH/cpack.log" 2>&1
ZIP=$(find "$SCRATCH/package" -maxdepth 1 -name '*.zip' | head -n 1)
mkdir -p "$SCRATCH/zip"
[ -n "$ZIP" ] && (cd "$SCRATCH/zip" && cmake -E tar xf "$ZIP")
ZIPPED=$SCRATCH/zip/$(basename "${ZIP:-none}" .zip)
zipped_run() {
  { wine "$ZIPPED/ucac2.exe" --version && wine "$ZIPPED/ucac2db.exe" --version; } >/dev/null 2>&1
}
check "the .zip's ucac2.exe and ucac2db.exe run (--version)" zipped_run
check "the .zip's README.txt ends its lines with CR LF" \
  test -s "$ZIPPED/README.txt" -a "$(line_ends "$ZIPPED/README.txt" 2>/dev/null)" = CRLF

# --- complete runs: a catalog sorted by right ascension and a shuffled one ----------------
T=$(now)
STARS=3000
BSS=60
"$SAMPLE_EXE" "$SCRATCH/sorted" --stars $STARS --bss $BSS --seed 7 --quiet
"$SAMPLE_EXE" "$SCRATCH/shuffled" --stars $STARS --bss $BSS --seed 11 --shuffle --quiet
for catalog in sorted shuffled; do
  L=$SCRATCH/$catalog-linux
  W=$SCRATCH/$catalog-windows
  run_linux "$L" "../$catalog"
  run_windows "$W" "..\\$catalog"  # as typed on Windows
  check "$catalog: status 0 on both, ESC on stdin ignored ($(status "$L"), $(status "$W"))" \
    test "$(status "$L")" = 0 -a "$(status "$W")" = 0
  check "$catalog: 24 zone files and info.txt byte-identical" same_outputs "$L" "$W"
  check "$catalog: no work file left, only the outputs (linux)" only_outputs "$L"
  check "$catalog: no work file left, only the outputs (windows)" only_outputs "$W"
  check "$catalog: info.txt ends its lines with CR LF" \
    test "$(head -n 1 "$W/info.txt")" = "$((STARS + BSS)) objects in the UCAC2 catalog"$'\r'
  check "$catalog: transcript is Linux's with the backslash ($(line_ends "$W.err") line ends)" \
    same_transcript "$L.err" "$W.err"
  check "$catalog: windows transcript names '..\\$catalog\\z001'" \
    grep -q -x -F "MSG --- Parsing file 1: ..\\$catalog\\z001"$'\r' "$W.err"
  check "$catalog: windows transcript ends with the star count" \
    test "$(last_line "$W.err")" = "MSG --- $((STARS + BSS)) objects found"
  check "$catalog: banner on stdout as on Linux ($(line_ends "$W.out") line ends)" \
    same_stdout "$L.out" "$W.out"
done
echo "complete runs took $(since "$T") s"

# --- ucac2db.exe on the Windows build's database ------------------------------------------
# db_case NAME STATUS DIR ARGS...: ucac2db.exe run in DIR ends with STATUS.
db_case() {
  local name=$1 expected=$2 dir=$3 got
  shift 3
  (cd "$dir" && wine "$WINDOWS_DB_EXE" "$@" >"$SCRATCH/db-$name.out" 2>"$SCRATCH/db-$name.err" \
     </dev/null)
  got=$?
  check "ucac2db.exe $*: status $expected ($got)" test "$got" = "$expected"
}
T=$(now)
DB=$SCRATCH/sorted-windows
db_case help 0 "$DB" --help
check "ucac2db.exe --help names the verify subcommand" grep -q verify "$SCRATCH/db-help.out"
db_case version 0 "$DB" --version
check "ucac2db.exe --version prints its version" grep -q '^ucac2db [0-9]' "$SCRATCH/db-version.out"
db_case verify 0 "$DB" verify --catalog ..\\sorted
# One byte flipped in a carried field (the magnitude of a zone file's first entry), which only
# the comparison with the catalog can see.
FAULTY=$SCRATCH/faulty-windows
cp -r "$DB" "$FAULTY"
ZONE=$(find "$FAULTY" -name 'UCAC2_*.dat' -size +152c | LC_ALL=C sort | head -n 1)
AT=$((152 + 4 + 8))
BYTE=$(od -An -tu1 -j $AT -N 1 "$ZONE" | tr -d ' ')
printf %b "\\0$(printf %03o $((BYTE ^ 1)))" | dd of="$ZONE" bs=1 seek=$AT conv=notrunc 2>/dev/null
db_case fault 1 "$FAULTY" verify --catalog ..\\sorted
check "the finding names $(basename "$ZONE")" grep -q "$(basename "$ZONE")" "$SCRATCH/db-fault.err"
echo "ucac2db runs took $(since "$T") s"

# --- failures: a missing catalog file, a directory where a file should be ----------------
# fatal_case NAME FILE MESSAGE AS_DIRECTORY SAMPLE_OPTIONS...: the run stops at FILE (made a
# directory when AS_DIRECTORY is 1) with MESSAGE, and leaves the same files behind on both
# sides (a fatal error deletes nothing).
fatal_case() {
  local name=$1 file=$2 message=$3 as_directory=$4
  shift 4
  local L=$SCRATCH/$name-linux W=$SCRATCH/$name-windows dir
  for dir in "$L" "$W"; do
    "$SAMPLE_EXE" "$dir/D" --stars 1500 --bss 30 --quiet "$@"
    [ "$as_directory" = 1 ] && rm "$dir/D/$file" && mkdir "$dir/D/$file"
  done
  run_linux "$L" D
  run_windows "$W" D
  check "$name: status 1 on both (linux $(status "$L"), windows $(status "$W"))" \
    test "$(status "$L")" = 1 -a "$(status "$W")" = 1
  check "$name: last line \"FTL *** $message 'D\\$file'\"" \
    test "$(last_line "$W.err")" = "FTL *** $message 'D\\$file'"
  check "$name: transcript is Linux's with the backslash" same_transcript "$L.err" "$W.err"
  local left
  left=$(listing "$W" | tr '\n' ' ')
  check "$name: same files left behind ($left)" \
    test "$(listing "$L")" = "$(listing "$W")" -a -n "$(listing "$W" | grep TMPA000)"
  local f same=0
  for f in $(listing "$L"); do cmp -s "$L/$f" "$W/$f" || same=1; done
  check "$name: the files left behind are byte-identical" test $same = 0
}
T=$(now)
fatal_case missing z137 "Unable to locate data file" 0 --missing z137
fatal_case directory z005 "Unable to open data file" 1

echo "failure runs took $(since "$T") s"

# --- the command line -----------------------------------------------------------------------
# usage_case NAME STATUS ARGS...: the same status and output on both sides.
usage_case() {
  local name=$1 expected=$2
  shift 2
  local L=$SCRATCH/usage-$name-linux W=$SCRATCH/usage-$name-windows
  run_linux "$L" "$@"
  run_windows "$W" "$@"
  check "'$*': status $expected on both (linux $(status "$L"), windows $(status "$W"))" \
    test "$(status "$L")" = "$expected" -a "$(status "$W")" = "$expected"
  check "'$*': help on stdout as on Linux" same_help "$L.out" "$W.out"
  check "'$*': stderr as on Linux" same_stdout "$L.err" "$W.err"
}
T=$(now)
usage_case question 0 '/?'
usage_case h 0 /h
usage_case help 0 --help
usage_case unknown 1 /x
usage_case none 1
check "'/x' is named as an unknown option" \
  grep -q -x -F "Error : Unknown option '/x'"$'\r' "$SCRATCH/usage-unknown-windows.err"

echo "command-line runs took $(since "$T") s"

# --- the lock on the working directory ------------------------------------------------------
# wait_for_parsing ERR PID: true once the run has begun reading the catalog (it holds the lock).
wait_for_parsing() {
  local _
  for _ in $(seq 1 600); do
    grep -q "Parsing file 1" "$1" 2>/dev/null && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
# The outputs of the sorted catalog's Linux run, and nothing else.
same_as_sorted() { same_outputs "$SCRATCH/sorted-linux" "$1" && only_outputs "$1"; }
T=$(now)
LOCK=$SCRATCH/lock
mkdir -p "$LOCK"
(cd "$LOCK" && exec wine "$WINDOWS_EXE" ..\\sorted >/dev/null 2>"$LOCK.first.err" </dev/null) &
FIRST=$!
if wait_for_parsing "$LOCK.first.err" $FIRST; then
  kill -STOP $FIRST  # held still, the lock in hand
  run_windows "$LOCK" ..\\sorted
  kill -CONT $FIRST
  check "a second run in the same directory is refused (status $(status "$LOCK"))" \
    test "$(status "$LOCK")" = 1 -a \
    "$(last_line "$LOCK.err")" = "FTL *** Another compilation is running in the current directory"
else
  fail "the first run began reading the catalog"
fi
wait $FIRST
FIRST_STATUS=$?
check "the first run completes its work (status $FIRST_STATUS)" \
  test $FIRST_STATUS = 0 -a -s "$LOCK/info.txt"
check "... with the same zone files, and no work file left" \
  same_as_sorted "$LOCK"

# A run killed while it holds the lock gives it up with its life.
KILLED=$SCRATCH/killed
mkdir -p "$KILLED"
(cd "$KILLED" && exec wine "$WINDOWS_EXE" ..\\sorted >/dev/null 2>"$KILLED.first.err" </dev/null) &
FIRST=$!
if wait_for_parsing "$KILLED.first.err" $FIRST; then
  kill -KILL $FIRST
  wait $FIRST 2>/dev/null
  run_windows "$KILLED" ..\\sorted
  check "after a killed run the next one proceeds (status $(status "$KILLED"))" \
    test "$(status "$KILLED")" = 0
  check "... and writes the same zone files, leaving no work file" \
    same_as_sorted "$KILLED"
else
  fail "the run to be killed began reading the catalog"
fi
echo "lock runs took $(since "$T") s"

finish
