#!/usr/bin/env bash
# Runs the Windows executables under wine beside the Linux build, on the same sample catalogs,
# and checks that they agree: zone files, report and what a failure leaves, byte for byte; the
# same transcript with the backslash and CR LF; the help; the lock on the directory. Also the
# imports, the .zip, and ucac2db.exe verifying the Windows build's database.
#
# usage: tests/windows/wine_test.sh [--linux-build DIR] [--windows-build DIR] [--keep]
#   The build directories default to build/winref and build/win under the repository; each
#   is configured when it has no build yet, and brought up to date. --keep leaves the
#   scratch directory behind (it is always left after a failure).
# Needs cmake, ninja, g++, x86_64-w64-mingw32-g++ and wine. The last line reads
# "N passed, N failed"; the status is non-zero on any failure.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LINUX_BUILD=$ROOT/build/winref WINDOWS_BUILD=$ROOT/build/win KEEP=0 PASSED=0 FAILED=0 S=
while [ $# -gt 0 ]; do
  case $1 in
    --linux-build) LINUX_BUILD=$2; shift 2 ;;
    --windows-build) WINDOWS_BUILD=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    *) echo "usage: $0 [--linux-build DIR] [--windows-build DIR] [--keep]" >&2; exit 2 ;;
  esac
done

check() {  # check NAME COMMAND...: passes when COMMAND succeeds; what it printed shows if not
  local name=$1 out
  shift
  if out=$("$@" 2>&1); then PASSED=$((PASSED + 1)) && echo "ok   - $name"; return; fi
  FAILED=$((FAILED + 1)) && echo "FAIL - $name" && head -n 30 <<<"$out" | sed '/^$/d; s/^/       /'
}
finish() {
  [ -z "$S" ] || wineserver -k >/dev/null 2>&1
  if [ "$FAILED$KEEP" = 00 ]; then rm -rf "$S"; elif [ -n "$S" ]; then echo "scratch directory kept: $S"; fi
  echo "$PASSED passed, $FAILED failed"
  exit $((FAILED > 0))
}
trap finish EXIT

build() {  # build DIR OPTION TARGETS...: configured (Release, -Werror, OPTION) if not yet
  local dir=$1 option=$2
  shift 2
  { [ -f "$dir/CMakeCache.txt" ] ||
      cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DUCAC2_WERROR=ON "$option"; } &&
    cmake --build "$dir" --target "$@"
}
check "Linux build in $LINUX_BUILD" build "$LINUX_BUILD" -DUCAC2_BUILD_TESTS=OFF ucac2 make_sample_catalog
check "Windows cross build in $WINDOWS_BUILD" build "$WINDOWS_BUILD" \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" ucac2 ucac2db
[ "$FAILED" = 0 ] || exit
LX=$LINUX_BUILD/ucac2 SAMPLE=$LINUX_BUILD/make_sample_catalog
WX=$WINDOWS_BUILD/ucac2.exe WDB=$WINDOWS_BUILD/ucac2db.exe

# Self-contained: each executable imports only DLLs every Windows has.
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]'; }
for exe in "$WX" "$WDB"; do
  check "$(basename "$exe") imports only KERNEL32 and msvcrt" \
    test "$(imports "$exe" | sort | tr '\n' ' ')" = "kernel32.dll msvcrt.dll "
done

# Wine quiet, with no display and a prefix of its own.
command -v wine >/dev/null || { check "wine is installed" false; exit; }
S=$(mktemp -d /tmp/ucac2-wine.XXXXXX)
export WINEPREFIX=$S/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko
unset DISPLAY WAYLAND_DISPLAY
wine wineboot -i >"$S/wineboot.log" 2>&1
check "wine prefix created" test -d "$WINEPREFIX/drive_c/windows"

# run OUT DIR COMMAND...: COMMAND in DIR (made if missing), on a stdin of ESC keys that nothing
# may read; its stdout, stderr and status in OUT.out, OUT.err, OUT.status.
printf '\033\033\033' >"$S/escapes"
run() {
  mkdir -p "$2"
  (cd "$2" && "${@:3}" >"$1.out" 2>"$1.err" <"$S/escapes"; echo $? >"$1.status")
}
last() { tail -n 1 "$1" | tr -d '\r'; }
crlf() { ! grep -q -v $'\r$' "$@"; }
as_windows() { sed 's#\([[:alnum:]._]\)/#\1\\#g' "$1"; }  # the slashes of paths, not of '/x'
same_texts() {  # same_texts LINUX WINDOWS: stdout alike, stderr with the backslash, in CR LF
  crlf "$2.out" "$2.err" || { echo "not all CR LF"; return 1; }
  diff "$1.out" <(tr -d '\r' <"$2.out") && diff <(as_windows "$1.err") <(tr -d '\r' <"$2.err")
}
listing() { find "$1" -mindepth 1 -maxdepth 1 ! -name D -printf '%f\n' | LC_ALL=C sort | tr '\n' ' '; }
same_files() {  # same_files DIR_A DIR_B NAMES: each holds just NAMES, byte for byte alike
  [ "$(listing "$1")|$(listing "$2")" = "$3|$3" ] || { echo "left: $(listing "$1")| $(listing "$2")"; return 1; }
  for f in $3; do cmp "$1/$f" "$2/$f" || return 1; done
}
# pair NAME STATUS NAMES LAST ARGS...: ucac2 on Linux and under wine (a leading ../ typed ..\
# there) both end with STATUS, print alike, the transcript ends LAST, and they leave just NAMES.
pair() {
  local l=$S/$1-linux w=$S/$1-windows args=("${@:5}")
  run "$l" "$l" "$LX" "${args[@]}"
  run "$w" "$w" wine "$WX" "${args[@]/#..\//..\\}"
  check "$1: status $2 on both" test "$(cat "$l.status" "$w.status" | tr '\n' ' ')" = "$2 $2 "
  check "$1: output as on Linux, with the backslash and CR LF" same_texts "$l" "$w"
  check "$1: the transcript ends \"$4\"" test "$(last "$w.err")" = "$4"
  check "$1: leaves ${3:-nothing}, alike" same_files "$l" "$w" "$3"
}
OUTPUTS="$(printf 'UCAC2_%02d.dat ' {0..23})info.txt " WORK=$(printf 'TMPA%03d ' {0..23})

# Complete runs: a catalog sorted by right ascension and a shuffled one.
"$SAMPLE" "$S/sorted" --stars 3000 --bss 60 --seed 7 --quiet
"$SAMPLE" "$S/shuffled" --stars 3000 --bss 60 --seed 11 --shuffle --quiet
for c in sorted shuffled; do
  pair "$c" 0 "$OUTPUTS" "MSG --- 3060 objects found" "../$c"
  check "$c: Windows names '..\\$c\\z001'" \
    grep -q -x -F "MSG --- Parsing file 1: ..\\$c\\z001"$'\r' "$S/$c-windows.err"
  check "$c: info.txt ends its lines with CR LF" \
    test "$(head -n 1 "$S/$c-windows/info.txt")" = "3060 objects in the UCAC2 catalog"$'\r'
done

# Failures stop at a missing catalog file, or a directory where a file should be, and delete
# nothing.
for side in linux windows; do
  "$SAMPLE" "$S/missing-$side/D" --stars 1500 --bss 30 --quiet --missing z137
  "$SAMPLE" "$S/directory-$side/D" --stars 1500 --bss 30 --quiet
  rm "$S/directory-$side/D/z005" && mkdir "$S/directory-$side/D/z005"
done
pair missing 1 "$WORK" "FTL *** Unable to locate data file 'D\\z137'" D
pair directory 1 "$WORK" "FTL *** Unable to open data file 'D\\z005'" D

# The command line.
pair question 0 "" "" '/?'
pair h 0 "" "" /h
pair help 0 "" "" --help
pair unknown 1 "" "Error : Unknown option '/x'" /x
pair none 1 "" ""
check "the help is printed for /?, /h, --help, /x and no argument" \
  test -z "$(grep -L Synopsis "$S"/{question,h,help,unknown,none}-windows.out)"

# The lock on the working directory. locked NAME SIGNAL EXPECTED: a run of the sorted catalog
# sent SIGNAL once it reads the catalog (and so holds the lock), then a second one in the same
# directory; EXPECTED is "the second's status|its last line|the first's status", and the
# directory ends with the sorted catalog's outputs.
locked() {
  local d=$S/$1 held first
  mkdir -p "$d"
  (cd "$d" && exec wine "$WX" ..\\sorted >/dev/null 2>"$d.first" </dev/null) &
  held=$!
  for _ in $(seq 600); do grep -q "Parsing file 1" "$d.first" 2>/dev/null && break; sleep 0.05; done
  kill "-$2" "$held"
  run "$d" "$d" wine "$WX" ..\\sorted
  kill -CONT "$held" 2>/dev/null
  wait "$held"
  first=$?
  check "$1: the second run ends $(cat "$d.status"), the first $first" \
    test "$(cat "$d.status")|$(last "$d.err")|$first" = "$3"
  check "$1: the directory ends with the same outputs" same_files "$S/sorted-linux" "$d" "$OUTPUTS"
}
locked lock STOP "1|FTL *** Another compilation is running in the current directory|0"
locked killed KILL "0|MSG --- 3060 objects found|137"

# The .zip CPack makes of the Windows build: both executables, which run from it (below), and
# the README with CR LF line ends.
(cd "$WINDOWS_BUILD" && cpack -G ZIP -B "$S/package") >"$S/cpack.log" 2>&1
ZIP=$(find "$S/package" -maxdepth 1 -name '*.zip' | head -n 1)
mkdir -p "$S/zip" && [ -n "$ZIP" ] && (cd "$S/zip" && cmake -E tar xf "$ZIP")
Z=$S/zip/$(basename "${ZIP:-none}" .zip)
R=$Z/README.txt
check "the .zip's README.txt ends its lines with CR LF" test -s "$R" -a "$(grep -c $'\r$' "$R")" = "$(wc -l <"$R")"

# ucac2db.exe, and on the Windows build's database a copy with one carried byte flipped (the
# magnitude of a zone file's first entry), which only the comparison with the catalog sees.
cp -r "$S/sorted-windows" "$S/faulty"
ZONE=$(cd "$S/faulty" && find . -name 'UCAC2_*.dat' -size +152c | LC_ALL=C sort | head -n 1)
ZONE=${ZONE#./} AT=$((152 + 4 + 8))
BYTE=$(od -An -tu1 -j $AT -N 1 "$S/faulty/$ZONE" | tr -d ' ')
printf %b "\\0$(printf %03o $((BYTE ^ 1)))" | dd of="$S/faulty/$ZONE" bs=1 seek=$AT conv=notrunc 2>/dev/null
prints() { [ "$(cat "$1.status")" = "$2" ] && cat "$1.out" "$1.err" | grep -q -e "$3"; }
# expect NAME STATUS PATTERN DIR COMMAND...: COMMAND in DIR ends with STATUS and prints PATTERN.
expect() {
  run "$S/$1" "$4" "${@:5}"
  check "$1: status $2, prints '$3'" prints "$S/$1" "$2" "$3"
}
expect zip-ucac2 0 'Version [0-9]' "$S" wine "$Z/ucac2.exe" --version
expect zip-ucac2db 0 '^ucac2db [0-9]' "$S" wine "$Z/ucac2db.exe" --version
expect db-help 0 verify "$S/sorted-windows" wine "$WDB" --help
expect db-version 0 '^ucac2db [0-9]' "$S/sorted-windows" wine "$WDB" --version
expect db-verify 0 ' 0 findings' "$S/sorted-windows" wine "$WDB" verify --catalog ..\\sorted
expect db-fault 1 "$ZONE" "$S/faulty" wine "$WDB" verify --catalog ..\\sorted
