#!/usr/bin/env bash
# Applies each deliberate fault of tools/mutations.txt to src/ in turn, builds, runs the test
# suite and tells whether the suite caught it; the source is put back byte for byte after each.
#
#   tools/mutate.sh            every fault of the list
#   tools/mutate.sh 3 17       faults 3 and 17 only (numbered as printed, from 1)
#   tools/mutate.sh --check    only checks the list against the source
#
# MUTATE_BUILD_DIR (default build/mutate, a release build of its own) and MUTATE_TIME_LIMIT
# (seconds per run of the suite, default 900) change the defaults. MUTATE_MATRIX=1 runs every
# test for every fault and names each test that failed: which tests catch a fault that no
# other test catches. MUTATE_CTEST_ARGS adds options to ctest (-R or -E, to run some tests).
# The status is 0 when every fault marked with an effect other than "-" was caught and none
# failed to build.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/tools/mutations.txt
build=${MUTATE_BUILD_DIR:-$root/build/mutate}
limit=${MUTATE_TIME_LIMIT:-900}
matrix=${MUTATE_MATRIX:-0}
read -r -a ctest_args <<<"${MUTATE_CTEST_ARGS:-}"
sep=' ||| '
kinds='bytes|status|message|disk|terminal'  # the effects a fault may have

# Faults of the list: file, text, replacement, label, effect; "{NL}" stands for a line break,
# so that a text can take the line before it as context.
files=() texts=() replacements=() labels=() effects=() lines=()
problems=0
line_number=0
while IFS= read -r line || [[ -n $line ]]; do
  line_number=$((line_number + 1))
  [[ -z ${line//[[:space:]]/} || $line == \#* ]] && continue
  fields=()
  rest=$line
  while [[ $rest == *"$sep"* ]]; do
    fields+=("${rest%%"$sep"*}")
    rest=${rest#*"$sep"}
  done
  fields+=("$rest")
  if ((${#fields[@]} != 5)); then
    echo "mutations.txt:$line_number: wants 5 fields separated by '$sep'" >&2
    problems=$((problems + 1))
    continue
  fi
  lines+=("$line_number")
  files+=("${fields[0]}")
  texts+=("${fields[1]//\{NL\}/$'\n'}")
  replacements+=("${fields[2]//\{NL\}/$'\n'}")
  labels+=("${fields[3]}")
  effects+=("${fields[4]}")
done <"$list"

# Occurrences of $2 in $1.
count_in() {
  local content=$1 text=$2 n=0
  while [[ $content == *"$text"* ]]; do
    n=$((n + 1))
    content=${content#*"$text"}
  done
  echo "$n"
}

for i in "${!files[@]}"; do
  where="mutations.txt:${lines[i]} (fault $((i + 1)))"
  if [[ ${files[i]} != src/* || ! -f $root/${files[i]} ]]; then
    echo "$where: no such file under src/" >&2
    problems=$((problems + 1))
  elif n=$(count_in "$(<"$root/${files[i]}")" "${texts[i]}") && ((n != 1)); then
    echo "$where: the text occurs $n times, not once: ${texts[i]}" >&2
    problems=$((problems + 1))
  fi
  if [[ ! ${effects[i]} =~ ^(-|($kinds)(,($kinds))*)$ ]]; then
    echo "$where: effect '${effects[i]}' is none of -, ${kinds//|/, }" >&2
    problems=$((problems + 1))
  fi
  [[ ${texts[i]} == "${replacements[i]}" ]] && echo "$where: replacement changes nothing" >&2 &&
    problems=$((problems + 1))
done
if ((problems > 0)); then
  echo "mutations.txt: $problems problem(s); nothing was changed" >&2
  exit 2
fi

selected=()
if [[ ${1:-} == --check ]]; then
  echo "mutations.txt: ${#files[@]} faults, each text found once"
  exit 0
elif (($# > 0)); then
  for n in "$@"; do
    if [[ ! $n =~ ^[0-9]+$ ]] || ((n < 1 || n > ${#files[@]})); then
      echo "usage: tools/mutate.sh [--check | N...], N from 1 to ${#files[@]}" >&2
      exit 2
    fi
    selected+=($((n - 1)))
  done
else
  selected=("${!files[@]}")
fi

# The file under change and its original copy; put back on every way out, interrupts included.
scratch=$(mktemp -d)
changed=""
restore() {
  if [[ -n $changed ]]; then
    cp -- "$scratch/original" "$root/$changed"
    changed=""
  fi
}
trap 'restore; rm -rf -- "$scratch"' EXIT
trap 'echo "interrupted: source restored" >&2; exit 130' INT TERM HUP

logs=$build/mutate-logs
mkdir -p "$logs"
if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DUCAC2_WERROR=ON \
    >"$logs/configure.log" 2>&1 || { echo "configure failed: $logs/configure.log" >&2; exit 2; }
fi

# Builds and runs the suite, output to $1; prints "pass", "fail", "timeout" or "build". The
# suite stops at its first failure, unless for the matrix: one failing test is enough to call a
# fault caught, and the whole list then runs in a fraction of the time.
build_and_test() {
  cmake --build "$build" -j2 >"$1" 2>&1 || { echo build; return; }
  # Without the timings of earlier runs ctest starts the tests in the order they are defined,
  # the quick unit tests first, not the minutes-long fault sweeps: a caught fault stops early.
  rm -f "$build/Testing/Temporary/LastTestsFailed.log" "$build/Testing/Temporary/CTestCostData.txt"
  local stop=(--stop-on-failure)
  ((matrix)) && stop=()
  timeout -k 30 "$limit" ctest --test-dir "$build" -j2 "${stop[@]}" \
    ${ctest_args[@]+"${ctest_args[@]}"} --timeout "$limit" >>"$1" 2>&1
  case $? in
    0) echo pass ;;
    124 | 137) echo timeout ;;
    *) echo fail ;;
  esac
}

# The suite must pass on the source as it is, or every fault would look caught.
case $(build_and_test "$logs/unchanged.log") in
  pass) ;;
  *) echo "the suite does not pass without a fault: $logs/unchanged.log" >&2; exit 2 ;;
esac

caught=0 run=0 not_applicable=0
missed_effects=()
for i in "${selected[@]}"; do
  file=${files[i]}
  cp -- "$root/$file" "$scratch/original"
  content=$(<"$root/$file")
  changed=$file
  printf '%s\n' "${content/"${texts[i]}"/"${replacements[i]}"}" >"$root/$file"
  log=$logs/$(printf '%02d' $((i + 1))).log
  outcome=$(build_and_test "$log")
  restore
  cmp -s -- "$scratch/original" "$root/$file" || { echo "$file was not restored" >&2; exit 2; }

  run=$((run + 1))
  by=""
  case $outcome in
    build) verdict="n/a" not_applicable=$((not_applicable + 1)) ;;
    pass) verdict="MISSED" ;;
    timeout) verdict="caught" caught=$((caught + 1)) by=" (by the time limit)" ;;
    fail)
      verdict="caught" caught=$((caught + 1))
      failed=$build/Testing/Temporary/LastTestsFailed.log
      [[ -f $failed ]] && by=" (by $(cut -d: -f2- "$failed" | sed 's/ *#.*//' |
        awk -v all="$matrix" 'all || NR <= 3 { printf "%s%s", (NR > 1 ? ", " : ""), $0 }
          END { if (!all && NR > 3) printf ", +%d", NR - 3 }'))"
      ;;
  esac
  [[ $verdict != caught && ${effects[i]} != - ]] && missed_effects+=("$((i + 1))")
  printf '%-6s %2d  %-28s %-19s %s%s\n' "$verdict" $((i + 1)) "${file#src/}" "${effects[i]}" \
    "${labels[i]}" "$by"
done

echo "caught $caught of $run"
((not_applicable > 0)) && echo "did not build (not applicable): $not_applicable"
if ((${#missed_effects[@]} > 0)); then
  echo "not caught, though touching output, status, a message, the disk or the terminal:" \
    "${missed_effects[*]}"
  exit 1
fi
exit 0
