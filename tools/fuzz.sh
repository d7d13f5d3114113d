#!/usr/bin/env bash
# Runs the libFuzzer targets of the fuzz preset, each for a given time, and prints per target
# the executions, the coverage reached and whether it crashed.
#
# usage: tools/fuzz.sh [--time SECONDS] [--jobs N] [--fresh] [TARGET...]
#   TARGET   angle, zone_head, database, catalog, targets, command_line, db_command_line
#            (default: every target built in build/fuzz/tests/fuzz)
#   --time   seconds per target (default 60)
#   --jobs   targets run side by side (default 1)
#   --fresh  start from the seed corpus alone, forgetting the corpus of earlier runs
#
# Build first: cmake --preset fuzz && cmake --build --preset fuzz
# Each target reads its seeds from tests/fuzz/corpus/TARGET and grows its working corpus in
# build/fuzz/corpus/TARGET, kept between runs. A crash, leak, sanitizer report or broken
# property stops the target; the input that caused it is kept as build/fuzz/findings/TARGET/*,
# and the log is build/fuzz/logs/TARGET.log. Replay an input with
#   build/fuzz/tests/fuzz/TARGET_fuzz FILE
# The exit status is 1 when any target found something, 2 on a usage error.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=60
jobs=1
fresh=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds=${2:?--time needs SECONDS}; shift 2 ;;
    --jobs) jobs=${2:?--jobs needs N}; shift 2 ;;
    --fresh) fresh=1; shift ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done

build=build/fuzz
bin=$build/tests/fuzz
if [ "${#targets[@]}" -eq 0 ]; then
  for exe in "$bin"/*_fuzz; do
    [ -x "$exe" ] && targets+=("$(basename "$exe" _fuzz)")
  done
fi
if [ "${#targets[@]}" -eq 0 ]; then
  echo "fuzz.sh: no targets in $bin; build them: cmake --preset fuzz && cmake --build --preset fuzz" >&2
  exit 2
fi
for t in "${targets[@]}"; do
  if [ ! -x "$bin/${t}_fuzz" ]; then echo "fuzz.sh: no target $bin/${t}_fuzz" >&2; exit 2; fi
done

# One target, its summary line on stdout.
run_target() {
  local t=$1
  local corpus=$build/corpus/$t findings=$build/findings/$t log=$build/logs/$t.log
  [ "$fresh" = 1 ] && rm -rf "$corpus"
  mkdir -p "$corpus" "$findings" "$build/logs"
  # Output of the code under test is discarded (-close_fd_mask=3); libFuzzer's own lines and
  # every sanitizer report still reach the log.
  "$bin/${t}_fuzz" -max_total_time="$seconds" -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "tests/fuzz/corpus/$t" >"$log" 2>&1
  local status=$?
  local runs cov ft
  runs=$(LC_ALL=C sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -ao 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -ao 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  local verdict="no crash"
  if [ "$status" != 0 ]; then
    local artifact
    artifact=$(sed -n 's/.*Test unit written to //p' "$log" | tail -1)
    verdict="FOUND (exit $status): ${artifact:-see $log}"
  fi
  printf '%-16s %12s executions in %ss, coverage %s edges %s features, corpus %s files: %s\n' \
    "$t" "${runs:-?}" "$seconds" "${cov:-?}" "${ft:-?}" "$(ls "$corpus" | wc -l)" "$verdict"
  [ "$status" = 0 ]
}

failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$jobs" -le 1 ]; then
    run_target "$t" || failed=1
  else
    run_target "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then wait -n || failed=1; running=$((running - 1)); fi
  fi
done
while [ "$running" -gt 0 ]; do wait -n || failed=1; running=$((running - 1)); done
exit "$failed"
