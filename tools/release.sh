#!/usr/bin/env bash
# Makes the files of a release from the commit checked out, in one folder with their checksums:
# the Debian package, the Windows zip, the source tarball, and SHA256SUMS, which a user checks a
# download against with `sha256sum -c SHA256SUMS`. The same commit gives the same bytes wherever
# and whenever it is built (the dates are the commit's; see cmake/source_date_epoch.cmake).
# usage: tools/release.sh [--linux-only] [OUT_DIR]   (OUT_DIR: build/artifacts/dist)
#   --linux-only: no Windows zip, for a machine without the MinGW-w64 cross-compiler
set -euo pipefail
windows=1
if [ "${1:-}" = --linux-only ]; then
  windows=0
  shift
fi
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/artifacts/dist}")

# The tarball is the commit; the packages are built from the working tree. They agree only
# when the tree holds nothing uncommitted.
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: the working tree has uncommitted changes; commit them first" >&2
  exit 1
fi
if [ "$windows" = 1 ] && ! command -v x86_64-w64-mingw32-g++ >/dev/null; then
  echo "release.sh: x86_64-w64-mingw32-g++ is not installed (apt-get install" \
       "g++-mingw-w64-x86-64), or pass --linux-only" >&2
  exit 1
fi
version=$(sed -n 's/^project(ucac2 VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
umask 022  # the packages' folders take their modes from it

rm -rf "$out"
mkdir -p "$out"
presets=(release-artifacts)
[ "$windows" = 0 ] || presets+=(windows-artifacts)
for preset in "${presets[@]}"; do
  echo "== $preset"
  cmake --preset "$preset" --fresh >/dev/null
  cmake --build --preset "$preset"
  cpack --preset "$preset" -B "$out" >/dev/null
done
rm -rf "$out/_CPack_Packages"
git archive --format=tar.gz --prefix="ucac2-$version/" -o "$out/ucac2-$version.tar.gz" HEAD
cd "$out"
shopt -s nullglob
files=(*.deb *.zip *.tar.gz)
sha256sum -- "${files[@]}" >SHA256SUMS
cat SHA256SUMS
echo "The release files are in $out"
