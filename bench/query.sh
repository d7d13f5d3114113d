#!/usr/bin/env bash
# The query benchmark: on a compiled database and the catalog it was compiled from, times
# `ucac2db match` of 100,000 and 1,000,000 random positions (with peak memory) against
# astropy's match_coordinates_sky on the same positions and the same stars loaded from the
# catalog files, and `ucac2db find` on cones of 0.05, 0.2 and 1 degree against WCSTools'
# scat on the same cones of the same catalog. Page cache warm: each side runs once before it
# is timed.
#
#   bench/query.sh DBDIR CATALOGDIR [COMPILE_SECONDS]
#
# COMPILE_SECONDS  a full compilation's wall time, the yardstick of the 1,000,000-position
#                  match; measured here (one compilation into a scratch folder) when not given.
# UCAC2_QUERY_CONES  cone centres per radius (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
[ $# -ge 2 ] || { sed -n 2,16p "$0" | sed 's/^# \{0,1\}//'; exit 2; }
db=$(cd "$1" && pwd)
catalog=$(cd "$2" && pwd)
compile_seconds=${3:-}
cones=${UCAC2_QUERY_CONES:-20}

cmake --preset release >/dev/null
cmake --build --preset release --target ucac2 ucac2db >/dev/null
ucac2=$source_dir/build/release/ucac2
ucac2db=$source_dir/build/release/ucac2db
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds of wall time and peak KiB of a command, from /usr/bin/time -v.
measure() {
  /usr/bin/time -v "$@" >"$work/out" 2>"$work/time" || { cat "$work/time" >&2; exit 1; }
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0;
    for (i = 1; i <= n; ++i) s = s * 60 + p[i]; print s }' "$work/time")
  peak=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time")
}

if [ -z "$compile_seconds" ]; then
  mkdir "$work/compiled"
  cd "$work/compiled"
  measure "$ucac2" "$catalog"
  cd "$source_dir"
  compile_seconds=$wall
  rm -rf "$work/compiled"
fi
echo "full compilation: ${compile_seconds} s"

# Debian's python3-astropy is found by the system's python3, whatever python3 comes first.
have_astropy=0
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import astropy, numpy, scipy.spatial' 2>/dev/null; then
    have_astropy=1
    astropy_python=$candidate
    break
  fi
done
[ "$have_astropy" = 1 ] ||
  echo "astropy: python3-astropy or python3-scipy is not installed; its side is skipped"

for count in 100000 1000000; do
  targets=$work/targets_$count.csv
  python3 - "$count" "$targets" <<'PY'
import math, random, sys
count, path = int(sys.argv[1]), sys.argv[2]
rng = random.Random(count)
with open(path, "w") as f:
    f.write("name,ra,dec\n")
    for i in range(count):
        # Uniform on the sphere: declination from the arcsine of a uniform sine.
        f.write("t%d,%.7f,%.7f\n" % (i, rng.uniform(0, 360),
                                     math.degrees(math.asin(rng.uniform(-1, 1)))))
PY
  "$ucac2db" match --db "$db" "$targets" >/dev/null  # warm
  measure "$ucac2db" match --db "$db" "$targets"
  matched=$(($(wc -l <"$work/out") - 1))
  match_wall=$wall
  echo "match of $count positions: ${wall} s, peak ${peak} KiB (target 65536), $matched matched"
  if [ "$count" = 1000000 ]; then
    awk -v m="$match_wall" -v c="$compile_seconds" \
      'BEGIN { printf "  %.2f x a full compilation (target 0.5)\n", m / c }'
  fi
  if [ "$have_astropy" = 1 ] && [ "$count" = 100000 ]; then
    measure "$astropy_python" - "$catalog" "$targets" <<'PY'
import glob, os, sys, time
import numpy as np
from astropy import units as u
from astropy.coordinates import SkyCoord, match_coordinates_sky
catalog, targets = sys.argv[1], sys.argv[2]
start = time.perf_counter()
record = np.dtype([("ra", "<i4"), ("dec", "<i4"), ("rest", "V36")])
names = ["z%03d" % n for n in range(1, 289)] + ["s%02d" % n for n in range(1, 37)]
parts = [np.fromfile(os.path.join(catalog, n), dtype=record)
         for n in names if os.path.exists(os.path.join(catalog, n))]
stars = np.concatenate(parts)
sky = SkyCoord(stars["ra"] / 3.6e6 * u.deg, stars["dec"] / 3.6e6 * u.deg)
loaded = time.perf_counter()
t = np.genfromtxt(targets, delimiter=",", names=True, dtype=None, encoding="ascii")
where = SkyCoord(t["ra"] * u.deg, t["dec"] * u.deg)
index, separation, _ = match_coordinates_sky(where, sky)
matched = int((separation.arcsec <= 2).sum())
end = time.perf_counter()
print("%.2f %.2f %d" % (loaded - start, end - start, matched))
PY
    read -r load_s total_s astro_matched <"$work/out"
    echo "astropy match_coordinates_sky of $count positions: ${total_s} s (${load_s} s loading" \
      "the stars), peak ${peak} KiB, $astro_matched within 2 arcsec"
    awk -v m="$match_wall" -v a="$total_s" \
      'BEGIN { printf "  match takes %.3f of astropy'"'"'s time (target at most 0.05)\n", m / a }'
  fi
done

# Cones: find against scat, the same centres for both, mean milliseconds per query.
if ! command -v scat >/dev/null; then
  echo "scat: WCSTools is not installed (apt-get install wcstools); the cones are skipped"
  exit 0
fi
mkdir "$work/scat"
ln -s "$catalog" "$work/scat/u2"  # scat looks for its UCAC2 files in u2/
python3 - "$cones" >"$work/centres" <<'PY'
import math, random, sys
rng = random.Random(7)
for _ in range(int(sys.argv[1])):
    print("%.6f %.6f" % (rng.uniform(0, 360), math.degrees(math.asin(rng.uniform(-0.95, 0.95)))))
PY
now_ms() { date +%s%N | awk '{ printf "%.3f", $1 / 1e6 }'; }
# cone SIDE RA DEC: the rows of one cone of $radius degrees ($arcsec arcseconds), by find or
# by scat; each star's row starts with a digit (find's first line is its head).
cone() {
  if [ "$1" = find ]; then
    "$ucac2db" find --db "$db" --ra "$2" --dec "$3" --radius "$radius"
  else
    UCAC2_PATH=$work/scat scat -c ucac2 -d -n -1 -r "$arcsec" "$2" "$3" J2000
  fi
}
for radius in 0.05 0.2 1; do
  arcsec=$(awk -v r="$radius" 'BEGIN { print r * 3600 }')
  for side in find scat; do
    # The first pass warms the cache and counts the stars; the timed one sends them to
    # /dev/null, so that no pipe or counting program is timed with the query.
    stars=0
    while read -r ra dec; do
      stars=$((stars + $(cone "$side" "$ra" "$dec" | grep -c '^[0-9]' || true)))
    done <"$work/centres"
    start=$(now_ms)
    while read -r ra dec; do cone "$side" "$ra" "$dec" >/dev/null 2>&1; done <"$work/centres"
    end=$(now_ms)
    awk -v s="$start" -v e="$end" -v n="$cones" -v side="$side" -v r="$radius" -v k="$stars" \
      'BEGIN { printf "%s, cone of %s degree: %.1f ms a query (%d stars in %d cones)\n",
               side, r, (e - s) / n, k, n }'
  done
done
