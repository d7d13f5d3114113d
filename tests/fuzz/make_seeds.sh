#!/usr/bin/env bash
# Writes the generated part of the seed corpora in tests/fuzz/corpus/ from a small sample
# catalog and the database ucac2 compiles from it. The hand-made seeds beside them are kept.
# usage: tests/fuzz/make_seeds.sh BUILD_DIR   (a release build: ucac2, make_sample_catalog)
set -euo pipefail
build=$(cd "${1:?usage: make_seeds.sh BUILD_DIR}" && pwd)
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
separator=$'\n--ucac2 file--\n'  # as in fuzz_util.h

"$build/make_sample_catalog" "$work/catalog" --stars 120 --bss 12 --quiet
mkdir "$work/db"
(cd "$work/db" && "$build/ucac2" ../catalog >/dev/null 2>&1)

# A database as one input: the 24 zone files and info.txt, in that order, between separators.
pack() {
  local db=$1 first=1
  for f in "$db"/UCAC2_{00..23}.dat "$db"/info.txt; do
    [ "$first" = 1 ] || printf '%s' "$separator"
    first=0
    if [ -f "$f" ]; then cat "$f"; fi
  done
}
mkdir -p "$corpus"/{database,zone_head,catalog}
pack "$work/db" >"$corpus/database/sample"
rm "$work/db/info.txt"
pack "$work/db" >"$corpus/database/no_report"
rm "$work/db/UCAC2_05.dat"
pack "$work/db" >"$corpus/database/no_report_no_hour_5"

cp "$work/db/UCAC2_00.dat" "$corpus/zone_head/sample_hour_0"
cp "$work/db/UCAC2_12.dat" "$corpus/zone_head/sample_hour_12"

# A catalog file as one input: its place in the reading order (two bytes, little-endian),
# then its bytes.
place() { printf "\\x$(printf %02x $(($1 % 256)))\\x$(printf %02x $(($1 / 256)))"; }
seed() {  # seed NAME CATALOG FILE PLACE
  { place "$(($4 - 1))"; cat "$2/$3"; } >"$corpus/catalog/$1"
}
"$build/make_sample_catalog" "$work/edges" --quiet --count z001:3 --count z288:3 \
  --count s01:2 --count s36:2 --count z150:2 --count z151:2 --count z152:2 --count z153:2 \
  --set z288:2:1295999999:324000000 --set z001:0:0:-324000000 --trailing s36:7 \
  --set z150:0:-1:3000000 --set z151:1:1296000000:3000000 --bad-cflg z152:1 --bad-cflg s01:0 \
  --set z153:1:0:-400000000
seed sample_z001 "$work/edges" z001 1
seed sample_z288 "$work/edges" z288 288
seed sample_s36 "$work/edges" s36 324
seed ra_negative "$work/edges" z150 150
seed ra_full_circle "$work/edges" z151 151
seed cflg_main_marked "$work/edges" z152 152
seed cflg_supplement_clear "$work/edges" s01 289
seed beyond_south_pole "$work/edges" z153 153
