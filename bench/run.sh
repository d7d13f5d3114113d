#!/usr/bin/env bash
# The benchmark: compiles a catalog of the real catalog's shape and size (48,330,571 main and
# 430,000 supplement stars, every file with its real star count) and reports wall time, stars
# per second, the floor (three bulk copies of the catalog directory, measured in the same
# run), system calls per star with and without a terminal, and peak memory at 1 million and
# at the full catalog's size. On the catalog and the database that run compiled, it then times
# each command of ucac2db with its peak memory, against its target, the finds also in the
# densest hour-and-band block. The catalogs are generated once and cached outside the source
# tree.
#
#   bench/run.sh [--no-baseline]
#
# UCAC2_BENCH_DIR    where catalogs are cached and runs happen (default ~/.cache/ucac2-bench);
#                    needs about 15 GB free.
# UCAC2_BENCH_SCALE  every file gets this fraction of its real star count (default 1); a small
#                    one, 0.01 say, tries the script out in seconds, but its figures mean little.
# --no-baseline    skip the write-through build (one write per record), which takes minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
bench_dir=${UCAC2_BENCH_DIR:-$HOME/.cache/ucac2-bench}
scale=${UCAC2_BENCH_SCALE:-1}
command_line="bench/run.sh${*:+ $*}"
baseline=1
[ "${1:-}" = "--no-baseline" ] && baseline=0

for tool in strace script /usr/bin/time; do
  if ! command -v "$tool" >/dev/null; then
    echo "bench: installing what it needs (strace, time, bsdutils)" >&2
    apt-get install -y -q strace time bsdutils >/dev/null
    break
  fi
done

cmake --preset release >/dev/null
cmake --build --preset release --target ucac2 ucac2db make_sample_catalog >/dev/null
ucac2=$source_dir/build/release/ucac2
ucac2db=$source_dir/build/release/ucac2db
generator=$source_dir/build/release/make_sample_catalog
if [ "$baseline" = 1 ]; then
  cmake -S . -B build/write-through -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DUCAC2_WRITE_THROUGH=ON -DUCAC2_BUILD_TESTS=OFF >/dev/null
  cmake --build build/write-through --target ucac2 >/dev/null
fi

mkdir -p "$bench_dir"
catalog() {  # name, generator options: made once, kept while the generator is unchanged
  local dir=$bench_dir/$1 stamp
  shift
  stamp="$(sha1sum "$generator" | cut -c1-12) $*"
  if [ "$(cat "$dir.stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$dir"
    "$generator" "$dir" "$@" --quiet
    echo "$stamp" >"$dir.stamp"
  fi
  echo "$dir"
}
if [ "$scale" = 1 ]; then
  full=$(catalog full --scale 1)
  shuffled=$(catalog shuffled --scale 1 --shuffle --seed 7)
else  # kept apart, so that a trial does not replace the full-size catalogs
  full=$(catalog "full-$scale" --scale "$scale")
  shuffled=$(catalog "shuffled-$scale" --scale "$scale" --shuffle --seed 7)
fi
small=$(catalog small --stars 1000000 --bss 0)

work=$bench_dir/work
fresh() { rm -rf "$work" && mkdir -p "$work" && cd "$work"; }
seconds() { /usr/bin/time -f %e -o "$bench_dir/time.txt" "$@" >/dev/null 2>&1; cat "$bench_dir/time.txt"; }
peak_kib() {
  (fresh && /usr/bin/time -f %M -o "$bench_dir/rss.txt" "$ucac2" "$1" >/dev/null 2>&1)
  cat "$bench_dir/rss.txt"
}
syscalls() {  # catalog, "tty" or "notty": system calls per star
  local stars=$2 out=$bench_dir/strace.txt
  (
    fresh
    if [ "$3" = tty ]; then
      script -qec "strace -c -f -o $out $ucac2 $1 >/dev/null 2>&1" /dev/null >/dev/null 2>&1
    else
      strace -c -f -o "$out" "$ucac2" "$1" </dev/null >/dev/null 2>&1
    fi
  )
  awk -v n="$stars" '$NF == "total" { printf "%d calls, %.5f per star", $(NF-2), $(NF-2) / n }' "$out"
}
stars_of() { (fresh && "$ucac2" "$1" 2>&1 >/dev/null | awk '/objects found/ { print $3 }'); }

echo "Machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo),"\
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "Command: $command_line  (catalogs in $bench_dir, scale $scale)"
total=$(stars_of "$full")  # also warms the page cache
echo "Catalog: $total stars, $(du -sb "$full" | cut -f1) bytes"

floor=$(cd "$bench_dir" && rm -rf copy* &&
  seconds sh -c "cp -r '$full' copy1 && cp -r '$full' copy2 && cp -r '$full' copy3")
rm -rf "$bench_dir"/copy*
run=$( (fresh && seconds "$ucac2" "$full"))
db=$bench_dir/db  # what that run compiled, for ucac2db below
rm -rf "$db" && mv "$work" "$db"
echo "Floor (three bulk copies of the catalog): ${floor} s"
echo "Full catalog: ${run} s, $(awk -v n="$total" -v t="$run" 'BEGIN { printf "%.1f million stars/s, %.2f x the floor", n / t / 1e6, t / '"$floor"' }')"
shuffled_run=$( (fresh && seconds "$ucac2" "$shuffled"))
echo "Shuffled catalog (records in random order within each file): ${shuffled_run} s"
if [ "$baseline" = 1 ]; then
  slow=$( (fresh && seconds "$source_dir/build/write-through/ucac2" "$full"))
  echo "Write-through build (one write per record): ${slow} s, $(awk "BEGIN { printf \"%.1f\", $slow / $run }") x slower"
fi
echo "System calls, full catalog, standard input not a terminal: $(syscalls "$full" "$total" notty)"
echo "System calls, full catalog, standard input a terminal:     $(syscalls "$full" "$total" tty)"
echo "System calls, shuffled catalog:                             $(syscalls "$shuffled" "$total" notty)"
echo "Peak resident memory, 1 million stars:    $(peak_kib "$small") KiB"
echo "Peak resident memory, full catalog:       $(peak_kib "$full") KiB"

# The output does not depend on the order of the work files' writes: the shuffled catalog
# compiles to the same bytes with one write per record.
if [ "$baseline" = 1 ]; then
  (fresh && mkdir a b && cd a && "$ucac2" "$shuffled" >/dev/null 2>&1 &&
    cd ../b && "$source_dir/build/write-through/ucac2" "$shuffled" >/dev/null 2>&1 &&
    cd .. && diff -r a b >/dev/null && echo "Shuffled catalog: output byte-identical to the write-through build")
fi

# ucac2db on the catalog and on the database the timed run compiled, page cache warm. Wall time
# from the shell's own clock (the finds take milliseconds), peak memory from /usr/bin/time.
measure() {  # command...: sets m_status, m_seconds, m_kib, m_error for one run
  local start=$EPOCHREALTIME end
  m_status=0
  /usr/bin/time -f %M -o "$bench_dir/rss.txt" "$@" >/dev/null 2>"$bench_dir/err.txt" || m_status=$?
  end=$EPOCHREALTIME
  m_seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
  m_kib=$(tail -n 1 "$bench_dir/rss.txt")
  # A command that prints nothing on stderr leaves grep nothing to select: not a failure.
  m_error=$(grep -v -e '^Command exited with' -e '^Run with --help' "$bench_dir/err.txt" |
    tail -n 1 || true)
}
verdict() {  # value, limit: whether the value keeps to its target
  awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l ? "ok" : "OVER") }'
}
db_result() {  # label, seconds, peak KiB, target as a ratio to the compilation or "-", target in s or "-"
  local ratio
  ratio=$(awk -v t="$2" -v r="$run" 'BEGIN { printf "%.3f", t / r }')
  printf '%-40s %8.3f s  %6.3f x the compilation' "$1" "$2" "$ratio"
  if [ "$4" != - ]; then printf ' (target <= %s x: %s)' "$4" "$(verdict "$ratio" "$4")"; fi
  if [ "$5" != - ]; then printf ' (target <= %s s: %s)' "$5" "$(verdict "$2" "$5")"; fi
  printf ', peak %s KiB (target <= 16384 KiB: %s)\n' "$3" "$(verdict "$3" 16384)"
}
db_command() {  # label, ratio target, seconds target, command...: times one run
  local label=$1 ratio_target=$2 seconds_target=$3
  shift 3
  measure "$@"
  if [ "$m_status" != 0 ]; then
    echo "$label: failed (status $m_status): $m_error"
    return
  fi
  db_result "$label" "$m_seconds" "$m_kib" "$ratio_target" "$seconds_target"
}
db_median() {  # label, seconds target, runs, command...: the median of the runs, the highest peak
  local label=$1 seconds_target=$2 runs=$3 times=() peak=0 i
  shift 3
  for ((i = 0; i < runs; i++)); do
    measure "$@"
    if [ "$m_status" != 0 ]; then
      echo "$label: failed (status $m_status): $m_error"
      return
    fi
    times+=("$m_seconds")
    if [ "$m_kib" -gt "$peak" ]; then peak=$m_kib; fi
  done
  db_result "$label, median of $runs" \
    "$(printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')" \
    "$peak" - "$seconds_target"
}
scaled=()
if [ "$scale" != 1 ]; then scaled=(--scaled); fi  # its counts are not the published ones
echo "ucac2db, against the compilation's ${run} s:"
db_command "check-catalog CATALOG" 0.3 - "$ucac2db" check-catalog "$full" "${scaled[@]}"
db_command "verify DB" 0.3 - "$ucac2db" verify "$db"
db_command "verify DB --catalog CATALOG" 0.6 - "$ucac2db" verify "$db" --catalog "$full"
find_db=("$ucac2db" find --db "$db")
db_command "find, 1 degree around (180, 0)" - 0.03 "${find_db[@]}" --ra 180 --dec 0 --radius 1
db_median "find, 1 degree around (180, 0)" 0.03 10 "${find_db[@]}" --ra 180 --dec 0 --radius 1
db_command "find, 10 degrees around (180, 0)" - 0.3 "${find_db[@]}" --ra 180 --dec 0 --radius 10
db_command "find, box 150..165 x 20..30 degrees" - 0.3 "${find_db[@]}" --box 150 165 20 30
# The densest hour-and-band block by info.txt (band 0 is the northernmost), and its centre.
read -r dense_stars dense_hour dense_band < <(awk '
  /^RA zone/ { hour = $3 + 0 }
  /DE Zone/ { n = substr($(NF - 1), 2) + 0; if (n > most) { most = n; at = hour " " $3 + 0 } }
  END { print most, at }' "$db/info.txt")
dense_ra=$(awk -v h="$dense_hour" 'BEGIN { print h * 15 + 7.5 }')
dense_dec=$((85 - 10 * dense_band))
echo "Densest block: hour $dense_hour, band $dense_band, $dense_stars stars; centre ($dense_ra, $dense_dec)"
dense=("${find_db[@]}" --ra "$dense_ra" --dec "$dense_dec")
db_median "find, 1 degree, densest block" 0.03 10 "${dense[@]}" --radius 1
db_command "find, 10 degrees, densest block" - 0.3 "${dense[@]}" --radius 10
db_command "map" 0.3 - "$ucac2db" map "$bench_dir/map.png" --db "$db"
# match against astropy and find against scat, on the same database and catalog, with this
# run's compilation as the yardstick.
"$source_dir/bench/query.sh" "$db" "$full" "$run"
rm -rf "$work" "$db" "$bench_dir/map.png"
