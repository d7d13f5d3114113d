#!/bin/sh
# Makes the Debian package of a build and checks it. "contents": what it holds and depends on,
# and both manual pages rendered from it, every section in place and no warning from man or
# groff. "lintian": lintian reports nothing on it; skipped (status 77) where lintian is not
# installed.
# usage: package_test.sh CPACK BUILD_DIR contents|lintian
set -eu
check=$3
# A tool that is missing is named, with the Debian package that brings it.
need() {
  command -v "$1" >/dev/null || { echo "package_test.sh: $1 is not installed (apt-get install $2)"; exit 1; }
}
if [ "$check" = lintian ] && ! command -v lintian >/dev/null; then
  echo "lintian is not installed: the package is not checked by it"
  exit 77
fi
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev  # cpack's dependency list
need file file                # which cpack's dependency list runs
if [ "$check" = contents ]; then
  need man man-db
  need groff groff-base
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ucac2-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$2"
"$1" -G DEB -B "$scratch" >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/*.deb)

if [ "$check" = lintian ]; then
  # lintian run as root says so on stderr, whatever the package; that line is no finding.
  status=0
  lintian --fail-on error,warning "$deb" >"$scratch/lintian.txt" 2>"$scratch/lintian.err" || status=$?
  grep -v -x 'running with root privileges is not recommended!' "$scratch/lintian.err" \
    >>"$scratch/lintian.txt" || true
  [ "$status" = 0 ] && [ ! -s "$scratch/lintian.txt" ] ||
    { echo "lintian (status $status):"; cat "$scratch/lintian.txt"; exit 1; }
  exit 0
fi

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/contents"
for file in usr/bin/ucac2 usr/bin/ucac2db usr/share/man/man1/ucac2.1.gz \
            usr/share/man/man1/ucac2db.1.gz usr/share/doc/ucac2/README.md \
            usr/share/doc/ucac2/copyright usr/share/doc/ucac2/changelog.gz \
            usr/share/doc/ucac2/changelog.Debian.gz; do
  grep -q -x "./$file" "$scratch/contents" || { echo "not in the package: $file"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q libc6 || { echo "no dependency on the C library"; exit 1; }
dpkg-deb -x "$deb" "$scratch/root"
# The package's changelog names the version it is a package of.
version=$(dpkg-deb -f "$deb" Version)
zcat "$scratch/root/usr/share/doc/ucac2/changelog.Debian.gz" | head -n 1 |
  grep -q -F "ucac2 ($version) " || { echo "changelog.Debian.gz does not begin with $version"; exit 1; }
for page in ucac2 ucac2db; do
  LC_ALL=C MANWIDTH=80 man --warnings -l "$scratch/root/usr/share/man/man1/$page.1.gz" \
    >"$scratch/$page.txt" 2>"$scratch/$page.err"
  [ ! -s "$scratch/$page.err" ] || { echo "$page(1):"; cat "$scratch/$page.err"; exit 1; }
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES EXAMPLES; do
    grep -q -x "$section" "$scratch/$page.txt" || { echo "$page(1) has no $section"; exit 1; }
  done
done
