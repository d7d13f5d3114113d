#!/bin/sh
# Makes the Debian package of a build, checks what it holds and depends on, and renders both
# manual pages from it: every section in place, and no warning from man or groff.
# usage: package_test.sh CPACK BUILD_DIR
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ucac2-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$2"
"$1" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/*.deb)
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
for file in usr/bin/ucac2 usr/bin/ucac2db usr/share/man/man1/ucac2.1.gz \
            usr/share/man/man1/ucac2db.1.gz usr/share/doc/ucac2/README.md; do
  grep -q -x "./$file" "$scratch/contents" || { echo "not in the package: $file"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libc6 || { echo "no dependency on the C library"; exit 1; }
dpkg-deb -x "$deb" "$scratch/root"
for page in ucac2 ucac2db; do
  LC_ALL=C MANWIDTH=80 man --warnings -l "$scratch/root/usr/share/man/man1/$page.1.gz" \
    >"$scratch/$page.txt" 2>"$scratch/$page.err"
  [ ! -s "$scratch/$page.err" ] || { echo "$page(1):"; cat "$scratch/$page.err"; exit 1; }
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES EXAMPLES; do
    grep -q -x "$section" "$scratch/$page.txt" || { echo "$page(1) has no $section"; exit 1; }
  done
done
