#!/usr/bin/env bash
# The benchmark: compiles a catalog of the real catalog's shape and size (48,330,571 main and
# 430,000 supplement stars, every file with its real star count) and reports wall time, stars
# per second, the floor (three bulk copies of the catalog directory, measured in the same
# run), system calls per star with and without a terminal, and peak memory at 1 million and
# at 48.8 million stars. The catalogs are generated once and cached outside the source tree.
#
#   bench/run.sh [--no-baseline]
#
# UCAC2_BENCH_DIR  where catalogs are cached and runs happen (default ~/.cache/ucac2-bench);
#                  needs about 12 GB free.
# --no-baseline    skip the write-through build (one write per record), which takes minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
bench_dir=${UCAC2_BENCH_DIR:-$HOME/.cache/ucac2-bench}
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
cmake --build --preset release --target ucac2 make_sample_catalog >/dev/null
ucac2=$source_dir/build/release/ucac2
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
full=$(catalog full --scale 1)
shuffled=$(catalog shuffled --scale 1 --shuffle --seed 7)
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
echo "Command: bench/run.sh  (catalogs in $bench_dir)"
total=$(stars_of "$full")  # also warms the page cache
echo "Catalog: $total stars, $(du -sb "$full" | cut -f1) bytes"

floor=$(cd "$bench_dir" && rm -rf copy* &&
  seconds sh -c "cp -r '$full' copy1 && cp -r '$full' copy2 && cp -r '$full' copy3")
rm -rf "$bench_dir"/copy*
run=$( (fresh && seconds "$ucac2" "$full"))
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
echo "Peak resident memory, 48.8 million stars: $(peak_kib "$full") KiB"

# The output does not depend on the order of the work files' writes: the shuffled catalog
# compiles to the same bytes with one write per record.
if [ "$baseline" = 1 ]; then
  (fresh && mkdir a b && cd a && "$ucac2" "$shuffled" >/dev/null 2>&1 &&
    cd ../b && "$source_dir/build/write-through/ucac2" "$shuffled" >/dev/null 2>&1 &&
    cd .. && diff -r a b >/dev/null && echo "Shuffled catalog: output byte-identical to the write-through build")
fi
rm -rf "$work"
