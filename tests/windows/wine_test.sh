#!/usr/bin/env bash
# Runs the Windows executables under wine beside the Linux build, on the same sample catalogs,
# and checks that they agree: zone files, report and what a failure leaves, byte for byte; the
# same transcript with the backslash and CR LF; the help; the lock on the directory. Also the
# imports, the .zip, and ucac2db.exe verifying the Windows build's database.
#
# usage: tests/windows/wine_test.sh [--linux-build DIR] [--windows-build DIR]
#   The build directories default to build/winref and build/win under the repository; each
#   is configured when it has no build yet, and brought up to date. The scratch directory is
#   left behind after a failure.
# Needs cmake, ninja, g++, x86_64-w64-mingw32-g++ and wine. The last line reads
# "N passed, N failed"; the status is non-zero on any failure.
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
LINUX_BUILD=$ROOT/build/winref WINDOWS_BUILD=$ROOT/build/win PASSED=0 FAILED=0 S=
while [ $# -ge 2 ]; do
  case $1 in --linux-build) LINUX_BUILD=$2 ;; --windows-build) WINDOWS_BUILD=$2 ;; *) break ;; esac
  shift 2
done
[ $# = 0 ] || { echo "usage: $0 [--linux-build DIR] [--windows-build DIR]" >&2; exit 2; }

check() {  # check NAME COMMAND...: passes when COMMAND succeeds; what it printed shows if not
  local out
  if out=$("${@:2}" 2>&1); then PASSED=$((PASSED + 1)) && echo "ok   - $1"; return; fi
  FAILED=$((FAILED + 1)) && echo "FAIL - $1" && sed '/^$/d; s/^/       /' <<<"$out" | head -n 12
}
finish() {
  [ -z "$S" ] || wineserver -k >/dev/null 2>&1
  if [ "$FAILED" = 0 ]; then rm -rf "$S"; elif [ -n "$S" ]; then echo "scratch kept: $S"; fi
  echo "$PASSED passed, $FAILED failed"
  exit $((FAILED > 0))
}
trap finish EXIT

build() {  # build DIR OPTION TARGETS...: configured (Release, -Werror, OPTION) if not yet
  [ -f "$1/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DUCAC2_WERROR=ON "$2" && cmake --build "$1" --target "${@:3}"
}
check "Linux build" build "$LINUX_BUILD" -DUCAC2_BUILD_TESTS=OFF ucac2 make_sample_catalog
check "Windows build" build "$WINDOWS_BUILD" \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" ucac2 ucac2db
LX=$LINUX_BUILD/ucac2 SAMPLE=$LINUX_BUILD/make_sample_catalog
WX=$WINDOWS_BUILD/ucac2.exe WDB=$WINDOWS_BUILD/ucac2db.exe

# Self-contained: each executable imports only DLLs every Windows has.
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/.*DLL Name: //p' | sort | tr '\n' ' '; }
check "ucac2.exe and ucac2db.exe import only KERNEL32 and msvcrt" \
  test "$(imports "$WX")|$(imports "$WDB")" = "KERNEL32.dll msvcrt.dll |KERNEL32.dll msvcrt.dll "

# Wine quiet, with no display and a prefix of its own.
S=$(mktemp -d /tmp/ucac2-wine.XXXXXX)
export WINEPREFIX=$S/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko
unset DISPLAY WAYLAND_DISPLAY
# wineboot returns before the prefix has settled: a program started too soon gets wine's own
# "configuration ... has been updated" on its stderr. Wait for every wine process to end, then
# run one program to the end, before anything is compared.
wine wineboot -i >"$S/wineboot.log" 2>&1
wineserver -w
wine cmd /c exit >>"$S/wineboot.log" 2>&1
wineserver -w
check "wine prefix created" test -d "$WINEPREFIX/drive_c/windows"
[ "$FAILED" = 0 ] || exit

# run OUT DIR COMMAND...: COMMAND in DIR, on a stdin of ESC keys that nothing may read; its
# stdout, stderr and status in OUT.out, OUT.err, OUT.status.
run() { (cd "$2" && "${@:3}" >"$1.out" 2>"$1.err" <<<$'\e\e'; echo $? >"$1.status"); }
last() { tail -n 1 "$1" | tr -d '\r'; }
same_texts() {  # same_texts LINUX WINDOWS: stdout alike, stderr with the backslash, in CR LF
  ! grep -v $'\r$' "$2.out" "$2.err" && diff "$1.out" <(tr -d '\r' <"$2.out") &&
    diff <(sed 's#\([[:alnum:]._]\)/#\1\\#g' "$1.err") <(tr -d '\r' <"$2.err")  # not '/x'
}
listing() { find "$1" -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort | tr '\n' ' '; }
same_files() {  # same_files DIR_A DIR_B NAMES: both hold just NAMES, byte for byte alike
  [ "$(listing "$1")" = "$3" ] || { echo "left $(listing "$1")"; return 1; } && diff -r "$1" "$2"
}
# pair NAME STATUS NAMES LAST ARGS...: ucac2 on Linux and under wine (a leading ../ typed ..\
# there) both end with STATUS, the transcript with LAST; they print alike and leave just NAMES.
pair() {
  local l=$S/$1-linux w=$S/$1-windows args=("${@:5}")
  mkdir "$l" "$w"
  run "$l" "$l" "$LX" "${args[@]}"
  run "$w" "$w" wine "$WX" "${args[@]/#..\//..\\}"
  check "$1: status $2 on both, ending \"$4\"" \
    test "$(cat "$l.status" "$w.status" | tr '\n' ' ')$(last "$w.err")" = "$2 $2 $4"
  check "$1: output as on Linux, with the backslash and CR LF" same_texts "$l" "$w"
  check "$1: leaves $(wc -w <<<"$3") files, alike" same_files "$l" "$w" "$3"
}
OUTPUTS="$(printf 'UCAC2_%02d.dat ' {0..23})info.txt " WORK=$(printf 'TMPA%03d ' {0..23})

# Complete runs of a catalog sorted by right ascension and of a shuffled one; failures at a
# missing catalog file and at a directory where a file should be, which delete nothing.
"$SAMPLE" "$S/sorted" --stars 3000 --bss 60 --seed 7 --quiet
"$SAMPLE" "$S/shuffled" --stars 3000 --bss 60 --seed 11 --shuffle --quiet
"$SAMPLE" "$S/missing" --stars 1500 --bss 30 --quiet --missing z137
"$SAMPLE" "$S/directory" --stars 1500 --bss 30 --quiet
rm "$S/directory/z005" && mkdir "$S/directory/z005"
pair sorted 0 "$OUTPUTS" "MSG --- 3060 objects found" ../sorted
pair shuffled 0 "$OUTPUTS" "MSG --- 3060 objects found" ../shuffled
W=$S/sorted-windows
check "names '..\\sorted\\z001'" grep -qxF "MSG --- Parsing file 1: ..\\sorted\\z001"$'\r' "$W.err"
check "info.txt in CR LF" grep -qxF "3060 objects in the UCAC2 catalog"$'\r' "$W/info.txt"
pair missing 1 "$WORK" "FTL *** Unable to locate data file '..\\missing\\z137'" ../missing
pair directory 1 "$WORK" "FTL *** Unable to open data file '..\\directory\\z005'" ../directory

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
# The sample compiles in a moment: on a busy machine the first run may end before the signal
# reaches it, and then the attempt is made again.
locked() {
  local d=$S/$1 held first=0 _try
  for _try in 1 2 3 4 5; do
    rm -rf "$d" && mkdir "$d"
    (cd "$d" && exec wine "$WX" ..\\sorted &>"$d.first" </dev/null) & held=$!
    for _ in $(seq 600); do grep -q "Parsing file 1" "$d.first" 2>/dev/null && break; sleep 0.05; done
    kill "-$2" "$held" 2>/dev/null && break
    wait "$held"
  done
  run "$d" "$d" wine "$WX" ..\\sorted 2>/dev/null  # no "Killed" notice
  kill -CONT "$held" 2>/dev/null; wait "$held" 2>/dev/null || first=$?
  check "$1: the second run ends $(cat "$d.status"), the first $first" \
    test "$(cat "$d.status")|$(last "$d.err")|$first" = "$3"
  check "$1: the directory ends with the same outputs" same_files "$S/sorted-linux" "$d" "$OUTPUTS"
}
locked lock STOP "1|FTL *** Another compilation is running in the current directory|0"
locked killed KILL "0|MSG --- 3060 objects found|137"

# The .zip CPack makes of the Windows build: both executables, which run from it (below), and
# the README with CR LF line ends.
(cd "$WINDOWS_BUILD" && cpack -G ZIP -B "$S/package") >"$S/cpack.log" 2>&1
mkdir "$S/zip" && (cd "$S/zip" && cmake -E tar xf "$S"/package/*.zip)
R=$(find "$S/zip" -name README.txt) && Z=${R%/README.txt}
check "the .zip's README.txt in CR LF" test -s "$R" -a "$(grep -c $'\r$' "$R")" = "$(wc -l <"$R")"

# ucac2db.exe, and on the Windows build's database a copy with one carried byte flipped (the
# magnitude of a zone file's first entry), which only the comparison with the catalog sees.
cp -r "$W" "$S/faulty"
F=$(find "$S/faulty" -name 'UCAC2_*.dat' -size +152c | LC_ALL=C sort | head -n 1)
AT=$((152 + 4 + 8)) BYTE=$(od -An -tu1 -j $AT -N 1 "$F" | tr -d ' ')
printf %b "\\0$(printf %03o $((BYTE ^ 1)))" | dd of="$F" bs=1 seek=$AT conv=notrunc 2>/dev/null
prints() { [ "$(cat "$1.status")" = "$2" ] && cat "$1.out" "$1.err" | grep -q -e "$3"; }
# expect NAME STATUS PATTERN DIR COMMAND...: COMMAND in DIR ends with STATUS and prints PATTERN.
expect() { run "$S/$1" "$4" "${@:5}"; check "$1: status $2, prints '$3'" prints "$S/$1" "$2" "$3"; }
expect zip-ucac2 0 'Version [0-9]' "$S" wine "$Z/ucac2.exe" --version
expect zip-ucac2db 0 '^ucac2db [0-9]' "$S" wine "$Z/ucac2db.exe" --version
expect db-help 0 verify "$W" wine "$WDB" --help
expect db-version 0 '^ucac2db [0-9]' "$W" wine "$WDB" --version
expect db-verify 0 ' 0 findings' "$W" wine "$WDB" verify --catalog ..\\sorted
expect db-fault 1 "$(basename "$F")" "$S/faulty" wine "$WDB" verify --catalog ..\\sorted
