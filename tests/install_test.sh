#!/bin/sh
# Installs a build into a scratch prefix, checks that every file lands in its place, and runs
# the installed programs, which must leave nothing behind.
# usage: install_test.sh CMAKE BUILD_DIR
set -eu
scratch=$(mktemp -d "${TMPDIR:-/tmp}/ucac2-install.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
"$1" --install "$2" --prefix "$prefix" >"$scratch/install.log"
for file in bin/ucac2 bin/ucac2db share/man/man1/ucac2.1.gz share/man/man1/ucac2db.1.gz \
            share/doc/ucac2/README.md share/doc/ucac2/copyright share/doc/ucac2/changelog.gz \
            share/doc/ucac2/changelog.Debian.gz; do
  [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done
mkdir "$scratch/run"
cd "$scratch/run"
banner=$("$prefix/bin/ucac2" --version)
help=$("$prefix/bin/ucac2db" --help)
case $banner in *"Version "*) ;; *) echo "ucac2 --version printed: $banner"; exit 1 ;; esac
case $help in *"Usage: ucac2db"*) ;; *) echo "ucac2db --help printed: $help"; exit 1 ;; esac
[ -z "$(ls -A)" ] || { echo "left behind: $(ls -A)"; exit 1; }
